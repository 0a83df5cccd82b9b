#include "client/core/MainDlg.h"

#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "client/core/AboutDlg.h"
#include "client/core/AppTexts.h"
#include "client/core/RasQueries.h"
#include "client/core/SupervisionTexts.h"
#include "client/core/ToolbarResource.h"
#include "client/messaging/MessageClient.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/ProgramFolder.h"
#include "common/ui/Controls.h"
#include "common/ui/Skin.h"
#include "dialengine/HostWindow.h"

namespace {

constexpr int kToolbarId = 0xE800;
constexpr int kTabItemWidth = 40;
constexpr int kTabItemHeight = 38;
constexpr int kPageLeft = 42;
constexpr UINT kSlidePeriod = 5;
constexpr UINT kHoverPeriod = 200;
constexpr COLORREF kMenuColour = RGB(128, 245, 254);
constexpr UINT kHtmlHelpDisplayTopic = 0;
// The resource type of toolbar resources.
constexpr WORD kToolbarResourceType = 241;

// Neither Escape nor Enter may close the main window or press a default button.
const UINT kSwallowedKeys[] = {VK_ESCAPE, VK_RETURN, 0};

HICON LoadIconSized(int id, int size) {
  return static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

HIMAGELIST LoadStrip(int id, int width, int height) {
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap == nullptr) return nullptr;
  HIMAGELIST list = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 0);
  if (list != nullptr) ImageList_AddMasked(list, bitmap, RGB(255, 0, 255));
  DeleteObject(bitmap);
  return list;
}

// The commands of toolbar resource 137, in order; empty when the resource is missing or damaged.
std::vector<unsigned> LoadToolbarCommands(int id) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(kToolbarResourceType));
  if (found == nullptr) return std::vector<unsigned>();
  HGLOBAL loaded = LoadResource(instance, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  ToolbarResource toolbar;
  if (!ParseToolbarResource(data, SizeofResource(instance, found), toolbar)) return std::vector<unsigned>();
  return toolbar.commands;
}

UINT MenuItemState(HMENU bar, int menu, UINT item) {
  HMENU sub = GetSubMenu(bar, menu);
  if (sub == nullptr) return MF_GRAYED;
  const UINT state = GetMenuState(sub, item, MF_BYPOSITION);
  if (state == static_cast<UINT>(-1)) return MF_GRAYED;
  return state & (MF_GRAYED | MF_DISABLED);
}

dock::Rect ToDock(const RECT& r) {
  return dock::Rect{r.left, r.top, r.right, r.bottom};
}

RECT FromDock(const dock::Rect& r) {
  RECT out = {r.left, r.top, r.right, r.bottom};
  return out;
}

}  // namespace

CMainDlg::CMainDlg(CConfigStore& config, CConnectManage& manager, CMessageStore* messages)
    : CDialogBase(IDD_MAIN),
      m_config(config),
      m_manager(manager),
      m_messageClient(new CMessageClient(messages)),
      m_loginPage(config, manager),
      m_shortcutPage(IDD_SHORTCUT_PAGE),
      m_contactPage(IDD_CONTACT_PAGE) {}

CMainDlg::~CMainDlg() {
  if (m_hwnd != nullptr && !IsModal()) DestroyWindow(m_hwnd);
}

void CMainDlg::ReplaceMessageClient(std::unique_ptr<CMessageClient> client) {
  if (client) m_messageClient = std::move(client);
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

dock::Screen CMainDlg::ScreenMetrics() const {
  return dock::Screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), m_taskbarHeight,
                      m_edgeHeight, m_frameWidth};
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

void CMainDlg::SetUpWindowStyle() {
  m_bigIcon.Reset(LoadIconSized(IDR_MAINFRAME, GetSystemMetrics(SM_CXICON)));
  m_smallIcon.Reset(LoadIconSized(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON)));
  SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.Get()));
  SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
  SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  LONG_PTR style = GetWindowLongPtrA(m_hwnd, GWL_EXSTYLE);
  style = (style & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
  SetWindowLongPtrA(m_hwnd, GWL_EXSTYLE, style);
}

