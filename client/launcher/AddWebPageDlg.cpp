#include "client/launcher/AddWebPageDlg.h"

#include "client/launcher/ShortcutRules.h"
#include "client/resources/Resource.h"

CAddWebPageDlg::CAddWebPageDlg() : CSkinnedDialog(IDD_ADD_WEB_PAGE) {}

void CAddWebPageDlg::DoDataExchange(bool save) {
  ExchangeText(IDC_ADD_WEB_NAME, name, save);
  ExchangeText(IDC_ADD_WEB_ADDRESS, address, save);
}

void CAddWebPageDlg::OnOK() {
  DoDataExchange(true);
  if (const char* refusal = shortcuts::WebDialogRefusal(name, address)) {
    MessageBoxA(m_hwnd, refusal, shortcuts::kNoticeTitle, MB_OK | MB_ICONINFORMATION);
    SetFocus(Item(refusal == shortcuts::kWebNameEmpty ? IDC_ADD_WEB_NAME : IDC_ADD_WEB_ADDRESS));
    return;
  }
  End(IDOK);
}
