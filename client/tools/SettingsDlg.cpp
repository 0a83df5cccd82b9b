#include "client/tools/SettingsDlg.h"

#include <commctrl.h>

#include "client/resources/Resource.h"

CSettingsDlg::CSettingsDlg(CConfigStore& config)
    : CSkinnedDialog(IDD_SETTINGS), m_runPage(config), m_updatePage(config), m_shutdownPage(config) {
  // The pages use the date and time pickers and the address control.
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
}

bool CSettingsDlg::OnInitDialog() {
  m_tabs.AddPage("运行设置", &m_runPage, IDD_RUN_PAGE);
  m_tabs.AddPage("升级设置", &m_updatePage, IDD_UPDATE_PAGE);
  m_tabs.AddPage("关机设置", &m_shutdownPage, IDD_SHUTDOWN_PAGE);
  m_tabs.AddPage("代理设置", &m_proxyPage, IDD_PROXY_PAGE);
  m_tabs.Attach(Item(IDC_SETTINGS_TABS));
  SetModified(false);
  return true;
}

void CSettingsDlg::SetModified(bool modified) {
  m_modified = modified ? 1 : 0;
  HWND apply = Item(IDC_SETTINGS_APPLY);
  // A disabled button that keeps the focus leaves the keyboard nowhere to go.
  if (!modified && GetFocus() == apply)
    SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
  EnableWindow(apply, modified ? TRUE : FALSE);
}

void CSettingsDlg::ApplySettings() {
  m_updatePage.SaveToConfig();
  m_runPage.SaveToConfig();
  m_shutdownPage.SaveToConfig();
  m_proxyPage.SaveToConfig();
  SetModified(false);
}

bool CSettingsDlg::OnCommand(int id, int code, HWND) {
  if (id != IDC_SETTINGS_APPLY || code != BN_CLICKED) return false;
  ApplySettings();
  return true;
}

// The page follows the tab also when the keyboard chose it.
bool CSettingsDlg::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->idFrom != IDC_SETTINGS_TABS || header->code != static_cast<UINT>(TCN_SELCHANGE)) return false;
  m_tabs.ShowPage(static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
  result = 0;
  return true;
}

bool CSettingsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (CSkinnedDialog::OnMessage(message, wParam, lParam, result)) return true;
  if (message != WM_SETTINGS_CHANGED) return false;
  SetModified(wParam == 1);
  result = 0;
  return true;
}

void CSettingsDlg::OnOK() {
  if (m_modified != 0) ApplySettings();
  End(IDOK);
}
