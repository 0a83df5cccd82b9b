// The login page and the connection supervision inside this process: what a black-box test cannot
// read across processes under Wine (menus, the tray tooltip, the page's own state) and what it
// cannot make fail (the start of supervision).
#include "tests/testbed/TestbedServer.h"

#include <commctrl.h>
#include <iphlpapi.h>
#include <ras.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/core/LoginPage.h"
#include "client/core/MainDlg.h"
#include "client/core/Supervisor.h"
#include "client/messaging/MessageClient.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "common/ui/Controls.h"
#include "dialengine/ConnectManage.h"
#include "tests/core/MainDlgProbe.h"
#include "tests/support/Driver.h"

namespace {

const char kEntry[] = "pppoe_vorlan_default_entry";

std::string TempConfigPath() {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof(folder), folder);
  char path[MAX_PATH] = {};
  snprintf(path, sizeof(path), "%ssupervision_dlg_%lu.xml", folder, GetCurrentProcessId());
  return path;
}

bool IsGrayed(HWND window, int menu, UINT item) {
  return (GetMenuState(GetSubMenu(GetMenu(window), menu), item, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) !=
         0;
}

// The main window on a configuration of its own, prepared by the test.
class Window {
 public:
  explicit Window(const std::function<void(CConfigStore&)>& edit = nullptr) {
    DeleteFileA(TempConfigPath().c_str());
    config = new CConfigStore(TempConfigPath());
    if (edit) edit(*config);
    manager = new CConnectManage();
    connection = new CConnection(*config, *manager);
    dialog = new CMainDlg(*config, *connection);
    window = dialog->Create(nullptr);
    if (window != nullptr) ShowWindow(window, SW_SHOW);
    driver::WaitFor([] { return true; }, 0);
  }
  ~Window() {
    delete dialog;
    delete connection;
    delete manager;
    delete config;
    DeleteFileA(TempConfigPath().c_str());
  }
  HWND Page() const { return CMainDlgProbe(*dialog).Page(0); }
  HWND PageItem(int id) const { return GetDlgItem(Page(), id); }
  std::string Text(int id) const { return ui::GetText(GetDlgItem(window, id)); }
  bool ButtonEnabled(int command) const {
    return SendMessageA(CMainDlgProbe(*dialog).Toolbar(), TB_ISBUTTONENABLED, command, 0) != 0;
  }

  CConfigStore* config;
  CConnectManage* manager;
  CConnection* connection;
  CMainDlg* dialog;
  HWND window;
};

class SupervisionDlgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES;
    InitCommonControlsEx(&controls);
  }
  void TearDown() override { SupervisorCalls() = RealSupervisorSystem(); }
};

// Fails the n-th of the start's creations (events first, then threads).
int g_failAt = 0;
int g_creations = 0;

HANDLE FailingEvent() {
  return ++g_creations == g_failAt ? nullptr : RealSupervisorSystem().createEvent();
}

HANDLE FailingThread(LPTHREAD_START_ROUTINE start, void* param) {
  return ++g_creations == g_failAt ? nullptr : RealSupervisorSystem().createThread(start, param);
}

TEST_F(SupervisionDlgTest, StartReportsTheFirstThingThatCouldNotBeCreatedAndStillEndsCleanly) {
  const int expected[] = {0, -1, -2, -3, -4};
  for (int failAt = 0; failAt <= 4; ++failAt) {
    g_failAt = failAt;
    g_creations = 0;
    SupervisorCalls() = SupervisorSystem{FailingEvent, FailingThread};
    const DWORD start = GetTickCount();
    {
      Window w;
      ASSERT_NE(w.window, nullptr);
      EXPECT_EQ(CMainDlgProbe(*w.dialog).SupervisionStartCode(), expected[failAt]) << failAt;
      EXPECT_EQ(g_creations, failAt == 0 ? 4 : failAt) << "nothing is created after a failure";
    }
    EXPECT_LT(GetTickCount() - start, 20000u) << "the window ends without waiting on what never started";
  }
}

