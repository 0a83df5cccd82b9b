#include "client/core/MainDlg.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/core/RasQueries.h"
#include "client/messaging/MessageClient.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "common/ui/Skin.h"

namespace {

// Neither Escape nor Enter may close the main window or press a default button.
const UINT kSwallowedKeys[] = {VK_ESCAPE, VK_RETURN, 0};

}  // namespace

CMainDlg::CMainDlg(CConfigStore& config, CConnection& connection, CMessageStore* messages)
    : CDialogBase(IDD_MAIN),
      m_config(config),
      m_connection(connection),
      m_messages(messages),
      m_messageClient(new CMessageClient(messages)),
      m_loginPage(config, connection),
      m_contactPage(IDD_CONTACT_PAGE) {}

CMainDlg::~CMainDlg() {
  if (m_hwnd != nullptr && !IsModal()) DestroyWindow(m_hwnd);
}

void CMainDlg::ReplaceMessageClient(std::unique_ptr<CMessageClient> client) {
  if (client) m_messageClient = std::move(client);
}

bool CMainDlg::OnInitDialog() {
  m_taskbarCreated = ui::CTrayIcon::TaskbarCreatedMessage();
  m_edgeHeight = GetSystemMetrics(SM_CYEDGE);
  m_frameWidth = GetSystemMetrics(SM_CXFRAME);
  if (HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr)) {
    RECT r;
    if (GetWindowRect(taskbar, &r) && r.bottom > r.top) m_taskbarHeight = r.bottom - r.top;
  }
  m_keyFilter.Install(m_hwnd, kSwallowedKeys);

  SetUpWindowStyle();
  m_background.Reset(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BACKGROUND), IMAGE_BITMAP, 0,
                                0, LR_CREATEDIBSECTION));
  BuildTabs();
  PlaceAtRightEdge();
  CreateToolbar();
  ColourMenus();
  SetPropA(m_hwnd, app::kTitle, reinterpret_cast<HANDLE>(1));
  AddTrayIcon();
  StartSupervision();
  StartNetworkWait();
  HandOverMessageClient();
  ConnectAutomatically();
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &m_workArea, 0);
  SetTimer(m_hwnd, kShutdownTimer, 1000, nullptr);
  EnableShutdownPrivilege();
  ShowLocalAdvertisement();
  return true;
}

void CMainDlg::StartSupervision() {
  m_supervisionCode = m_connection.Start();
}

// Only a started client has the socket the notices go through. Without it the client works on
// without notices, after the user has been told why once.
void CMainDlg::HandOverMessageClient() {
  try {
    m_messageClient->StartReceiver(m_hwnd, app::kMessagesArrivedMessage);
    m_connection.SetMessageClient(m_messageClient.get());
  } catch (const Exception& failure) {
    MessageBoxA(m_hwnd, failure.GetText(), app::kNotice, MB_OK | MB_ICONERROR);
  }
}

void CMainDlg::ConnectAutomatically() {
  if (m_config.GetAutoconnect() != 0 && m_loginPage.HasCredentials() != 0) m_loginPage.OnConnect(false);
}

void CMainDlg::EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  m_privilegeToken.Reset(token);
  TOKEN_PRIVILEGES privileges;
  std::memset(&privileges, 0, sizeof(privileges));
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
}

void CMainDlg::OnDestroy() {
  KillTimer(m_hwnd, kShutdownTimer);
  KillTimer(m_hwnd, kHoverTimer);
  KillTimer(m_hwnd, kSlideTimer);
  m_privilegeToken.Reset();
  StopNetworkWait();
  StopSupervision();
  m_tray.Remove();
  RemovePropA(m_hwnd, app::kTitle);
  m_adView.Destroy();
  if (m_tabTips != nullptr) DestroyWindow(m_tabTips);
  m_tabTips = nullptr;
  m_keyFilter.Remove();
}

void CMainDlg::StopSupervision() {
  m_connection.Stop();
  // The message client goes with this window; the connection must not send through it later.
  m_connection.SetMessageClient(nullptr);
  m_messageClient->StopKeepAlive();
}

