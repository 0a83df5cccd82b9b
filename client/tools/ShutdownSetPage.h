// CShutdownSetPage: the third page of the settings dialog (template 255): power off, restart or
// log off at a chosen date and time.
//
// The choice is the configuration's "SystemSet": the time in one fixed form,
// "%Y-%m-%d %H:%M:%S" (whatever the pickers' locale shows), and the type's text. The page also
// reads a time stored as the pickers of a year-month-day locale show it. The main window carries
// the shutdown out (CMainDlg's shutdown timer).
#pragma once

#include <string>

#include "client/tools/SettingsPage.h"
#include "client/tools/SettingsRules.h"

class CConfigStore;

// The local date and time now.
DateTime LocalNow();

class CShutdownSetPage : public CSettingsPage {
 public:
  explicit CShutdownSetPage(CConfigStore& config);

  // Box cleared: removes "SystemSet". Box checked: stores the pickers' date and time with the
  // type, unless the time is not later than now ("设置的关机时间早于当前时间！关机设置失败！",
  // and the box is cleared) or the type field holds a text that is no type; a refused save
  // leaves the stored setting as it was.
  void SaveToConfig() override;

  // The values of the controls, moved by DoDataExchange: the box (0 or 1), the date of the date
  // picker, the time of day of the time picker, and the type field's text.
  int on = 0;
  DateTime date;
  DateTime time;
  std::string type;

  // "SystemSet" as the page read it when it was made.
  const std::string& LoadedTime() const { return m_loadedTime; }
  const std::string& LoadedType() const { return m_loadedType; }

 protected:
  void OnInitPage() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT& result) override;

 private:
  void EnableChoice(bool enable);
  void Refuse(const char* text);

  CConfigStore& m_config;
  std::string m_loadedTime;
  std::string m_loadedType;
};