void CMainDlg::BuildTabs() {
  HWND tabs = Item(IDC_TABS);
  m_tabImages.Reset(LoadStrip(IDB_TABS, 32, 32));
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

void CMainDlg::PlaceAtRightEdge() {
  RECT r;
  GetWindowRect(m_hwnd, &r);
  const int width = r.right - r.left;
  SetWindowPos(m_hwnd, nullptr, GetSystemMetrics(SM_CXSCREEN) - 20 - width, r.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::CreateToolbar() {
  m_toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                  CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                              0, 0, 0, 0, m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolbarId)),
                              GetModuleHandleA(nullptr), nullptr);
  if (m_toolbar == nullptr) {
    MessageBoxA(m_hwnd, "创建工具栏失败!", app::kNotice, MB_OK | MB_ICONINFORMATION);
    return;
  }
  SendMessageA(m_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  const std::vector<unsigned> commands = LoadToolbarCommands(IDR_TOOLBAR);
  m_toolbarImages.Reset(LoadStrip(IDR_TOOLBAR, 48, 48));
  m_toolbarDisabledImages.Reset(LoadStrip(IDB_TOOLBAR_DISABLED, 48, 48));
  if (commands.empty() || !m_toolbarImages.Valid()) {
    MessageBoxA(m_hwnd, "加载工具栏资源失败!", app::kNotice, MB_OK | MB_ICONINFORMATION);
  } else {
    SendMessageA(m_toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(48, 48));
    SendMessageA(m_toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_toolbarImages.Get()));
    SendMessageA(m_toolbar, TB_SETDISABLEDIMAGELIST, 0,
                 reinterpret_cast<LPARAM>(m_toolbarDisabledImages.Get()));
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (unsigned command : commands) {
      TBBUTTON button;
      std::memset(&button, 0, sizeof(button));
      if (command == 0) {
        button.fsStyle = BTNS_SEP;
      } else {
        button.iBitmap = image++;
        button.idCommand = command;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON;
        button.iString = -1;
      }
      buttons.push_back(button);
    }
    SendMessageA(m_toolbar, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  }
  SendMessageA(m_toolbar, TB_ENABLEBUTTON, ID_DISCONNECT, MAKELPARAM(FALSE, 0));

  // The toolbar takes the top of the client area, left of the caption buttons.
  RECT client;
  GetClientRect(m_hwnd, &client);
  RECT minimize;
  GetWindowRect(Item(IDC_CAPTION_MINIMIZE), &minimize);
  MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&minimize), 2);
  const DWORD size = static_cast<DWORD>(SendMessageA(m_toolbar, TB_GETBUTTONSIZE, 0, 0));
  SetWindowPos(m_toolbar, nullptr, 2, 2, minimize.left - 4, HIWORD(size) + 2, SWP_NOZORDER | SWP_NOACTIVATE);
  LinkwellRegisterHost(m_hwnd, m_toolbar);
}

void CMainDlg::ColourMenus() {
  HMENU bar = GetMenu(m_hwnd);
  if (bar == nullptr) return;
  m_menuBrush.Reset(CreateSolidBrush(kMenuColour));
  MENUINFO info;
  std::memset(&info, 0, sizeof(info));
  info.cbSize = sizeof(info);
  info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
  info.hbrBack = static_cast<HBRUSH>(m_menuBrush.Get());
  SetMenuInfo(bar, &info);
  EnableMenuItem(GetSubMenu(bar, 1), 2, MF_BYPOSITION | MF_GRAYED);
  EnableMenuItem(GetSubMenu(bar, 0), 2, MF_BYPOSITION | MF_GRAYED);
  DrawMenuBar(m_hwnd);
}

void CMainDlg::AddTrayIcon() {
  m_trayOfflineIcon.Reset(LoadIconSized(IDI_TRAY, GetSystemMetrics(SM_CXSMICON)));
  m_trayOnlineIcon.Reset(LoadIconSized(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON)));
  m_tray.Add(m_hwnd, app::kTrayIconId, app::kTrayCallbackMessage, m_trayOfflineIcon.Get(), app::kTitle);
}

void CMainDlg::StartSupervision() {
  m_supervisionCode = m_loginPage.StartSupervision(m_hwnd, m_toolbar);
}

// The network-wait thread of the update check starts here; its handle goes to m_networkWaitThread.
void CMainDlg::StartNetworkWait() {}

// Only a started client has the socket the notices go through. Without it the client works on
// without notices, after the user has been told why once.
void CMainDlg::HandOverMessageClient() {
  try {
    m_messageClient->StartReceiver(m_hwnd);
    m_loginPage.SetMessageClient(m_messageClient.get());
  } catch (const Exception& failure) {
    MessageBoxA(m_hwnd, failure.GetText(), app::kNotice, MB_OK | MB_ICONERROR);
  }
}

void CMainDlg::ConnectAutomatically() {
  if (m_config.GetAutoconnect() != 0 && m_loginPage.HasCredentials() != 0) m_loginPage.OnConnect();
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

void CMainDlg::ShowLocalAdvertisement() {
  if (!m_adView.IsCreated() && !m_adView.Create(Item(IDC_AD_VIEW))) return;
  const std::string page = ProgramFolder() + app::kLocalAdPage;
  m_adView.Navigate(page.c_str());
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
  LinkwellRegisterHost(nullptr, nullptr);
  if (m_tabTips != nullptr) DestroyWindow(m_tabTips);
  m_tabTips = nullptr;
  m_keyFilter.Remove();
}

void CMainDlg::StopNetworkWait() {
  if (m_networkWaitThread.Valid()) WaitForSingleObject(m_networkWaitThread.Get(), INFINITE);
  m_networkWaitThread.Reset();
}

void CMainDlg::StopSupervision() {
  m_loginPage.StopSupervision();
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
    default:
      return false;
  }
}