bool CMainDlg::OnCommand(int id, int code, HWND control) {
  if (id == IDC_CAPTION_MINIMIZE || id == IDC_CAPTION_CLOSE) {
    if (code == BN_CLICKED) {
      if (id == IDC_CAPTION_CLOSE) {
        SendMessageA(m_hwnd, WM_CLOSE, 0, 0);
      } else {
        SendMessageA(m_hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      }
    }
    return true;
  }
  if (control != nullptr && control != m_toolbar) return false;
  switch (id) {
    case ID_MENU_CONNECT:
    case ID_TRAY_CONNECT:
    case ID_CONNECT:
      m_loginPage.OnConnect();
      return true;
    case ID_MENU_DISCONNECT:
    case ID_TRAY_DISCONNECT:
    case ID_DISCONNECT:
      m_loginPage.OnDisconnect();
      return true;
    case ID_MENU_EXIT:
    case ID_TRAY_EXIT:
      Exit();
      return true;
    case ID_MENU_SETTINGS:
    case ID_SETTINGS:
      OpenSettings();
      return true;
    case ID_STATISTICS:
    case ID_TRAY_STATISTICS:
      OpenStatistics();
      return true;
    case ID_USER_MANAGEMENT:
      OpenUserManagement();
      return true;
    case ID_DIAGNOSIS:
      OpenDiagnosis();
      return true;
    case ID_RECORD_QUERY:
      OpenRecordQuery();
      return true;
    case ID_UPDATE:
      StartUpdater();
      return true;
    case ID_HELP_TOPICS:
      OpenHelp();
      return true;
    case ID_ABOUT:
    case ID_TRAY_ABOUT:
      ShowAbout();
      return true;
    case ID_TRAY_SHOW:
      ShowMainWindow();
      return true;
    case ID_MESSAGES:
      OpenMessages();
      return true;
    default:
      return false;
  }
}

void CMainDlg::ShowMainWindow() {
  ShowWindow(m_hwnd, SW_SHOWNORMAL);
  SetForegroundWindow(m_hwnd);
}

void CMainDlg::Exit() {
  End(IDOK);
}

void CMainDlg::OnOK() {}

void CMainDlg::OnCancel() {}

void CMainDlg::OnDialConnected() {
  m_connected = true;
  if (m_adView.IsCreated()) {
    const std::string page = std::string(app::kProviderWebServer) + app::kOnlineAdPath;
    m_adView.Navigate(page.c_str());
  }
  m_tray.ShowBalloon("远岸宽带拨号客户端已连接", ::LinkSpeedText().c_str(), 100);
  ForgetMessageBalloon();
  m_tray.SetIcon(m_trayOnlineIcon.Get());
  PostMessageA(m_hwnd, WM_KILLFOCUS, 0, 0);
  // The provider learns the subscriber is still there while the connection is up.
  if (m_messageClient->IsReceiving()) m_messageClient->StartKeepAlive();
}

void CMainDlg::OnDialDisconnected() {
  m_connected = false;
  m_tray.ShowBalloon("", "远岸宽带拨号客户端连接已断开", 100);
  ForgetMessageBalloon();
  m_tray.SetIcon(m_trayOfflineIcon.Get());
  m_messageClient->StopKeepAlive();
}

void CMainDlg::OnTimer(UINT_PTR id) {
  switch (id) {
    case kHoverTimer:
      OnHoverTimer();
      break;
    case kSlideTimer:
      OnSlideTimer();
      break;
    case kShutdownTimer:
      OnShutdownTimer();
      break;
    default:
      break;
  }
}

bool CMainDlg::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE) {
    ShowPage(static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
    result = 0;
    return true;
  }
  return OnToolbarTip(header, result);
}

bool CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (skin::ControlColour(message, wParam, lParam, nullptr, result)) return true;
  if (message == m_taskbarCreated && message != 0) {
    m_tray.Restore();
    result = 0;
    return true;
  }
  switch (message) {
    case app::kTrayCallbackMessage:
      OnTrayCallback(static_cast<UINT>(lParam));
      result = 0;
      return true;
    case app::kDialConnectedMessage:
      OnDialConnected();
      result = 0;
      return true;
    case app::kDialDisconnectedMessage:
      OnDialDisconnected();
      result = 0;
      return true;
    case WM_NETWORK_READY:
      OnNetworkReady();
      result = 0;
      return true;
    case app::kMessagesArrivedMessage:
      OnMessagesArrived();
      result = 0;
      return true;
    case app::kOfferDiagnosisMessage:
      OnOfferDiagnosis(static_cast<unsigned long>(wParam));
      result = 0;
      return true;
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(wParam));
      result = 1;
      return true;
    case WM_DRAWITEM:
      if (wParam == IDC_CAPTION_MINIMIZE || wParam == IDC_CAPTION_CLOSE) {
        DrawCaptionButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
      }
      return false;
    case WM_CLOSE:
      // Closing only hides the window to the tray; "退出" is the way out.
      PostMessageA(m_hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      result = 0;
      return true;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) OnMinimized();
      return false;
    case WM_MOVING:
      OnMoving(reinterpret_cast<RECT*>(lParam));
      result = TRUE;
      return true;
    case WM_NCHITTEST:
      OnHitTest();
      return false;
    case WM_ENDSESSION:
      if (wParam != FALSE) OnEndSession();
      result = 0;
      return true;
    case WM_DESTROY:
      OnDestroy();
      return false;
    default:
      return false;
  }
}
