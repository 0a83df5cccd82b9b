// CProxySetPage: the fourth page of the settings dialog (template 257): a proxy server for the
// client's own dial entry, "pppoe_vorlan_default_entry".
//
// The page opens with the process-wide proxy the system reports (a proxy of the form
// a.b.c.d:port; anything else shows as no proxy) and, at every save, sets the entry's
// per-connection options: direct access while the box is cleared, otherwise the address and port
// typed, once they pass the checks.
#pragma once

#include <string>

#include "client/tools/SettingsPage.h"

class CProxySetPage : public CSettingsPage {
 public:
  CProxySetPage();

  void SaveToConfig() override;

  // The values of the controls, moved by DoDataExchange: the box (0 or 1) and the port text.
  int useProxy = 0;
  std::string port;

 protected:
  void OnInitPage() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT& result) override;

 private:
  void EnableAddress(bool enable);
  void ShowNoProxy();
};
