#include "client/tools/UpdateSetPage.h"

#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"

CUpdateSetPage::CUpdateSetPage(CConfigStore& config) : CSettingsPage(IDD_UPDATE_PAGE), m_config(config) {}

void CUpdateSetPage::DoDataExchange(bool save) {
  int automatic = mode == kAutomatic ? 1 : 0;
  int manual = mode == kManual ? 1 : 0;
  ExchangeCheck(IDC_UPDATE_AUTO, automatic, save);
  ExchangeCheck(IDC_UPDATE_MANUAL, manual, save);
  if (save) mode = manual != 0 ? kManual : kAutomatic;
}

void CUpdateSetPage::OnInitPage() {
  m_loadedMode = mode = m_config.GetUpdateSet() ? kAutomatic : kManual;
  DoDataExchange(false);
}

bool CUpdateSetPage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED || (id != IDC_UPDATE_AUTO && id != IDC_UPDATE_MANUAL)) return false;
  mode = id == IDC_UPDATE_AUTO ? kAutomatic : kManual;
  NotifyChanged();
  return true;
}

void CUpdateSetPage::SaveToConfig() {
  if (mode == m_loadedMode) return;
  m_config.SetUpdateSet(mode == kAutomatic);
  m_loadedMode = mode;
}
