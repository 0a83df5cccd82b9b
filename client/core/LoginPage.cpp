#include "client/core/LoginPage.h"

#include "client/core/ui/Controls.h"
#include "client/resources/Resource.h"

CLoginPage::CLoginPage(CConfigStore& config, CConnectManage& manager)
    : CPageBase(IDD_LOGIN), m_config(config), m_manager(manager) {}

bool CLoginPage::OnInitDialog() {
  return CPageBase::OnInitDialog();
}

void CLoginPage::OnConnect() {}

void CLoginPage::OnDisconnect() {}

int CLoginPage::HasCredentials() const {
  return !ui::GetText(Item(IDC_USER_NAME)).empty() && !ui::GetText(Item(IDC_PASSWORD)).empty() ? 1 : 0;
}

bool CLoginPage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  if (id == IDC_CONNECT) {
    OnConnect();
    return true;
  }
  if (id == IDC_DISCONNECT) {
    OnCancel();
    return true;
  }
  return false;
}

void CLoginPage::OnCancel() {
  OnDisconnect();
}
