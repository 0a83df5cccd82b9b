#include "client/core/MainDlg.h"

#include <windows.h>

#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/core/RasQueries.h"
#include "client/core/SupervisionTexts.h"
#include "client/resources/Resource.h"
#include "common/ui/Images.h"
#include "dialengine/HostControls.h"

namespace {

// The positions of the tray menu's connect, disconnect and statistics items.
constexpr UINT kTrayConnectItem = 2;
constexpr UINT kTrayDisconnectItem = 3;
constexpr UINT kTrayStatisticsItem = 4;

}  // namespace

void CMainDlg::AddTrayIcon() {
  m_trayOfflineIcon.Reset(ui::LoadIconSized(IDI_TRAY, GetSystemMetrics(SM_CXSMICON)));
  m_trayOnlineIcon.Reset(ui::LoadIconSized(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON)));
  m_tray.Add(m_hwnd, app::kTrayIconId, app::kTrayCallbackMessage, m_trayOfflineIcon.Get(), app::kTitle);
}

void CMainDlg::OnTrayCallback(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
      m_slideFinished = false;
      m_slideHiding = false;
      SetTimer(m_hwnd, kSlideTimer, kSlidePeriodMs, nullptr);
      SetForegroundWindow(m_hwnd);
      ShowWindow(m_hwnd, SW_RESTORE);
      break;
    case WM_RBUTTONDOWN:
      ShowTrayMenu();
      break;
    case WM_MOUSEMOVE:
      m_tray.SetTip(TrayTipText().c_str());
      break;
    case NIN_BALLOONUSERCLICK:
      OnBalloonClicked();
      break;
    default:
      break;
  }
}

HMENU CMainDlg::CreateTrayMenu(HMENU* owner) const {
  if (owner != nullptr) *owner = nullptr;
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
  if (loaded == nullptr) return nullptr;
  HMENU menu = GetSubMenu(loaded, 0);
  if (menu == nullptr) {
    DestroyMenu(loaded);
    return nullptr;
  }
  const CMainView& view = m_connection.View();
  EnableMenuItem(menu, kTrayConnectItem,
                 MF_BYPOSITION | view.MenuItemState(LINKWELL_MENU_DIAL, LINKWELL_ITEM_DIAL));
  EnableMenuItem(menu, kTrayDisconnectItem,
                 MF_BYPOSITION | view.MenuItemState(LINKWELL_MENU_DIAL, LINKWELL_ITEM_HANG_UP));
  EnableMenuItem(menu, kTrayStatisticsItem,
                 MF_BYPOSITION | view.MenuItemState(LINKWELL_MENU_STATISTICS, LINKWELL_ITEM_STATISTICS));
  if (owner != nullptr) *owner = loaded;
  return menu;
}

void CMainDlg::ShowTrayMenu() {
  HMENU owner = nullptr;
  HMENU menu = CreateTrayMenu(&owner);
  if (menu == nullptr) return;
  ui::CMenu ownerMenu(owner);
  // The window must be in the foreground before TrackPopupMenu, or the menu stays open when the
  // user clicks elsewhere; the posted WM_NULL lets it close properly.
  SetForegroundWindow(m_hwnd);
  POINT cursor;
  GetCursorPos(&cursor);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_hwnd, nullptr);
  PostMessageA(m_hwnd, WM_NULL, 0, 0);
}

std::string CMainDlg::TrayTipText() const {
  if (!m_connected) return ::TrayTipText(false, std::string(), std::string());
  return ::TrayTipText(true, DefaultEntryIpText(), LinkSpeedText());
}
