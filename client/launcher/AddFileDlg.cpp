#include "client/launcher/AddFileDlg.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "client/launcher/ShortcutRules.h"
#include "client/resources/Resource.h"

namespace {

// The open-file dialog's filter: pairs of label and pattern, ending in an empty pair.
const char kAllFilesFilter[] = "All Files(*.*)\0*.*\0";
const char kOpenTitle[] = "打开";
const char kFolderTitle[] = "请选择文件夹路径";

}  // namespace

CAddFileDlg::CAddFileDlg() : CSkinnedDialog(IDD_ADD_FILE) {}

void CAddFileDlg::DoDataExchange(bool save) {
  ExchangeText(IDC_ADD_FILE_PATH, path, save);
  if (save) {
    folder = IsDlgButtonChecked(m_hwnd, IDC_ADD_FILE_IS_FOLDER) == BST_CHECKED ? 1 : 0;
  } else {
    CheckRadioButton(m_hwnd, IDC_ADD_FILE_IS_FILE, IDC_ADD_FILE_IS_FOLDER,
                     folder ? IDC_ADD_FILE_IS_FOLDER : IDC_ADD_FILE_IS_FILE);
  }
}

bool CAddFileDlg::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_SHORTCUT_OK:
      Accept();
      return true;
    case IDC_SHORTCUT_CANCEL:
      End(IDCANCEL);
      return true;
    case IDC_ADD_FILE_BROWSE:
      Browse();
      return true;
    default:
      return false;
  }
}

bool CAddFileDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (CSkinnedDialog::OnMessage(message, wParam, lParam, result)) return true;
  if (message != WM_CLOSE) return false;
  End(IDCANCEL);
  result = 0;
  return true;
}

// Enter and Escape arrive as IDOK and IDCANCEL; neither closes the dialog.
void CAddFileDlg::OnOK() {}

void CAddFileDlg::OnCancel() {}

void CAddFileDlg::Accept() {
  DoDataExchange(true);
  if (const char* refusal = shortcuts::FileDialogRefusal(path)) {
    Tell(refusal);
    return;
  }
  End(IDOK);
}

void CAddFileDlg::Browse() {
  DoDataExchange(true);
  char chosen[MAX_PATH] = {};
  if (folder == 0) {
    OPENFILENAMEA dialog;
    std::memset(&dialog, 0, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_hwnd;
    dialog.lpstrFilter = kAllFilesFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = sizeof(chosen);
    dialog.lpstrTitle = kOpenTitle;
    dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) return;
  } else {
    const HRESULT com = CoInitialize(nullptr);
    BROWSEINFOA browse;
    std::memset(&browse, 0, sizeof(browse));
    browse.hwndOwner = m_hwnd;
    browse.pszDisplayName = chosen;
    browse.lpszTitle = kFolderTitle;
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST list = SHBrowseForFolderA(&browse);
    bool found = false;
    if (list != nullptr) {
      found = SHGetPathFromIDListA(list, chosen) != FALSE;
      CoTaskMemFree(list);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    if (list == nullptr) return;
    if (!found) {
      Tell(shortcuts::kNoFolderPath);
      return;
    }
  }
  chosen[sizeof(chosen) - 1] = '\0';
  path = chosen;
  DoDataExchange(false);
}

void CAddFileDlg::Tell(const char* text) {
  MessageBoxA(m_hwnd, text, shortcuts::kNoticeTitle, MB_OK | MB_ICONINFORMATION);
}
