#include "client/tools/RecordQueryDlg.h"

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"
#include "client/store/ProgramFolder.h"
#include "client/store/RecordFiles.h"
#include "client/tools/AddRecordDlg.h"
#include "common/TextCopy.h"
#include "common/ui/Controls.h"

namespace {

struct Column {
  const char* header;
  int width;
};
const Column kColumns[kRecordColumns] = {
    {"序号", 30},   {"用户名", 90},   {"开始时间", 130}, {"持续时间", 120},
    {"IP地址", 90}, {"断线原因", 60}, {"发送", 100},     {"接收", 100},
};

int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  const std::tm* parts = std::localtime(&now);
  return parts != nullptr ? parts->tm_year + 1900 : 0;
}

void FillFilter(HWND combo, const std::vector<std::string>& entries) {
  ui::ComboAdd(combo, kFilterAll);
  for (const std::string& entry : entries) ui::ComboAdd(combo, entry);
}

// The selected rows of a list view, in ascending order.
std::vector<int> SelectedRows(HWND list) {
  std::vector<int> rows;
  int row = -1;
  while ((row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                              MAKELPARAM(LVNI_SELECTED, 0)))) >= 0) {
    rows.push_back(row);
  }
  return rows;
}

void SetAllSelected(HWND list, bool selected) {
  LVITEMA item;
  ZeroMemory(&item, sizeof(item));
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

CRecordQueryDlg::CRecordQueryDlg(const std::string& programFolder)
    : CSkinnedDialog(IDD_RECORD_QUERY),
      m_programFolder(programFolder),
      m_recordFolder(RecordFolder(programFolder)) {
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&controls);
}

void CRecordQueryDlg::DoDataExchange(bool save) {
  const int ids[] = {IDC_FILTER_USER, IDC_FILTER_YEAR, IDC_FILTER_MONTH, IDC_FILTER_DAY};
  std::string* values[] = {&userFilter, &yearFilter, &monthFilter, &dayFilter};
  for (int i = 0; i < 4; ++i) {
    // Drop-down lists: their text is the selected entry, and a text is shown by selecting it.
    if (save) {
      *values[i] = ui::GetText(Item(ids[i]));
    } else {
      ui::ComboSelectExact(Item(ids[i]), *values[i]);
    }
  }
  ExchangeText(IDC_RECORD_TOTALS, totals, save);
}

bool CRecordQueryDlg::OnInitDialog() {
  MakeRecordFolder(m_programFolder);

  FillFilter(Item(IDC_FILTER_YEAR), FilterYears(CurrentYear()));
  FillFilter(Item(IDC_FILTER_MONTH), FilterMonths());
  FillFilter(Item(IDC_FILTER_DAY), FilterDays());

  HWND list = Item(IDC_RECORD_LIST);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  for (const Column& column : kColumns) ui::ListAddColumn(list, column.header, column.width);

  FillFilter(Item(IDC_FILTER_USER), CollectRecordUsers(m_recordFolder, ListRecordFiles(m_recordFolder)));

  userFilter = yearFilter = monthFilter = dayFilter = kFilterAll;
  totals.clear();
  DoDataExchange(false);
  return true;
}

bool CRecordQueryDlg::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_RECORD_QUERY:
      Query();
      return true;
    case IDC_RECORD_SELECT_ALL:
      SelectAll();
      return true;
    case IDC_RECORD_DELETE:
      Delete(true);
      return true;
    case ID_RECORD_DELETE_ITEM:
      Delete(false);
      return true;
    case IDC_RECORD_ADD:
      AddByHand();
      return true;
    case IDC_RECORD_EXPORT:
      Export();
      return true;
    default:
      return false;
  }
}

bool CRecordQueryDlg::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->idFrom != IDC_RECORD_LIST) return false;
  switch (header->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW:
      FillDisplayInfo(header);
      result = 0;
      return true;
    case NM_RCLICK:
      ShowContextMenu(reinterpret_cast<const NMITEMACTIVATE*>(header));
      result = 0;
      return true;
    default:
      return false;
  }
}

void CRecordQueryDlg::FillDisplayInfo(NMHDR* header) {
  // The list holds no texts of its own (owner data): it asks for each cell it shows.
  if (header->code == LVN_GETDISPINFOA) {
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr) return;
    const bool known = item.iItem >= 0 && static_cast<size_t>(item.iItem) < m_result.rows.size() &&
                       item.iSubItem >= 0 && item.iSubItem < kRecordColumns;
    CopyText(item.pszText, item.cchTextMax > 0 ? static_cast<size_t>(item.cchTextMax) : 0,
             known ? m_result.rows[item.iItem].cells[item.iSubItem].c_str() : "");
    return;
  }
  LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
  if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
  item.pszText[0] = L'\0';
  if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= m_result.rows.size() || item.iSubItem < 0 ||
      item.iSubItem >= kRecordColumns) {
    return;
  }
  const std::string& cell = m_result.rows[item.iItem].cells[item.iSubItem];
  const int written = MultiByteToWideChar(CP_ACP, 0, cell.c_str(), -1, item.pszText, item.cchTextMax);
  // A text longer than the buffer is cut and still terminated.
  if (written == 0) item.pszText[item.cchTextMax - 1] = L'\0';
}

