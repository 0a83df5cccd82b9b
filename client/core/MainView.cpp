#include "client/core/MainView.h"

#include <commctrl.h>

#include <string>

#include "client/core/AppTexts.h"
#include "client/core/DialErrorHints.h"

#include "dialengine/HostControls.h"
#include "dialengine/HostWindow.h"

void CMainView::Attach(HWND mainWindow, HWND toolbar) {
  m_main.store(mainWindow);
  m_toolbar.store(toolbar);
  // The engine writes its texts and menu states even when there is no toolbar.
  LinkwellRegisterHost(mainWindow, toolbar);
}

void CMainView::Detach() {
  LinkwellRegisterHost(nullptr, nullptr);
  m_main.store(nullptr);
  m_toolbar.store(nullptr);
}

void CMainView::ShowConnectionUp() {
  EnableButton(LINKWELL_BUTTON_DISCONNECT, true);
  EnableButton(LINKWELL_BUTTON_CONNECT, false);
  EnableMenuItem(LINKWELL_MENU_DIAL, LINKWELL_ITEM_DIAL, false);
  EnableMenuItem(LINKWELL_MENU_STATISTICS, LINKWELL_ITEM_STATISTICS, true);
  EnableMenuItem(LINKWELL_MENU_DIAL, LINKWELL_ITEM_HANG_UP, true);
}

void CMainView::ShowConnectionDown() {
  EnableButton(LINKWELL_BUTTON_DISCONNECT, false);
  EnableButton(LINKWELL_BUTTON_CONNECT, true);
  EnableMenuItem(LINKWELL_MENU_DIAL, LINKWELL_ITEM_DIAL, true);
  EnableMenuItem(LINKWELL_MENU_STATISTICS, LINKWELL_ITEM_STATISTICS, false);
  EnableMenuItem(LINKWELL_MENU_DIAL, LINKWELL_ITEM_HANG_UP, false);
}

void CMainView::SetMessageLine(const char* text) {
  HWND main = m_main.load();
  if (main != nullptr) SetDlgItemTextA(main, LINKWELL_TEXT_MESSAGE, text != nullptr ? text : "");
}

void CMainView::AddDialErrorHint(unsigned long code) {
  HWND main = m_main.load();
  if (main == nullptr || DialErrorHint(code) == nullptr) return;
  // The engine's line: "连接错误!", a line break and the system's text of at most 255 bytes.
  char line[512] = "";
  GetDlgItemTextA(main, LINKWELL_TEXT_MESSAGE, line, sizeof(line));
  const std::string hinted = WithDialErrorHint(line, code);
  if (hinted != line) SetDlgItemTextA(main, LINKWELL_TEXT_MESSAGE, hinted.c_str());
}

void CMainView::OfferDiagnosis(unsigned long code) {
  HWND main = m_main.load();
  if (main != nullptr) PostMessageA(main, app::kOfferDiagnosisMessage, static_cast<WPARAM>(code), 0);
}

UINT CMainView::MenuItemState(int menu, UINT item) const {
  HWND main = m_main.load();
  HMENU bar = main != nullptr ? GetMenu(main) : nullptr;
  HMENU sub = bar != nullptr ? GetSubMenu(bar, menu) : nullptr;
  if (sub == nullptr) return MF_GRAYED;
  const UINT state = GetMenuState(sub, item, MF_BYPOSITION);
  if (state == static_cast<UINT>(-1)) return MF_GRAYED;
  return state & (MF_GRAYED | MF_DISABLED);
}

void CMainView::EnableButton(int command, bool enable) {
  HWND toolbar = m_toolbar.load();
  if (toolbar == nullptr) return;
  SendMessageA(toolbar, TB_ENABLEBUTTON, static_cast<WPARAM>(command), MAKELPARAM(enable ? TRUE : FALSE, 0));
}

void CMainView::EnableMenuItem(int menu, UINT item, bool enable) {
  HWND main = m_main.load();
  HMENU bar = main != nullptr ? GetMenu(main) : nullptr;
  HMENU sub = bar != nullptr ? GetSubMenu(bar, menu) : nullptr;
  if (sub == nullptr) return;
  ::EnableMenuItem(sub, item, MF_BYPOSITION | (enable ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
  DrawMenuBar(main);
}
