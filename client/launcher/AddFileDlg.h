// CAddFileDlg: "增加文件" (template 167), the path of a file or folder for the shortcut bar, typed
// or chosen with "浏览" (the open-file dialog for "文 件", the folder browser for "文件夹"). OK
// refuses a blank path. Neither Enter nor Escape closes it: only its own buttons and the close box
// do.
#pragma once

#include <string>

#include "common/ui/SkinnedDialog.h"

class CAddFileDlg : public ui::CSkinnedDialog {
 public:
  CAddFileDlg();

  // The path as typed or chosen; read after DoModal returned IDOK.
  std::string path;
  // 0 while "文 件" is selected, 1 for "文件夹".
  int folder = 0;

 protected:
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void Accept();
  void Browse();
  void Tell(const char* text);
};