TEST_F(SupervisionDlgTest, LinkSpeedIsTheFirstInterfacesSpeedInWholeMegabits) {
  Window w;
  ULONG size = 0;
  GetIfTable(nullptr, &size, FALSE);
  std::vector<unsigned char> buffer(size + sizeof(MIB_IFTABLE));
  size = static_cast<ULONG>(buffer.size());
  MIB_IFTABLE* table = reinterpret_cast<MIB_IFTABLE*>(buffer.data());
  if (GetIfTable(table, &size, FALSE) != NO_ERROR || table->dwNumEntries == 0) {
    EXPECT_EQ(CMainDlgProbe(*w.dialog).LinkSpeedText(), "");
    return;
  }
  EXPECT_EQ(CMainDlgProbe(*w.dialog).LinkSpeedText(),
            std::to_string(table->table[0].dwSpeed / 1000000) + "Mbps");
}

TEST_F(SupervisionDlgTest, AConnectionFromElsewhereIsShownAndItsLossUndoneAndTheTooltipFollows) {
  testbed::CTestbedServer server;
  if (testbed::CTestbedServer::FindServerBinary().empty()) GTEST_SKIP() << "the access server is not built";
  std::string error;
  ASSERT_TRUE(server.Start("", &error)) << error;

  Window w;
  ASSERT_NE(w.window, nullptr);
  EXPECT_EQ(CMainDlgProbe(*w.dialog).TrayTipText(), "远岸宽带拨号客户端\r\n未通过本软件拨号");

  RASDIALPARAMSA params = {};
  params.dwSize = sizeof(params);
  lstrcpyA(params.szEntryName, kEntry);
  lstrcpyA(params.szUserName, "demo");
  lstrcpyA(params.szPassword, "demo1234");
  HRASCONN connection = nullptr;
  ASSERT_EQ(RasDialA(nullptr, nullptr, &params, 0, nullptr, &connection), 0u);
  ASSERT_EQ(server.Sessions().size(), 1u);
  const std::string address = server.Sessions()[0].address;

  ASSERT_TRUE(driver::WaitFor([&] { return CMainDlgProbe(*w.dialog).IsConnected(); }, 15000))
      << "no WM_DIAL_CONNECTED";
  ASSERT_TRUE(driver::WaitFor([&] { return w.Text(IDC_MESSAGE_TEXT) == "已经成功地建立了连接"; }, 5000));
  EXPECT_EQ(w.Text(IDC_IP_TEXT), address);
  EXPECT_TRUE(w.ButtonEnabled(ID_DISCONNECT));
  EXPECT_FALSE(w.ButtonEnabled(ID_CONNECT));
  EXPECT_TRUE(IsGrayed(w.window, 0, 0));
  EXPECT_FALSE(IsGrayed(w.window, 0, 2));
  EXPECT_FALSE(IsGrayed(w.window, 1, 2));
  EXPECT_EQ(
      CMainDlgProbe(*w.dialog).TrayTipText(),
      "远岸宽带拨号客户端\r\nIP地址：" + address + "\r\n速度：" + CMainDlgProbe(*w.dialog).LinkSpeedText());
  EXPECT_EQ(CMainDlgProbe(*w.dialog).ConnectionIpText(), address);

  ASSERT_TRUE(server.Ctl("DROP all"));
  ASSERT_TRUE(driver::WaitFor([&] { return !CMainDlgProbe(*w.dialog).IsConnected(); }, 15000))
      << "no WM_DIAL_DISCONNECTED";
  ASSERT_TRUE(
      driver::WaitFor([&] { return w.Text(IDC_MESSAGE_TEXT) == "欢迎使用远岸宽带拨号客户端"; }, 5000));
  EXPECT_FALSE(w.ButtonEnabled(ID_DISCONNECT));
  EXPECT_TRUE(w.ButtonEnabled(ID_CONNECT));
  EXPECT_FALSE(IsGrayed(w.window, 0, 0));
  EXPECT_TRUE(IsGrayed(w.window, 0, 2));
  EXPECT_TRUE(IsGrayed(w.window, 1, 2));
  EXPECT_EQ(CMainDlgProbe(*w.dialog).TrayTipText(), "远岸宽带拨号客户端\r\n未通过本软件拨号");
  EXPECT_EQ(CMainDlgProbe(*w.dialog).ConnectionIpText(), "");
  // Nothing redials with the default settings.
  driver::WaitFor([] { return false; }, 1500);
  EXPECT_TRUE(server.Sessions().empty());
}

