// CRunSetPage: the first page of the settings dialog (template 157): start with Windows, connect
// automatically, redial after a drop with its interval and number of tries, keep the connection.
//
// The page writes only what changed since it last read or wrote the configuration; the redial
// interval and tries are written at every save while redial stays on. Starting with Windows is the
// value "Tarnex" under the machine's Run key, holding the client's full path; "StartUp" follows it.
#pragma once

#include <windows.h>

#include <string>

#include "client/tools/SettingsPage.h"

class CConfigStore;

class CRunSetPage : public CSettingsPage {
 public:
  explicit CRunSetPage(CConfigStore& config);

  void SaveToConfig() override;

  // The values of the controls, moved by DoDataExchange (check boxes 0 or 1).
  int startUp = 0;
  int autoconnect = 0;
  int reconnect = 0;
  int alwaysConnect = 0;
  // The selected item of the interval list; -1 when none is.
  int interval = 0;
  std::string tries;

  // The Run key and the value that start the client with Windows.
  static const char kRunKey[];
  static const char kRunValue[];

 protected:
  void OnInitPage() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void EnableRedialControls(bool enable);
  void SaveStartUp();
  void WriteRedial();

  CConfigStore& m_config;
  // The values as last read from or written to the configuration.
  int m_storedStartUp = 0;
  int m_storedAutoconnect = 0;
  int m_storedReconnect = 0;
  int m_storedAlwaysConnect = 0;
  // The client's full path, taken when the page is made.
  char m_programPath[MAX_PATH] = {};
};
