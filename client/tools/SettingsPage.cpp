#include "client/tools/SettingsPage.h"

CSettingsPage::CSettingsPage(UINT templateId) : CSkinnedDialog(templateId) {}

bool CSettingsPage::OnInitDialog() {
  // Setting a control's text or selection makes it notify its page as a user's edit does.
  m_filling = true;
  OnInitPage();
  m_filling = false;
  return false;
}

void CSettingsPage::NotifyChanged() {
  if (m_filling || m_hwnd == nullptr) return;
  HWND settings = GetAncestor(m_hwnd, GA_ROOT);
  if (settings != nullptr) SendMessageA(settings, WM_SETTINGS_CHANGED, 1, 0);
}
