#include "client/tools/DiagnosisPage.h"

#include <commctrl.h>

#include "client/resources/Resource.h"
#include "common/ui/Controls.h"

namespace {

const COLORREF kListBackground = RGB(212, 243, 255);
const COLORREF kListText = RGB(0, 0, 0);

}  // namespace

CDiagnosisPage::CDiagnosisPage(UINT templateId, const Column* columns, int columnCount)
    : CSkinnedDialog(templateId), m_columns(columns), m_columnCount(columnCount) {}

HWND CDiagnosisPage::List() const {
  return Item(IDC_DIAG_PAGE_LIST);
}

bool CDiagnosisPage::OnInitDialog() {
  HWND list = List();
  ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  ListView_SetBkColor(list, kListBackground);
  ListView_SetTextBkColor(list, kListBackground);
  ListView_SetTextColor(list, kListText);
  for (int i = 0; i < m_columnCount; ++i) ui::ListAddColumn(list, m_columns[i].header, m_columns[i].width);
  return true;
}

bool CDiagnosisPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_SIZE) {
    MoveWindow(List(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    result = 0;
    return true;
  }
  return CSkinnedDialog::OnMessage(message, wParam, lParam, result);
}

void CDiagnosisPage::SetRows(const std::vector<std::vector<std::string>>& rows) {
  HWND list = List();
  if (list == nullptr) return;
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string>& cells = rows[r];
    if (cells.empty()) continue;
    const int row = ui::ListInsertRow(list, static_cast<int>(r), cells[0]);
    for (size_t c = 1; c < cells.size(); ++c) ui::ListSetText(list, row, static_cast<int>(c), cells[c]);
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}