// Answers, on a thread of its own, every message box this process shows within its life; keeps
// their texts.
class CMessageBoxAnswerer {
 public:
  CMessageBoxAnswerer() : m_thread(CreateThread(nullptr, 0, Main, this, 0, nullptr)) {}
  ~CMessageBoxAnswerer() {
    InterlockedExchange(&m_stop, 1);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
  }
  std::vector<std::string> Texts() {
    EnterCriticalSection(&m_lock);
    std::vector<std::string> texts = m_texts;
    LeaveCriticalSection(&m_lock);
    return texts;
  }
  CMessageBoxAnswerer(const CMessageBoxAnswerer&) = delete;
  CMessageBoxAnswerer& operator=(const CMessageBoxAnswerer&) = delete;

 private:
  struct Found {
    HWND box;
  };
  static BOOL CALLBACK FindBox(HWND window, LPARAM data) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[32] = {};
    GetClassNameA(window, name, sizeof(name));
    if (pid == GetCurrentProcessId() && lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, 0xFFFF) != nullptr) {
      reinterpret_cast<Found*>(data)->box = window;
      return FALSE;
    }
    return TRUE;
  }
  static DWORD WINAPI Main(LPVOID param) {
    CMessageBoxAnswerer* self = static_cast<CMessageBoxAnswerer*>(param);
    while (InterlockedCompareExchange(&self->m_stop, 0, 0) == 0) {
      Found found = {nullptr};
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&found));
      if (found.box != nullptr) {
        char text[512] = {}, caption[64] = {};
        GetDlgItemTextA(found.box, 0xFFFF, text, sizeof(text));
        GetWindowTextA(found.box, caption, sizeof(caption));
        EnterCriticalSection(&self->m_lock);
        self->m_texts.push_back(std::string(caption) + "|" + text);
        LeaveCriticalSection(&self->m_lock);
        PostMessageA(found.box, WM_COMMAND, IDOK, 0);
        while (IsWindow(found.box) && InterlockedCompareExchange(&self->m_stop, 0, 0) == 0) Sleep(20);
      }
      Sleep(20);
    }
    return 0;
  }

  struct Lock {
    Lock() { InitializeCriticalSection(&section); }
    ~Lock() { DeleteCriticalSection(&section); }
    CRITICAL_SECTION section;
  };
  Lock m_lockHolder;
  CRITICAL_SECTION& m_lock = m_lockHolder.section;
  std::vector<std::string> m_texts;
  volatile LONG m_stop = 0;
  HANDLE m_thread;
};

TEST_F(SupervisionDlgTest, AMessageClientThatCannotStartIsReportedOnceAndTheWindowGoesOnWithoutIt) {
  // A socket that holds a port makes the client's own bind on that port fail.
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  SOCKET holder = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&local), sizeof(local)), 0);
  int length = sizeof(local);
  ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&local), &length), 0);

  std::vector<std::string> texts;
  {
    CMessageBoxAnswerer answerer;
    DeleteFileA(TempConfigPath().c_str());
    CConfigStore config(TempConfigPath());
    CConnectManage manager;
    CConnection connection(config, manager);
    CMainDlg dialog(config, connection);
    dialog.ReplaceMessageClient(std::unique_ptr<CMessageClient>(
        new CMessageClient(nullptr, "127.0.0.1", 3360, ntohs(local.sin_port))));
    HWND window = dialog.Create(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(CMainDlgProbe(dialog).MessageClient().IsReceiving());
    driver::WaitFor([] { return false; }, 500);
    texts = answerer.Texts();
  }
  DeleteFileA(TempConfigPath().c_str());
  closesocket(holder);
  WSACleanup();
  EXPECT_EQ(texts, std::vector<std::string>{"提示|套节字帮定失败!"});
}

