#include "client/core/MainDlg.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "client/resources/Resource.h"
#include "common/ui/Images.h"

namespace {

constexpr int kTabItemWidth = 40;
constexpr int kTabItemHeight = 38;
// The pages sit right of the column of tab icons.
constexpr int kPageLeft = 42;

}  // namespace

void CMainDlg::BuildTabs() {
  HWND tabs = Item(IDC_TABS);
  m_tabImages.Reset(ui::LoadMaskedStrip(IDB_TABS, 32, 32));
  SendMessageA(tabs, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_tabImages.Get()));
  SendMessageA(tabs, TCM_SETITEMSIZE, 0, MAKELPARAM(kTabItemWidth, kTabItemHeight));
  for (int i = 0; i < kPageCount; ++i) {
    TCITEMA item;
    std::memset(&item, 0, sizeof(item));
    item.mask = TCIF_IMAGE | TCIF_TEXT;
    item.pszText = const_cast<char*>("");
    item.iImage = i;
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }

  m_tabTips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  for (int i = 0; i < kPageCount; ++i) {
    char text[80] = {};
    LoadStringA(GetModuleHandleA(nullptr), IDS_TAB_LOGIN + i, text, sizeof(text));
    TOOLINFOA tool;
    std::memset(&tool, 0, sizeof(tool));
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = tabs;
    tool.uId = static_cast<UINT_PTR>(i);
    tool.lpszText = text;
    SendMessageA(tabs, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&tool.rect));
    SendMessageA(m_tabTips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }

  RECT area;
  GetClientRect(tabs, &area);
  const int width = area.right - kPageLeft;
  const int height = area.bottom;
  ui::CDialogBase* pages[kPageCount] = {&m_loginPage, &m_shortcutPage, &m_navigationPage, &m_contactPage};
  for (ui::CDialogBase* page : pages) {
    if (HWND window = page->Create(tabs)) {
      SetWindowPos(window, nullptr, kPageLeft, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  SendMessageA(tabs, TCM_SETCURSEL, 0, 0);
  ShowPage(0);
}

void CMainDlg::ShowPage(int index) {
  if (index < 0 || index >= kPageCount) return;
  m_currentPage = index;
  for (int i = 0; i < kPageCount; ++i) {
    if (HWND page = Page(i)) ShowWindow(page, i == index ? SW_SHOW : SW_HIDE);
  }
}

HWND CMainDlg::Page(int index) const {
  switch (index) {
    case 0:
      return m_loginPage.Handle();
    case 1:
      return m_shortcutPage.Handle();
    case 2:
      return m_navigationPage.Handle();
    case 3:
      return m_contactPage.Handle();
    default:
      return nullptr;
  }
}