void CRecordQueryDlg::Query() {
  DoDataExchange(true);
  RecordFilter filter;
  filter.user = userFilter;
  filter.year = yearFilter;
  filter.month = monthFilter;
  filter.day = dayFilter;
  List(filter);
}

void CRecordQueryDlg::List(const RecordFilter& filter) {
  m_result = RecordQueryResult();
  ShowRows();
  RunRecordQuery(m_recordFolder,
                 SelectRecordFiles(ListRecordFiles(m_recordFolder), filter.year, filter.month), filter,
                 m_times, m_result);
  ShowRows();
  ShowTotals();
}

void CRecordQueryDlg::ShowRows() {
  HWND list = Item(IDC_RECORD_LIST);
  SetAllSelected(list, false);
  SendMessageA(list, LVM_SETITEMCOUNT, m_result.rows.size(), 0);
  InvalidateRect(list, nullptr, TRUE);
}

void CRecordQueryDlg::ShowTotals() {
  // The totals always describe the rows in the list, also after a deletion or an empty query.
  totals = RecordTotalsText(SumRecordRows(m_result.rows));
  ExchangeText(IDC_RECORD_TOTALS, totals, false);
}

void CRecordQueryDlg::SelectAll() {
  HWND list = Item(IDC_RECORD_LIST);
  SetFocus(list);
  SetAllSelected(list, true);
}

void CRecordQueryDlg::Delete(bool checkSelection) {
  const std::vector<int> selected = SelectedRows(Item(IDC_RECORD_LIST));
  if (checkSelection && selected.empty()) {
    MessageBoxA(m_hwnd, "请选择待删除的记录！", app::kNotice, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (MessageBoxA(m_hwnd, "确定要删除？", app::kNotice, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
  // Each selected row takes every record of its file with its start time; those leave the list as
  // well, so that it never shows a record the file no longer holds.
  std::vector<std::pair<int, std::string>> removed;
  for (int row : selected) {
    if (row < 0 || static_cast<size_t>(row) >= m_result.rows.size()) continue;
    const RecordRow& record = m_result.rows[row];
    const std::pair<int, std::string> key(record.file, record.cells[kColumnStart]);
    if (std::find(removed.begin(), removed.end(), key) != removed.end()) continue;
    if (record.file >= 0) RemoveRecordsStartingAt(m_result.files[record.file], key.second);
    removed.push_back(key);
  }
  m_result.rows.erase(std::remove_if(m_result.rows.begin(), m_result.rows.end(),
                                     [&](const RecordRow& row) {
                                       return std::find(removed.begin(), removed.end(),
                                                        std::make_pair(row.file, row.cells[kColumnStart])) !=
                                              removed.end();
                                     }),
                      m_result.rows.end());
  ShowRows();
  ShowTotals();
}

void CRecordQueryDlg::AddByHand() {
  CAddRecordDlg add;
  if (add.DoModal(m_hwnd) != IDOK) return;
  AddRecordByHand(m_recordFolder, add.user.c_str(), add.startTime.c_str(), add.endTime.c_str(),
                  add.ip.c_str(), add.sent.c_str(), add.received.c_str());
  AddUserToFilter(add.user);
  List(RecordFilter());
}

void CRecordQueryDlg::AddUserToFilter(const std::string& user) {
  HWND combo = Item(IDC_FILTER_USER);
  const int count = ui::ComboCount(combo);
  for (int i = 1; i < count; ++i) {
    if (ui::ComboItem(combo, i) == user) return;
  }
  // The selection is the filter's value; adding an entry at the end keeps it.
  ui::ComboAdd(combo, user);
}

void CRecordQueryDlg::Export() {
  char path[MAX_PATH] = "";
  OPENFILENAMEA dialog;
  ZeroMemory(&dialog, sizeof(dialog));
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = m_hwnd;
  dialog.lpstrFilter = "文本文件(*.txt)\0*.txt\0\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof(path);
  dialog.lpstrTitle = "保存用户记录文件";
  dialog.lpstrDefExt = "txt";
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameA(&dialog)) return;

  if (!WriteWholeFile(path, RecordExportText(m_result.rows))) {
    const std::string text = std::string(path) + "\r\n无法写入文件！";
    MessageBoxA(m_hwnd, text.c_str(), app::kNotice, MB_OK | MB_ICONERROR);
    return;
  }
  ShellExecuteA(m_hwnd, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

void CRecordQueryDlg::ShowContextMenu(const NMITEMACTIVATE* click) {
  HWND list = Item(IDC_RECORD_LIST);
  if (SelectedRows(list).empty()) return;
  POINT at = click->ptAction;
  ClientToScreen(list, &at);
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_RECORD_MENU));
  if (menu == nullptr) return;
  HMENU popup = GetSubMenu(menu, 0);
  // The chosen item comes back as the dialog's WM_COMMAND.
  if (popup != nullptr)
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hwnd, nullptr);
  DestroyMenu(menu);
}
