#include "client/launcher/AddGroupDlg.h"

#include "client/launcher/ShortcutRules.h"
#include "client/resources/Resource.h"

CAddGroupDlg::CAddGroupDlg() : CSkinnedDialog(IDD_ADD_GROUP) {}

void CAddGroupDlg::DoDataExchange(bool save) {
  ExchangeText(IDC_ADD_GROUP_NAME, name, save);
}

bool CAddGroupDlg::OnCommand(int id, int, HWND) {
  if (id != IDC_SHORTCUT_CANCEL) return false;
  End(IDCANCEL);
  return true;
}

bool CAddGroupDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (CSkinnedDialog::OnMessage(message, wParam, lParam, result)) return true;
  if (message != WM_CLOSE) return false;
  End(IDCANCEL);
  result = 0;
  return true;
}

void CAddGroupDlg::OnOK() {
  DoDataExchange(true);
  if (const char* refusal = shortcuts::GroupDialogRefusal(name)) {
    MessageBoxA(m_hwnd, refusal, shortcuts::kNoticeTitle, MB_OK | MB_ICONINFORMATION);
    SetFocus(Item(IDC_ADD_GROUP_NAME));
    return;
  }
  End(IDOK);
}

// Escape arrives here; it leaves the dialog open.
void CAddGroupDlg::OnCancel() {}
