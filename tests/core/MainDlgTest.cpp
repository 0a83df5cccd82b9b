// The main window in this process: what cannot be read across processes under Wine (menus, the
// tray record, tooltips) and the docking sequence driven with the cursor and synthetic moves.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/core/MainDlg.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "dialengine/ConnectManage.h"
#include "tests/core/MainDlgProbe.h"
#include "tests/support/Driver.h"

namespace {

std::string TempConfigPath() {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof(folder), folder);
  char path[MAX_PATH] = {};
  snprintf(path, sizeof(path), "%smain_dlg_tests_%lu.xml", folder, GetCurrentProcessId());
  return path;
}

RECT WindowRect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

bool IsGrayed(HMENU menu, UINT position) {
  return (GetMenuState(menu, position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) != 0;
}

class MainDlgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES;
    InitCommonControlsEx(&controls);
  }

  void SetUp() override {
    DeleteFileA(TempConfigPath().c_str());
    m_config = new CConfigStore(TempConfigPath());
    // A manager of its own for each window: the engine keeps the first page that registers for
    // the entry names, and an earlier test's page is gone.
    m_manager = new CConnectManage();
    m_connection = new CConnection(*m_config, *m_manager);
    m_dialog = new CMainDlg(*m_config, *m_connection);
    m_window = m_dialog->Create(nullptr);
    ASSERT_NE(m_window, nullptr);
    ShowWindow(m_window, SW_SHOW);
    driver::PumpMessages();
  }

  void TearDown() override {
    delete m_dialog;
    delete m_connection;
    delete m_manager;
    delete m_config;
    DeleteFileA(TempConfigPath().c_str());
    driver::PumpMessages();
  }

  // The engine's writes: toolbar buttons by command, menu items by position.
  void EngineShowsConnected() {
    HMENU bar = GetMenu(m_window);
    SendMessageA(CMainDlgProbe(*m_dialog).Toolbar(), TB_ENABLEBUTTON, ID_DISCONNECT, MAKELPARAM(TRUE, 0));
    SendMessageA(CMainDlgProbe(*m_dialog).Toolbar(), TB_ENABLEBUTTON, ID_CONNECT, MAKELPARAM(FALSE, 0));
    EnableMenuItem(GetSubMenu(bar, 0), 0, MF_BYPOSITION | MF_GRAYED);
    EnableMenuItem(GetSubMenu(bar, 0), 2, MF_BYPOSITION | MF_ENABLED);
    EnableMenuItem(GetSubMenu(bar, 1), 2, MF_BYPOSITION | MF_ENABLED);
    SendMessageA(m_window, app::kDialConnectedMessage, 0, 0);
  }

  void EngineShowsDisconnected() {
    HMENU bar = GetMenu(m_window);
    SendMessageA(m_window, app::kDialDisconnectedMessage, 0, 0);
    SendMessageA(CMainDlgProbe(*m_dialog).Toolbar(), TB_ENABLEBUTTON, ID_DISCONNECT, MAKELPARAM(FALSE, 0));
    SendMessageA(CMainDlgProbe(*m_dialog).Toolbar(), TB_ENABLEBUTTON, ID_CONNECT, MAKELPARAM(TRUE, 0));
    EnableMenuItem(GetSubMenu(bar, 0), 0, MF_BYPOSITION | MF_ENABLED);
    EnableMenuItem(GetSubMenu(bar, 0), 2, MF_BYPOSITION | MF_GRAYED);
    EnableMenuItem(GetSubMenu(bar, 1), 2, MF_BYPOSITION | MF_GRAYED);
  }

  // Drags the window: the cursor at (x, y), the window's proposed rectangle at its left-top
  // corner, then the move that the system's drag loop makes with the answer.
  RECT DragTo(long x, long y, long left, long top) {
    SetCursorPos(x, y);
    driver::PumpMessages();
    RECT r = WindowRect(m_window);
    OffsetRect(&r, left - r.left, top - r.top);
    SendMessageA(m_window, WM_MOVING, WMSZ_TOP, reinterpret_cast<LPARAM>(&r));
    SetWindowPos(m_window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    driver::PumpMessages();
    return r;
  }

  CConfigStore* m_config = nullptr;
  CConnectManage* m_manager = nullptr;
  CConnection* m_connection = nullptr;
  CMainDlg* m_dialog = nullptr;
  HWND m_window = nullptr;
};

