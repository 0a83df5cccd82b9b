// CUpdateSetPage: the second page of the settings dialog (template 221): whether the client looks
// for a newer version at every start ("自动升级") or only when the user asks ("手工升级").
#pragma once

#include "client/tools/SettingsPage.h"

class CConfigStore;

class CUpdateSetPage : public CSettingsPage {
 public:
  static constexpr int kAutomatic = 1;
  static constexpr int kManual = 2;

  explicit CUpdateSetPage(CConfigStore& config);

  // Writes "UPDATESET" (1 automatic, 0 manual) when the chosen mode differs from the loaded one.
  void SaveToConfig() override;

  // The chosen mode: kAutomatic or kManual.
  int mode = kAutomatic;

 protected:
  void OnInitPage() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  CConfigStore& m_config;
  int m_loadedMode = kAutomatic;
};