// The tool dialogs open here, each on the stack for one command.
void CMainDlg::OpenSettings() {}
void CMainDlg::OpenStatistics() {}
void CMainDlg::OpenUserManagement() {}
void CMainDlg::OpenDiagnosis() {}
void CMainDlg::OpenRecordQuery() {}
// The updater ("Renewer.exe") is started here.
void CMainDlg::StartUpdater() {}
// The update check that follows the first dial connection runs here.
void CMainDlg::OnNetworkReady() {}
// The timed shutdown is checked here once a second.
void CMainDlg::OnShutdownTimer() {}

void CMainDlg::OpenHelp() {
  const std::string path = ProgramFolder() + app::kHelpFile;
  HWND viewer = nullptr;
  // A missing file never reaches the viewer: some viewers report it with a box of their own.
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (!m_helpViewer.Valid()) m_helpViewer.Reset(LoadLibraryA("hhctrl.ocx"));
    typedef HWND(WINAPI * HtmlHelpFunction)(HWND, LPCSTR, UINT, DWORD_PTR);
    HtmlHelpFunction htmlHelp =
        m_helpViewer.Valid() ? reinterpret_cast<HtmlHelpFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(m_helpViewer.Get(), "HtmlHelpA")))
                             : nullptr;
    if (htmlHelp != nullptr) viewer = htmlHelp(m_hwnd, path.c_str(), kHtmlHelpDisplayTopic, 0);
  }
  if (viewer == nullptr) {
    MessageBoxA(m_hwnd, "远岸宽带拨号客户端帮助文件没找到！请确定帮助文件是否存在！", app::kNotice,
                MB_OK | MB_ICONERROR);
  }
}

void CMainDlg::ShowAbout() {
  CAboutDlg about;
  about.DoModal(m_hwnd);
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

HMENU CMainDlg::CreateTrayMenu(HMENU* owner) const {
  if (owner != nullptr) *owner = nullptr;
  HMENU loaded = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
  if (loaded == nullptr) return nullptr;
  HMENU menu = GetSubMenu(loaded, 0);
  if (menu == nullptr) {
    DestroyMenu(loaded);
    return nullptr;
  }
  HMENU bar = GetMenu(m_hwnd);
  EnableMenuItem(menu, 2, MF_BYPOSITION | MenuItemState(bar, 0, 0));
  EnableMenuItem(menu, 3, MF_BYPOSITION | MenuItemState(bar, 0, 2));
  EnableMenuItem(menu, 4, MF_BYPOSITION | MenuItemState(bar, 1, 2));
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
  return ::TrayTipText(true, ConnectionIpText(), LinkSpeedText());
}

std::string CMainDlg::LinkSpeedText() const {
  return ::LinkSpeedText();
}

std::string CMainDlg::ConnectionIpText() const {
  return DefaultEntryIpText();
}

void CMainDlg::OnTrayCallback(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
      m_slideFinished = false;
      m_slideHiding = false;
      SetTimer(m_hwnd, kSlideTimer, kSlidePeriod, nullptr);
      SetForegroundWindow(m_hwnd);
      ShowWindow(m_hwnd, SW_RESTORE);
      break;
    case WM_RBUTTONDOWN:
      ShowTrayMenu();
      break;
    case WM_MOUSEMOVE:
      m_tray.SetTip(TrayTipText().c_str());
      break;
    default:
      break;
  }
}

void CMainDlg::OnDialConnected() {
  m_connected = true;
  if (m_adView.IsCreated()) {
    const std::string page = std::string(app::kProviderWebServer) + app::kOnlineAdPath;
    m_adView.Navigate(page.c_str());
  }
  m_tray.ShowBalloon("远岸宽带拨号客户端已连接", LinkSpeedText().c_str(), 100);
  m_tray.SetIcon(m_trayOnlineIcon.Get());
  PostMessageA(m_hwnd, WM_KILLFOCUS, 0, 0);
  // The provider learns the subscriber is still there while the connection is up.
  if (m_messageClient->IsReceiving()) m_messageClient->StartKeepAlive();
}

void CMainDlg::OnDialDisconnected() {
  m_connected = false;
  m_tray.ShowBalloon("", "远岸宽带拨号客户端连接已断开", 100);
  m_tray.SetIcon(m_trayOfflineIcon.Get());
  m_messageClient->StopKeepAlive();
}

