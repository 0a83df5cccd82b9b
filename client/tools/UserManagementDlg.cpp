#include "client/tools/UserManagementDlg.h"

#include <windows.h>

#include <commctrl.h>

#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/tools/SavedUsers.h"
#include "common/ui/Controls.h"

CUserManagementDlg::CUserManagementDlg(CConfigStore& config)
    : CSkinnedDialog(IDD_USER_MANAGEMENT), m_config(config) {
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&controls);
}

bool CUserManagementDlg::OnInitDialog() {
  HWND list = Item(IDC_USER_LIST);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  ui::ListAddColumn(list, "序号", 70);
  ui::ListAddColumn(list, "用户ID", 370);

  m_config.EditDocument([this](CXmlDoc& doc) {
    m_names = ListSavedUsers(doc);
    return false;
  });
  for (size_t i = 0; i < m_names.size(); ++i) {
    const int row = ui::ListInsertRow(list, static_cast<int>(i), std::to_string(i + 1));
    ui::ListSetText(list, row, 1, m_names[i]);
  }
  marked.clear();
  ui::Enable(Item(IDC_USER_SAVE), false);
  return true;
}

bool CUserManagementDlg::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_USER_DELETE:
      Mark();
      return true;
    case IDC_USER_SAVE:
      Save();
      return true;
    default:
      return false;
  }
}

void CUserManagementDlg::Mark() {
  HWND list = Item(IDC_USER_LIST);
  std::vector<int> selected;
  int row = -1;
  while ((row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                              MAKELPARAM(LVNI_SELECTED, 0)))) >= 0) {
    selected.push_back(row);
  }
  if (selected.empty()) {
    MessageBoxA(m_hwnd, "请选择待删除的记录！", app::kNotice, MB_OK | MB_ICONINFORMATION);
    return;
  }
  for (int index : selected) {
    if (static_cast<size_t>(index) < m_names.size()) marked.push_back(m_names[index]);
  }
  // From the last row up, so that the indexes of the rows still to go stay valid.
  for (auto index = selected.rbegin(); index != selected.rend(); ++index) {
    SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(*index), 0);
    if (static_cast<size_t>(*index) < m_names.size()) m_names.erase(m_names.begin() + *index);
  }
  ui::Enable(Item(IDC_USER_SAVE), true);
}

void CUserManagementDlg::Save() {
  // The names stay marked: saving again finds nothing more to remove.
  m_config.EditDocument([this](CXmlDoc& doc) { return RemoveMarkedUsers(doc, marked); });
}
