#include "client/tools/MessagesDlg.h"

#include <commctrl.h>

#include "client/messaging/MessageStore.h"
#include "client/resources/Resource.h"
#include "common/ui/Controls.h"
#include "common/ui/Skin.h"

namespace {

const char kNoMessages[] = "还没有收到过消息。";
constexpr size_t kNoPosition = static_cast<size_t>(-1);

void OpenWithShell(HWND owner, const char* address) {
  skin::OpenWebPage(owner, address);
}

}  // namespace

MessageLinkSystem RealMessageLinkSystem() {
  return MessageLinkSystem{OpenWithShell};
}

MessageLinkSystem& MessageLinkCalls() {
  static MessageLinkSystem calls = RealMessageLinkSystem();
  return calls;
}

bool OpenMessageLink(HWND owner, const std::string& address) {
  if (!IsWebLink(address)) return false;
  MessageLinkCalls().openWebPage(owner, address.c_str());
  return true;
}

CMessagesDlg::CMessagesDlg(CMessageStore& store) : CSkinnedDialog(IDD_MESSAGES), m_store(store) {
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&controls);
}

bool CMessagesDlg::OnInitDialog() {
  HWND list = Item(IDC_MESSAGE_LIST);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  // The moment column is as wide as its text in the dialog's font; the title takes the rest.
  RECT moment = {0, 0, 92, 0};
  MapDialogRect(m_hwnd, &moment);
  RECT client = {};
  GetClientRect(list, &client);
  ui::ListAddColumn(list, "日期时间", moment.right);
  ui::ListAddColumn(list, "标题", client.right - moment.right - GetSystemMetrics(SM_CXVSCROLL));
  Fill(kNoPosition);
  return true;
}

void CMessagesDlg::Reload() {
  if (m_hwnd == nullptr) return;
  const int row = SelectedRow();
  Fill(row >= 0 ? m_positions[static_cast<size_t>(row)] : kNoPosition);
}

int CMessagesDlg::SelectedRow() const {
  if (m_hwnd == nullptr) return -1;
  const int row = static_cast<int>(SendMessageA(Item(IDC_MESSAGE_LIST), LVM_GETNEXTITEM,
                                                static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
  return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? row : -1;
}

void CMessagesDlg::Fill(size_t selectedPosition) {
  const std::vector<ProviderMessage> stored = m_store.ReadMessages();
  m_positions = NewestFirst(stored);
  m_rows.clear();
  for (size_t position : m_positions) m_rows.push_back(stored[position]);

  HWND list = Item(IDC_MESSAGE_LIST);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  int selected = m_rows.empty() ? -1 : 0;
  for (size_t i = 0; i < m_rows.size(); ++i) {
    const int row = ui::ListInsertRow(list, static_cast<int>(i), m_rows[i].date + " " + m_rows[i].time);
    ui::ListSetText(list, row, 1, m_rows[i].title);
    if (m_positions[i] == selectedPosition) selected = static_cast<int>(i);
  }
  if (selected >= 0) {
    LVITEMA item;
    ZeroMemory(&item, sizeof(item));
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&item));
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(selected), FALSE);
  }
  ShowSelected();
}

void CMessagesDlg::ShowSelected() {
  const int row = SelectedRow();
  if (row < 0) {
    ui::SetText(Item(IDC_MESSAGE_CONTENT), m_rows.empty() ? kNoMessages : "");
    ui::Enable(Item(IDC_MESSAGE_OPEN), false);
    return;
  }
  const ProviderMessage& message = m_rows[static_cast<size_t>(row)];
  ui::SetText(Item(IDC_MESSAGE_CONTENT), WithWindowsLineBreaks(message.content));
  ui::Enable(Item(IDC_MESSAGE_OPEN), IsWebLink(message.url));
}

void CMessagesDlg::OpenSelectedLink() {
  const int row = SelectedRow();
  if (row >= 0) OpenMessageLink(m_hwnd, m_rows[static_cast<size_t>(row)].url);
}

bool CMessagesDlg::OnCommand(int id, int code, HWND) {
  if (id == IDC_MESSAGE_OPEN && code == BN_CLICKED) {
    OpenSelectedLink();
    return true;
  }
  return false;
}

bool CMessagesDlg::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->idFrom != IDC_MESSAGE_LIST) return false;
  switch (header->code) {
    case LVN_ITEMCHANGED: {
      const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
      if ((change->uChanged & LVIF_STATE) != 0 &&
          ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) != 0) {
        ShowSelected();
      }
      result = 0;
      return true;
    }
    case NM_DBLCLK:
      OpenSelectedLink();
      result = 0;
      return true;
    default:
      return false;
  }
}