TEST_F(MainDlgTest, StartsAsATopmostToolWindowAtTheRightEdgeMarkedAsTheInstance) {
  EXPECT_EQ(GetPropA(m_window, app::kTitle), reinterpret_cast<HANDLE>(1));
  const LONG_PTR exStyle = GetWindowLongPtrA(m_window, GWL_EXSTYLE);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
  EXPECT_FALSE(GetWindowLongPtrA(m_window, GWL_STYLE) & WS_SYSMENU);
  EXPECT_EQ(WindowRect(m_window).right, GetSystemMetrics(SM_CXSCREEN) - 20);
  EXPECT_NE(SendMessageA(m_window, WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(MainDlgTest, MenuBarIsColouredAndStatisticsAndLogoutStartDisabled) {
  HMENU bar = GetMenu(m_window);
  ASSERT_NE(bar, nullptr);
  MENUINFO info;
  std::memset(&info, 0, sizeof(info));
  info.cbSize = sizeof(info);
  info.fMask = MIM_BACKGROUND;
  ASSERT_TRUE(GetMenuInfo(GetSubMenu(bar, 1), &info));
  LOGBRUSH brush;
  ASSERT_EQ(GetObjectA(info.hbrBack, sizeof(brush), &brush), static_cast<int>(sizeof(brush)));
  EXPECT_EQ(brush.lbColor, RGB(128, 245, 254));

  EXPECT_FALSE(IsGrayed(GetSubMenu(bar, 0), 0));
  EXPECT_TRUE(IsGrayed(GetSubMenu(bar, 0), 2));
  EXPECT_TRUE(IsGrayed(GetSubMenu(bar, 1), 2));
  EXPECT_EQ(GetMenuItemID(GetSubMenu(bar, 0), 2), static_cast<UINT>(ID_MENU_DISCONNECT));
  EXPECT_EQ(GetMenuItemID(GetSubMenu(bar, 1), 2), static_cast<UINT>(ID_STATISTICS));
}

TEST_F(MainDlgTest, ToolbarTooltipsComeFromTheStringTable) {
  struct Case {
    int command;
    const char* tip;
  };
  const Case cases[] = {{ID_CONNECT, "登录连接"},
                        {ID_DISCONNECT, "断开连接"},
                        {ID_SETTINGS, "客户端设置"},
                        {ID_UPDATE, "软件升级"}};
  ASSERT_NE(CMainDlgProbe(*m_dialog).Toolbar(), nullptr);
  for (const Case& c : cases) {
    EXPECT_NE(SendMessageA(CMainDlgProbe(*m_dialog).Toolbar(), TB_COMMANDTOINDEX, c.command, 0), -1)
        << c.command;
    NMTTDISPINFOA info;
    std::memset(&info, 0, sizeof(info));
    info.hdr.hwndFrom =
        reinterpret_cast<HWND>(SendMessageA(CMainDlgProbe(*m_dialog).Toolbar(), TB_GETTOOLTIPS, 0, 0));
    info.hdr.idFrom = c.command;
    info.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(m_window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(info.lpszText, nullptr);
    EXPECT_STREQ(info.lpszText, c.tip) << c.command;
  }
  EXPECT_TRUE(SendMessageA(CMainDlgProbe(*m_dialog).Toolbar(), TB_ISBUTTONENABLED, ID_CONNECT, 0));
  EXPECT_FALSE(SendMessageA(CMainDlgProbe(*m_dialog).Toolbar(), TB_ISBUTTONENABLED, ID_DISCONNECT, 0));
}

TEST_F(MainDlgTest, TabsCarryTooltipsAndShowOnePageAtATime) {
  const char* const tips[] = {"用户登录", "辅助功能", "推荐服务", "宽带服务"};
  HWND tips_window = CMainDlgProbe(*m_dialog).TabTooltips();
  ASSERT_NE(tips_window, nullptr);
  ASSERT_EQ(SendMessageA(tips_window, TTM_GETTOOLCOUNT, 0, 0), 4);
  for (int i = 0; i < 4; ++i) {
    char text[80] = {};
    TOOLINFOA tool;
    std::memset(&tool, 0, sizeof(tool));
    tool.cbSize = sizeof(tool);
    tool.lpszText = text;
    ASSERT_TRUE(SendMessageA(tips_window, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_STREQ(text, tips[tool.uId]) << i;
  }

  HWND tabs = GetDlgItem(m_window, IDC_TABS);
  EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
  for (int selected = 3; selected >= 0; --selected) {
    SendMessageA(tabs, TCM_SETCURSEL, selected, 0);
    NMHDR header = {tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(m_window, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&header));
    for (int i = 0; i < 4; ++i) {
      ASSERT_NE(CMainDlgProbe(*m_dialog).Page(i), nullptr);
      EXPECT_EQ(IsWindowVisible(CMainDlgProbe(*m_dialog).Page(i)) != FALSE, i == selected)
          << "tab " << selected << " page " << i;
    }
  }
  // The login page sits right of the tab strip, inside the tab control.
  RECT page = WindowRect(CMainDlgProbe(*m_dialog).Page(0));
  RECT tab = WindowRect(tabs);
  EXPECT_EQ(GetParent(CMainDlgProbe(*m_dialog).Page(0)), tabs);
  EXPECT_GE(page.left - tab.left, 42);
}

TEST_F(MainDlgTest, TrayMenuMirrorsTheMainMenuConnectedAndNot) {
  struct Item {
    UINT position;
    UINT id;
  };
  const Item connect = {2, ID_TRAY_CONNECT}, disconnect = {3, ID_TRAY_DISCONNECT},
             statistics = {4, ID_TRAY_STATISTICS};
  HMENU owner = nullptr;
  HMENU menu = CMainDlgProbe(*m_dialog).CreateTrayMenu(&owner);
  ASSERT_NE(menu, nullptr);
  for (const Item& item : {connect, disconnect, statistics})
    EXPECT_EQ(GetMenuItemID(menu, item.position), item.id);
  EXPECT_FALSE(IsGrayed(menu, connect.position));
  EXPECT_TRUE(IsGrayed(menu, disconnect.position));
  EXPECT_TRUE(IsGrayed(menu, statistics.position));
  DestroyMenu(owner);

  EngineShowsConnected();
  menu = CMainDlgProbe(*m_dialog).CreateTrayMenu(&owner);
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(IsGrayed(menu, connect.position));
  EXPECT_FALSE(IsGrayed(menu, disconnect.position));
  EXPECT_FALSE(IsGrayed(menu, statistics.position));
  DestroyMenu(owner);

  EngineShowsDisconnected();
  menu = CMainDlgProbe(*m_dialog).CreateTrayMenu(&owner);
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(IsGrayed(menu, connect.position));
  EXPECT_TRUE(IsGrayed(menu, disconnect.position));
  EXPECT_TRUE(IsGrayed(menu, statistics.position));
  DestroyMenu(owner);
}

TEST_F(MainDlgTest, DialMessagesSetTheFlagBalloonIconAndTooltip) {
  const NOTIFYICONDATAA& tray = CMainDlgProbe(*m_dialog).Tray().Data();
  EXPECT_EQ(tray.uID, 250u);
  EXPECT_EQ(tray.uCallbackMessage, 2024u);
  EXPECT_STREQ(tray.szTip, "远岸宽带拨号客户端");
  const HICON offline = tray.hIcon;
  EXPECT_EQ(CMainDlgProbe(*m_dialog).TrayTipText(), "远岸宽带拨号客户端\r\n未通过本软件拨号");

  EngineShowsConnected();
  EXPECT_TRUE(CMainDlgProbe(*m_dialog).IsConnected());
  EXPECT_STREQ(tray.szInfoTitle, "远岸宽带拨号客户端已连接");
  EXPECT_EQ(tray.uTimeout, 100u);
  EXPECT_NE(tray.hIcon, offline);
  EXPECT_EQ(CMainDlgProbe(*m_dialog).TrayTipText().rfind("远岸宽带拨号客户端\r\nIP地址：", 0), 0u);
  EXPECT_NE(CMainDlgProbe(*m_dialog).TrayTipText().find("\r\n速度："), std::string::npos);

  EngineShowsDisconnected();
  EXPECT_FALSE(CMainDlgProbe(*m_dialog).IsConnected());
  EXPECT_STREQ(tray.szInfoTitle, "");
  EXPECT_STREQ(tray.szInfo, "远岸宽带拨号客户端连接已断开");
  EXPECT_EQ(tray.hIcon, offline);
}

TEST_F(MainDlgTest, CloseAndMinimiseHideTheWindow) {
  SendMessageA(m_window, WM_CLOSE, 0, 0);
  HWND window = m_window;
  EXPECT_TRUE(driver::WaitFor([window] { return !IsWindowVisible(window); }, 3000));
  EXPECT_TRUE(IsWindow(m_window));

  SendMessageA(m_window, WM_COMMAND, ID_TRAY_SHOW, 0);
  EXPECT_TRUE(IsWindowVisible(m_window));
  EXPECT_FALSE(IsIconic(m_window));

  SendMessageA(m_window, WM_COMMAND, MAKEWPARAM(IDC_CAPTION_MINIMIZE, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(m_window, IDC_CAPTION_MINIMIZE)));
  EXPECT_TRUE(driver::WaitFor([window] { return !IsWindowVisible(window); }, 3000));
  EXPECT_TRUE(IsWindow(m_window));

  // A double click on the tray icon brings it back.
  SendMessageA(m_window, app::kTrayCallbackMessage, app::kTrayIconId, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(driver::WaitFor([window] { return IsWindowVisible(window) != FALSE; }, 3000));
}

TEST_F(MainDlgTest, ExitDestroysTheWindowAndRemovesTheInstanceMark) {
  SendMessageA(m_window, WM_COMMAND, ID_TRAY_EXIT, 0);
  driver::PumpMessages();
  EXPECT_FALSE(IsWindow(m_window));
  EXPECT_FALSE(CMainDlgProbe(*m_dialog).Tray().IsAdded());
}

TEST_F(MainDlgTest, DockedAtTheLeftSlidesOutWhenTheMouseLeavesAndBackWhenItReturns) {
  const long frame = GetSystemMetrics(SM_CXFRAME);
  const long height = WindowRect(m_window).bottom - WindowRect(m_window).top;
  const long width = WindowRect(m_window).right - WindowRect(m_window).left;

  RECT docked = DragTo(5, 300, 3, 40);
  EXPECT_EQ(CMainDlgProbe(*m_dialog).DockedEdge(), 3);
  EXPECT_EQ(docked.left, 0);
  EXPECT_EQ(docked.bottom - docked.top, height);
  EXPECT_EQ(CMainDlgProbe(*m_dialog).SavedHeight(), height);

  // The mouse touches the window, then leaves it: the window slides out to a frame-wide strip.
  SetCursorPos(width / 2, 300);
  SendMessageA(m_window, WM_NCHITTEST, 0, MAKELPARAM(width / 2, 300));
  EXPECT_TRUE(CMainDlgProbe(*m_dialog).IsHoverShown());
  SetCursorPos(width + 200, 300);
  const HWND window = m_window;
  const long hiddenLeft = frame - width;
  EXPECT_TRUE(driver::WaitFor([&] { return WindowRect(window).left == hiddenLeft; }, 5000))
      << "left at " << WindowRect(m_window).left;
  EXPECT_FALSE(CMainDlgProbe(*m_dialog).IsHoverShown());
  EXPECT_TRUE(IsWindowVisible(m_window));

  // Touching the strip slides it back in.
  SetCursorPos(1, 300);
  SendMessageA(m_window, WM_NCHITTEST, 0, MAKELPARAM(1, 300));
  EXPECT_TRUE(driver::WaitFor([&] { return WindowRect(window).left == 0; }, 5000))
      << "left at " << WindowRect(m_window).left;

  // Dragged away from the edge it gets the height it had before docking.
  SetWindowPos(m_window, nullptr, 0, 0, width, height / 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT undocked = DragTo(600, 300, 400, 100);
  EXPECT_EQ(CMainDlgProbe(*m_dialog).DockedEdge(), 0);
  EXPECT_EQ(undocked.bottom - undocked.top, height);
  EXPECT_EQ(WindowRect(m_window).bottom - WindowRect(m_window).top, height);
}

TEST_F(MainDlgTest, DraggedNearTheTopDocksAtMinusTheEdgeHeight) {
  RECT r = DragTo(600, 10, 400, 5);
  EXPECT_EQ(CMainDlgProbe(*m_dialog).DockedEdge(), 1);
  EXPECT_EQ(r.top, -GetSystemMetrics(SM_CYEDGE));
  r = DragTo(600, 300, 400, 100);
  EXPECT_EQ(CMainDlgProbe(*m_dialog).DockedEdge(), 0);
  EXPECT_EQ(r.top, 100);
}

}  // namespace