TEST_F(SupervisionDlgTest, LoginPageStartsWithTheLastUserAndItsStoredTextOnlyWhenRemembering) {
  struct Case {
    const char* name;
    bool remember;
    bool lastUser;
    const char* user;
    const char* password;
  };
  const Case cases[] = {
      {"last user, remembered", true, true, "carol", "cccccccccccccccc"},
      {"last user, not remembered", false, true, "carol", ""},
      {"no last user", true, false, "alice", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Window w([&](CConfigStore& config) {
      config.SaveUser(kEntry, "bbbbbbbbbbbbbbbb", "bob");
      config.SaveUser(kEntry, "cccccccccccccccc", "carol");
      config.SaveUser(kEntry, "aaaaaaaaaaaaaaaa", "alice");
      if (c.lastUser) config.SetLastUser("cccccccccccccccc", "carol");
      config.SetPasswordStatus(c.remember);
    });
    ASSERT_NE(w.window, nullptr);
    EXPECT_EQ(ui::GetText(w.PageItem(IDC_USER_NAME)), c.user);
    EXPECT_EQ(ui::GetText(w.PageItem(IDC_PASSWORD)), c.password);
    EXPECT_EQ(ui::IsChecked(w.PageItem(IDC_REMEMBER_PASSWORD)), c.remember);
    // The list holds the saved names, sorted.
    HWND users = w.PageItem(IDC_USER_NAME);
    ASSERT_EQ(ui::ComboCount(users), 3);
    EXPECT_EQ(ui::ComboItem(users, 0), "alice");
    EXPECT_EQ(ui::ComboItem(users, 1), "bob");
    EXPECT_EQ(ui::ComboItem(users, 2), "carol");
    EXPECT_EQ(CMainDlgProbe(*w.dialog).LoginPage().HasCredentials(), c.password[0] != '\0' ? 1 : 0);
  }
}

TEST_F(SupervisionDlgTest, LoginPageSelectionToggleDevicesAndCredentials) {
  Window w([](CConfigStore& config) {
    config.SaveUser(kEntry, "aaaaaaaaaaaaaaaa", "alice");
    config.SaveUser(kEntry, "", "bob");
  });
  ASSERT_NE(w.window, nullptr);
  CLoginPage& page = CMainDlgProbe(*w.dialog).LoginPage();
  HWND users = w.PageItem(IDC_USER_NAME);
  HWND password = w.PageItem(IDC_PASSWORD);
  auto select = [&](int index) {
    SendMessageA(users, CB_SETCURSEL, index, 0);
    SendMessageA(w.Page(), WM_COMMAND, MAKEWPARAM(IDC_USER_NAME, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(users));
  };

  // The engine reported the entry into the hidden device list, selected.
  HWND devices = w.PageItem(IDC_DEVICE_LIST);
  EXPECT_FALSE(IsWindowVisible(devices));
  ASSERT_EQ(ui::ComboCount(devices), 1);
  EXPECT_EQ(ui::ComboItem(devices, 0), kEntry);
  EXPECT_EQ(SendMessageA(devices, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(CLoginPageProbe::DeviceCount(page), 1);

  select(0);
  EXPECT_EQ(ui::GetText(password), "aaaaaaaaaaaaaaaa");
  select(1);
  EXPECT_EQ(ui::GetText(password), "");

  // The remember flag is written at once; without it a selection empties the password.
  SendMessageA(w.PageItem(IDC_REMEMBER_PASSWORD), BM_CLICK, 0, 0);
  EXPECT_FALSE(page.remember);
  EXPECT_FALSE(w.config->GetPasswordStatus());
  ui::SetText(password, "typed");
  select(0);
  EXPECT_EQ(ui::GetText(password), "");
  SendMessageA(w.PageItem(IDC_REMEMBER_PASSWORD), BM_CLICK, 0, 0);
  EXPECT_TRUE(page.remember);
  EXPECT_TRUE(w.config->GetPasswordStatus());

  struct Case {
    const char* user;
    const char* password;
    int expected;
  };
  for (const Case& c : {Case{"", "", 0}, Case{"u", "", 0}, Case{"", "p", 0}, Case{"u", "p", 1}}) {
    ui::SetText(users, c.user);
    ui::SetText(password, c.password);
    EXPECT_EQ(page.HasCredentials(), c.expected) << "'" << c.user << "' '" << c.password << "'";
  }
}

}  // namespace
