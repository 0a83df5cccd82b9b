// CShortcutPage: the main window's "辅助功能" tab (template 162), filled by the shortcut bar.
//
// At start the bar gets folder 0 "我的电脑" with the computer's drives, "常用软件" and the folders
// saved in "Settings.ini"; folder 0 is current. The context menu (menu 165) adds and removes
// folders and items, switches the icon size and renames; every command but the two view switches
// is followed by a save, and the page saves again when it is destroyed. A click on an item opens
// it through the shell. Escape and Enter do nothing on the page.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "client/launcher/GfxOutBarCtrl.h"
#include "client/launcher/ShortcutRules.h"
#include "common/Handles.h"
#include "common/ui/SkinnedDialog.h"

class CShortcutPage : public ui::CSkinnedDialog {
 public:
  // settingsFile: the path of the bar's settings file; empty for "Settings.ini" beside the program.
  explicit CShortcutPage(const std::string& settingsFile = std::string());
  // Destroys a page that is still open, which saves the bar.
  ~CShortcutPage() override;

  CGfxOutBarCtrl& Bar() { return m_bar; }
  const std::string& SettingsFile() const { return m_settingsFile; }

  // The context menu for a place in the current folder, items greyed where they do not apply.
  // Returns its pop-up; the caller destroys the menu handed out in owner.
  HMENU CreateContextMenu(shortcuts::MenuPlace place, HMENU* owner) const;
  // Runs a context-menu command for the place of the last right click (the free item space when
  // there was none); a command that does not apply there does nothing.
  void RunCommand(int id);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  std::vector<ShortcutItem> ProbeDrives();
  void ShowContextMenu(LPARAM screenPoint);
  LRESULT OnBarNotify(int code, LPARAM data);
  void OpenItem(int index);
  void AddGroup();
  bool DeleteGroup();
  void AddFile();
  void AddWebPage();
  void DeleteItem();
  void Rename();
  bool Ask(const std::string& question) const;
  void Tell(const char* text) const;

  std::string m_settingsFile;
  CGfxOutBarCtrl m_bar;
  ui::CGdiObject m_background;
  shortcuts::MenuPlace m_place = shortcuts::MenuPlace::kElsewhere;
  int m_placeIndex = -1;
};