void CMainDlg::OnMoving(RECT* proposed) {
  POINT cursor;
  GetCursorPos(&cursor);
  const dock::Screen screen = ScreenMetrics();
  const int edge = dock::EdgeForCursor(cursor.x, cursor.y, screen);
  if (dock::SavesHeight(edge, m_dockedEdge)) m_savedHeight = proposed->bottom - proposed->top;
  if (edge == dock::kNone) KillTimer(m_hwnd, kHoverTimer);
  *proposed = FromDock(dock::PlaceForEdge(edge, m_dockedEdge, m_savedHeight, ToDock(*proposed), screen));
  m_dockedEdge = edge;
}

void CMainDlg::OnHitTest() {
  if (m_dockedEdge == dock::kNone || m_hoverShown) return;
  POINT cursor;
  GetCursorPos(&cursor);
  if (cursor.x >= GetSystemMetrics(SM_CXSCREEN) + 10) return;
  SetTimer(m_hwnd, kHoverTimer, kHoverPeriod, nullptr);
  m_hoverShown = true;
  StartSlide(false);
}

void CMainDlg::StartSlide(bool hiding) {
  m_slideFinished = false;
  m_slideHiding = hiding;
  SetTimer(m_hwnd, kSlideTimer, kSlidePeriod, nullptr);
}

void CMainDlg::OnHoverTimer() {
  POINT cursor;
  GetCursorPos(&cursor);
  RECT r;
  GetWindowRect(m_hwnd, &r);
  if (PtInRect(&r, cursor)) return;
  KillTimer(m_hwnd, kHoverTimer);
  m_hoverShown = false;
  StartSlide(true);
}

void CMainDlg::OnSlideTimer() {
  if (m_slideFinished) {
    KillTimer(m_hwnd, kSlideTimer);
    return;
  }
  RECT r;
  GetWindowRect(m_hwnd, &r);
  dock::Rect window = ToDock(r);
  m_slideFinished = dock::SlideStep(m_dockedEdge, m_slideHiding, window, ScreenMetrics());
  SetWindowPos(m_hwnd, HWND_TOPMOST, window.left, window.top, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CMainDlg::OnMinimized() {
  ShowWindow(m_hwnd, SW_HIDE);
  KillTimer(m_hwnd, kHoverTimer);
  KillTimer(m_hwnd, kSlideTimer);
  m_hoverShown = false;
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
  // The toolbar's tooltips ask for their text by command: the string with the command's number.
  if (header->code == TTN_GETDISPINFOA) {
    NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    info->szText[0] = '\0';
    LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(header->idFrom), info->szText,
                sizeof(info->szText));
    info->lpszText = info->szText;
    result = 0;
    return true;
  }
  if (header->code == TTN_GETDISPINFOW) {
    NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    info->szText[0] = L'\0';
    LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(header->idFrom), info->szText,
                sizeof(info->szText) / sizeof(info->szText[0]));
    info->lpszText = info->szText;
    result = 0;
    return true;
  }
  return false;
}

void CMainDlg::PaintBackground(HDC dc) {
  RECT client;
  GetClientRect(m_hwnd, &client);
  if (!m_background.Valid()) {
    FillRect(dc, &client, skin::BodyBrush());
    return;
  }
  BITMAP info;
  GetObjectA(m_background.Get(), sizeof(info), &info);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, m_background.Get());
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

void CMainDlg::DrawCaptionButton(const DRAWITEMSTRUCT* item) {
  HDC dc = item->hDC;
  RECT r = item->rcItem;
  const bool pressed = (item->itemState & ODS_SELECTED) != 0;
  ui::CGdiObject face(CreateSolidBrush(pressed ? RGB(20, 80, 150) : skin::kCaptionColour));
  FillRect(dc, &r, static_cast<HBRUSH>(face.Get()));
  ui::CGdiObject pen(CreatePen(PS_SOLID, 2, RGB(255, 255, 255)));
  HGDIOBJ oldPen = SelectObject(dc, pen.Get());
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  if (item->CtlID == IDC_CAPTION_CLOSE) {
    MoveToEx(dc, r.left + w / 4, r.top + h / 4, nullptr);
    LineTo(dc, r.right - w / 4, r.bottom - h / 4);
    MoveToEx(dc, r.right - w / 4, r.top + h / 4, nullptr);
    LineTo(dc, r.left + w / 4, r.bottom - h / 4);
  } else {
    MoveToEx(dc, r.left + w / 4, r.bottom - h / 3, nullptr);
    LineTo(dc, r.right - w / 4, r.bottom - h / 3);
  }
  SelectObject(dc, oldPen);
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
    case app::kNetworkReadyMessage:
      OnNetworkReady();
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
    case WM_DESTROY:
      OnDestroy();
      return false;
    default:
      return false;
  }
}
