// The settings dialog of the running client, used as a person would, with what it changes checked
// where it lands: "config.xml", the machine's Run key in Wine's registry, and the dial entry's
// proxy in Wine's Internet settings. The client runs in a Wine virtual desktop, so that the
// screenshots show the dialog with its frame and caption.
//
// The registry values the tests change are put back as they were when each test ends.
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "tests/tools/SettingsWindow.h"

namespace {

using settings_test::LocalTimeIn;
using settings_test::SettingsWindow;
using settings_test::StoredForm;
using settings_test::SystemSetElement;
using settings_test::SystemSetLine;

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr int kMessageBoxTextId = 0xFFFF;

// One registry value as it was, put back by Restore.
class CSavedValue {
 public:
  CSavedValue(HKEY root, const char* key, const char* name) : m_root(root), m_key(key), m_name(name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExA(handle, name, nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
      m_data.resize(size);
      m_exists = RegQueryValueExA(handle, name, nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(handle);
  }

  void Restore() const {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(m_root, m_key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
    if (m_exists) {
      RegSetValueExA(handle, m_name.c_str(), 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    } else {
      RegDeleteValueA(handle, m_name.c_str());
    }
    RegCloseKey(handle);
  }

 private:
  HKEY m_root;
  std::string m_key, m_name;
  bool m_exists = false;
  DWORD m_type = 0;
  std::vector<BYTE> m_data;
};

// The string value, or "(none)" when it is missing; "(type N)" when it is not REG_SZ.
std::string RegistryText(HKEY root, const char* key, const char* name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return "(no key)";
  char data[1024] = {};
  DWORD size = sizeof(data) - 1, type = 0;
  const LONG result = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS) return "(none)";
  if (type != REG_SZ) return "(type " + std::to_string(type) + ")";
  return data;
}

void SetRegistryText(HKEY root, const char* key, const char* name, const std::string& text) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr), ERROR_SUCCESS);
  RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(handle);
}

// When the key was last written: any value set, even to what it was, moves it on.
FILETIME KeyWriteTime(HKEY root, const char* key) {
  FILETIME time = {0, 0};
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) == ERROR_SUCCESS) {
    RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, &time);
    RegCloseKey(handle);
  }
  return time;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The proxy options of the dial entry as WinINet gives them back.
struct EntryProxy {
  DWORD flags = 0;
  std::string server;
};

EntryProxy QueryEntryProxy() {
  INTERNET_PER_CONN_OPTIONA options[2];
  std::memset(options, 0, sizeof(options));
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  INTERNET_PER_CONN_OPTION_LISTA list;
  std::memset(&list, 0, sizeof(list));
  list.dwSize = sizeof(list);
  list.pszConnection = const_cast<char*>(e2e::kDefaultEntry);
  list.dwOptionCount = 2;
  list.pOptions = options;
  DWORD size = sizeof(list);
  EntryProxy proxy;
  if (!InternetQueryOptionA(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) return proxy;
  proxy.flags = options[0].Value.dwValue;
  if (options[1].Value.pszValue != nullptr) {
    proxy.server = options[1].Value.pszValue;
    GlobalFree(options[1].Value.pszValue);
  }
  return proxy;
}

// Puts a proxy on the dial entry from outside the client.
bool SetEntryProxy(const char* server) {
  INTERNET_PER_CONN_OPTIONA options[2];
  std::memset(options, 0, sizeof(options));
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[0].Value.dwValue = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[1].Value.pszValue = const_cast<char*>(server);
  INTERNET_PER_CONN_OPTION_LISTA list;
  std::memset(&list, 0, sizeof(list));
  list.dwSize = sizeof(list);
  list.pszConnection = const_cast<char*>(e2e::kDefaultEntry);
  list.dwOptionCount = 2;
  list.pOptions = options;
  return InternetSetOptionA(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof(list)) != FALSE;
}

// The text of a setting element of config.xml; "(missing)" when it is not there.
std::string Setting(const std::string& file, const std::string& name) {
  const std::string open = "<" + name + ">", close = "</" + name + ">";
  const size_t start = file.find(open);
  if (start == std::string::npos) return "(missing)";
  const size_t end = file.find(close, start);
  if (end == std::string::npos) return "(unclosed)";
  return file.substr(start + open.size(), end - start - open.size());
}

class SettingsTest : public e2e::ConnectionTest {
 protected:
  static void SetUpTestSuite() { s_desktop = driver::UseVirtualDesktop("QuillonSettings", 1280, 800); }

  void SetUp() override {
    ASSERT_TRUE(s_desktop) << "no virtual desktop";
    ConnectionTest::SetUp();
  }

  void TearDown() override {
    ConnectionTest::TearDown();
    m_runValue.Restore();
    m_proxyEnable.Restore();
    m_proxyServer.Restore();
  }

  SettingsWindow Open(int command = ID_SETTINGS) { return settings_test::OpenSettings(*m_client, command); }

  // The client's message box: its text, after it has been answered with OK.
  std::string AnswerBox() {
    HWND box = nullptr;
    driver::WaitFor(
        [&] {
          box = FindMessageBox();
          return box != nullptr;
        },
        10000);
    if (box == nullptr) return "(no message box)";
    const std::string text = driver::WindowText(GetDlgItem(box, kMessageBoxTextId));
    m_lastCaption = driver::WindowText(box);
    driver::CClient::Answer(box, IDOK);
    driver::WaitFor([&] { return !IsWindow(box); }, 5000);
    return text;
  }

  HWND FindMessageBox() {
    struct Search {
      DWORD pid;
      HWND found;
    } search = {m_client->ProcessId(), nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          Search* s = reinterpret_cast<Search*>(data);
          DWORD pid = 0;
          GetWindowThreadProcessId(window, &pid);
          if (pid != s->pid || !IsWindowVisible(window) || GetDlgItem(window, kMessageBoxTextId) == nullptr) {
            return TRUE;
          }
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  std::string Config() { return m_client->ReadFile("config.xml"); }
  std::string ProgramPath() { return m_client->Folder() + "Quillon.exe"; }
  void Shoot(const std::string& name) {
    EXPECT_TRUE(driver::Screenshot(driver::BuildDir() + "/tests/programs/" + name + ".png"));
  }

  static bool s_desktop;
  std::string m_lastCaption;
  CSavedValue m_runValue{HKEY_LOCAL_MACHINE, kRunKey, "Tarnex"};
  CSavedValue m_proxyEnable{HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyEnable"};
  CSavedValue m_proxyServer{HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyServer"};
};

bool SettingsTest::s_desktop = false;

TEST_F(SettingsTest, FourPagesOnTabsOpenFromBothCommandsWithApplyDisabled) {
  ASSERT_NO_FATAL_FAILURE(StartClient(
      "settings-pages", [](CConfigStore& config) { config.SetSystemSet("2031-05-17 22:30:00", "重启", 1); }));
  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitConnected("demo"));

  SettingsWindow menu = Open(ID_MENU_SETTINGS);
  ASSERT_NE(menu.window, nullptr) << "the menu item opened no dialog";
  menu.Click(IDCANCEL);
  ASSERT_TRUE(menu.WaitClosed());

  SettingsWindow settings = Open(ID_SETTINGS);
  ASSERT_NE(settings.window, nullptr) << "the toolbar command opened no dialog";
  EXPECT_EQ(SendMessageA(settings.Control(IDC_SETTINGS_TABS), TCM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_FALSE(settings.Enabled(IDC_SETTINGS_APPLY));

  // Redial off: the first interval and 100 tries, both disabled.
  EXPECT_FALSE(settings.Checked(IDC_RUN_RECONNECT));
  EXPECT_EQ(settings.Text(IDC_RUN_INTERVAL), "5秒");
  EXPECT_EQ(settings.Text(IDC_RUN_TRIES), "100");
  EXPECT_FALSE(settings.Enabled(IDC_RUN_INTERVAL));
  EXPECT_FALSE(settings.Enabled(IDC_RUN_TRIES));
  Shoot("settings-run");

  struct Page {
    int tab;
    int control;
    const char* shot;
  };
  const Page pages[] = {{1, IDC_UPDATE_AUTO, "settings-update"},
                        {2, IDC_SHUTDOWN_ON, "settings-shutdown"},
                        {3, IDC_PROXY_ON, "settings-proxy"},
                        {0, IDC_RUN_STARTUP, nullptr}};
  const int firstControls[] = {IDC_RUN_STARTUP, IDC_UPDATE_AUTO, IDC_SHUTDOWN_ON, IDC_PROXY_ON};
  for (const Page& page : pages) {
    ASSERT_TRUE(settings.ShowTab(page.tab, page.control)) << page.tab;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(IsWindowVisible(GetParent(settings.Control(firstControls[i]))) != FALSE, i == page.tab)
          << "tab " << page.tab << " page " << i;
    }
    if (page.tab == 1) {
      EXPECT_TRUE(settings.Checked(IDC_UPDATE_AUTO));
      EXPECT_FALSE(settings.Checked(IDC_UPDATE_MANUAL));
    }
    if (page.tab == 2) {
      EXPECT_TRUE(settings.Checked(IDC_SHUTDOWN_ON));
      EXPECT_EQ(settings.Text(IDC_SHUTDOWN_TYPE), "重启");
      EXPECT_TRUE(settings.Enabled(IDC_SHUTDOWN_DATE));
    }
    if (page.shot != nullptr) Shoot(page.shot);
  }
  // Switching pages changes nothing.
  EXPECT_FALSE(settings.Enabled(IDC_SETTINGS_APPLY));
  settings.Click(IDCANCEL);
  EXPECT_TRUE(settings.WaitClosed());
}

TEST_F(SettingsTest, StartWithWindowsReplacesTheRunValueWithTheClientAndClearingRemovesIt) {
  SetRegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Tarnex", "C:\\old\\Quillon.exe");
  ASSERT_NO_FATAL_FAILURE(StartClient("settings-startup"));
  SettingsWindow settings = Open();
  ASSERT_NE(settings.window, nullptr);
  // The box shows the configuration, not the registry.
  EXPECT_FALSE(settings.Checked(IDC_RUN_STARTUP));

  settings.Click(IDC_RUN_STARTUP);
  ASSERT_TRUE(driver::WaitFor([&] { return settings.Enabled(IDC_SETTINGS_APPLY); }, 5000));
  settings.Click(IDC_SETTINGS_APPLY);
  ASSERT_TRUE(driver::WaitFor([&] { return !settings.Enabled(IDC_SETTINGS_APPLY); }, 5000));
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Tarnex"), ProgramPath());
  EXPECT_EQ(Setting(Config(), "StartUp"), "1");

  settings.Click(IDC_RUN_STARTUP);
  settings.Click(IDOK);
  ASSERT_TRUE(settings.WaitClosed());
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Tarnex"), "(none)");
  EXPECT_EQ(Setting(Config(), "StartUp"), "0");
}

TEST_F(SettingsTest, OkWithoutChangesWritesNothingAndCancelKeepsWhatApplyWrote) {
  SetRegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Tarnex", "C:\\old\\Quillon.exe");
  // With redial on, every save writes the redial values; with the proxy box cleared, every save
  // sets the entry to direct access.
  ASSERT_NO_FATAL_FAILURE(StartClient("settings-unchanged", [](CConfigStore& config) {
    config.SetReconnect(true);
    config.SetRedial("30", 7);
  }));
  const std::string before = Config();
  const FILETIME runWritten = KeyWriteTime(HKEY_LOCAL_MACHINE, kRunKey);
  const FILETIME proxyWritten = KeyWriteTime(HKEY_CURRENT_USER, kInternetSettingsKey);
  WIN32_FILE_ATTRIBUTE_DATA file;
  ASSERT_TRUE(
      GetFileAttributesExA((m_client->Folder() + "config.xml").c_str(), GetFileExInfoStandard, &file));

  SettingsWindow settings = Open();
  ASSERT_NE(settings.window, nullptr);
  EXPECT_EQ(settings.Text(IDC_RUN_INTERVAL), "30秒");
  EXPECT_EQ(settings.Text(IDC_RUN_TRIES), "7");
  settings.Click(IDOK);
  ASSERT_TRUE(settings.WaitClosed());
  WIN32_FILE_ATTRIBUTE_DATA after;
  ASSERT_TRUE(
      GetFileAttributesExA((m_client->Folder() + "config.xml").c_str(), GetFileExInfoStandard, &after));
  EXPECT_TRUE(SameTime(file.ftLastWriteTime, after.ftLastWriteTime)) << "config.xml was written";
  EXPECT_EQ(Config(), before);
  EXPECT_TRUE(SameTime(runWritten, KeyWriteTime(HKEY_LOCAL_MACHINE, kRunKey))) << "the Run key was written";
  EXPECT_TRUE(SameTime(proxyWritten, KeyWriteTime(HKEY_CURRENT_USER, kInternetSettingsKey)))
      << "the proxy settings were written";
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Tarnex"), "C:\\old\\Quillon.exe");

  settings = Open();
  ASSERT_NE(settings.window, nullptr);
  settings.Click(IDC_RUN_AUTOCONNECT);
  settings.Click(IDC_SETTINGS_APPLY);
  ASSERT_TRUE(driver::WaitFor([&] { return Setting(Config(), "Autoconnect") == "1"; }, 5000));
  settings.Click(IDC_RUN_ALWAYS);
  ASSERT_TRUE(driver::WaitFor([&] { return settings.Enabled(IDC_SETTINGS_APPLY); }, 5000));
  settings.Click(IDCANCEL);
  ASSERT_TRUE(settings.WaitClosed());
  const std::string config = Config();
  EXPECT_EQ(Setting(config, "Autoconnect"), "1");
  EXPECT_EQ(Setting(config, "Alwaysconnect"), "0");
  EXPECT_EQ(Setting(config, "RedialTimegrap"), "30");
}

TEST_F(SettingsTest, RedialAndUpdateModeAreWrittenOnlyWhenTheyChange) {
  ASSERT_NO_FATAL_FAILURE(
      StartClient("settings-redial", [](CConfigStore& config) { config.SetRedial("90", 7); }));
  SettingsWindow settings = Open();
  ASSERT_NE(settings.window, nullptr);
  // Checking redial offers what the page showed while it was off.
  settings.Click(IDC_RUN_RECONNECT);
  ASSERT_TRUE(driver::WaitFor(
      [&] { return settings.Enabled(IDC_RUN_INTERVAL) && settings.Enabled(IDC_RUN_TRIES); }, 5000));
  settings.Click(IDC_SETTINGS_APPLY);
  ASSERT_TRUE(driver::WaitFor([&] { return Setting(Config(), "Reconnect") == "1"; }, 5000));
  EXPECT_EQ(Setting(Config(), "RedialTimegrap"), "5");
  EXPECT_EQ(Setting(Config(), "RedialTrytimes"), "100");

  settings.Select(IDC_RUN_INTERVAL, 4);
  settings.Type(IDC_RUN_TRIES, "12");
  ASSERT_TRUE(settings.ShowTab(1, IDC_UPDATE_MANUAL));
  settings.Click(IDC_UPDATE_MANUAL);
  settings.Click(IDOK);
  ASSERT_TRUE(settings.WaitClosed());
  std::string config = Config();
  EXPECT_EQ(Setting(config, "RedialTimegrap"), "120");
  EXPECT_EQ(Setting(config, "RedialTrytimes"), "12");
  EXPECT_EQ(Setting(config, "UPDATESET"), "0");

  // A stored 90 seconds shows as a minute and is saved as one.
  m_client->Stop();
  e2e::WriteConfig(m_client->Folder(), [](CConfigStore& c) { c.SetRedial("90", 12); });
  ASSERT_NO_FATAL_FAILURE(RestartClient());
  settings = Open();
  ASSERT_NE(settings.window, nullptr);
  EXPECT_EQ(settings.Text(IDC_RUN_INTERVAL), "1分钟");
  EXPECT_EQ(settings.Text(IDC_RUN_TRIES), "12");
  settings.Type(IDC_RUN_TRIES, "13");
  settings.Click(IDC_SETTINGS_APPLY);
  ASSERT_TRUE(driver::WaitFor([&] { return Setting(Config(), "RedialTrytimes") == "13"; }, 5000));
  EXPECT_EQ(Setting(Config(), "RedialTimegrap"), "60");

  // Turning redial off writes only that; the gap and tries stay.
  settings.Click(IDC_RUN_RECONNECT);
  settings.Click(IDOK);
  ASSERT_TRUE(settings.WaitClosed());
  config = Config();
  EXPECT_EQ(Setting(config, "Reconnect"), "0");
  EXPECT_EQ(Setting(config, "RedialTimegrap"), "60");
  EXPECT_EQ(Setting(config, "RedialTrytimes"), "13");
  EXPECT_EQ(Setting(config, "UPDATESET"), "0");
}

TEST_F(SettingsTest, ShutdownIsStoredInOneFormRefusedForAPastTimeOrAnUnknownTypeAndCleared) {
  // An earlier setting in the pickers' form is read and shown.
  ASSERT_NO_FATAL_FAILURE(StartClient(
      "settings-shutdown", [](CConfigStore& config) { config.SetSystemSet("2031-5-7 8:05:09", "注销", 1); }));
  SettingsWindow settings = Open();
  ASSERT_NE(settings.window, nullptr);
  ASSERT_TRUE(settings.ShowTab(2, IDC_SHUTDOWN_ON));
  EXPECT_TRUE(settings.Checked(IDC_SHUTDOWN_ON));
  EXPECT_EQ(settings.Text(IDC_SHUTDOWN_TYPE), "注销");
  // Applied unchanged, it comes back in the one stored form: the pickers showed that instant.
  settings.Select(IDC_SHUTDOWN_TYPE, 2);
  settings.Click(IDC_SETTINGS_APPLY);
  ASSERT_TRUE(driver::WaitFor(
      [&] { return SystemSetLine(Config()) == SystemSetElement("2031-05-07 08:05:09", "注销"); }, 5000))
      << SystemSetLine(Config());

  // A time already past: refused, the box cleared, the stored setting kept.
  const SYSTEMTIME past = LocalTimeIn(-120);
  settings.SetPicker(IDC_SHUTDOWN_DATE, past);
  settings.SetPicker(IDC_SHUTDOWN_TIME, past);
  settings.Select(IDC_SHUTDOWN_TYPE, 0);
  settings.Click(IDC_SETTINGS_APPLY);
  EXPECT_EQ(AnswerBox(), "设置的关机时间早于当前时间！关机设置失败！");
  EXPECT_EQ(m_lastCaption, "提示");
  ASSERT_TRUE(driver::WaitFor([&] { return !settings.Checked(IDC_SHUTDOWN_ON); }, 5000));
  EXPECT_EQ(SystemSetLine(Config()), SystemSetElement("2031-05-07 08:05:09", "注销"));

  // A typed type that is no list item: refused, nothing written.
  const SYSTEMTIME future = LocalTimeIn(2 * 86400);
  settings.Click(IDC_SHUTDOWN_ON);
  ASSERT_TRUE(driver::WaitFor([&] { return settings.Enabled(IDC_SHUTDOWN_DATE); }, 5000));
  settings.SetPicker(IDC_SHUTDOWN_DATE, future);
  settings.SetPicker(IDC_SHUTDOWN_TIME, future);
  settings.Type(IDC_SHUTDOWN_TYPE, "待机");
  settings.Click(IDC_SETTINGS_APPLY);
  EXPECT_EQ(AnswerBox(), "关机类型无效！请在列表中选择关机、重启或注销。");
  EXPECT_EQ(SystemSetLine(Config()), SystemSetElement("2031-05-07 08:05:09", "注销"));

  // A future time with a list item is stored.
  settings.Select(IDC_SHUTDOWN_TYPE, 1);
  settings.Click(IDC_SETTINGS_APPLY);
  ASSERT_TRUE(driver::WaitFor(
      [&] { return SystemSetLine(Config()) == SystemSetElement(StoredForm(future), "重启"); }, 5000))
      << SystemSetLine(Config());

  // Cleared, every apply removes it again.
  settings.Click(IDC_SHUTDOWN_ON);
  ASSERT_TRUE(driver::WaitFor([&] { return !settings.Enabled(IDC_SHUTDOWN_TYPE); }, 5000));
  settings.Click(IDC_SETTINGS_APPLY);
  ASSERT_TRUE(driver::WaitFor([&] { return SystemSetLine(Config()).empty(); }, 5000));
  settings.Click(IDOK);
  ASSERT_TRUE(settings.WaitClosed());
  EXPECT_TRUE(SystemSetLine(Config()).empty());

  settings = Open();
  ASSERT_NE(settings.window, nullptr);
  EXPECT_FALSE(settings.Checked(IDC_SHUTDOWN_ON));
  EXPECT_FALSE(settings.Enabled(IDC_SHUTDOWN_TYPE));
  EXPECT_FALSE(settings.Enabled(IDC_SHUTDOWN_DATE));
  EXPECT_FALSE(settings.Enabled(IDC_SHUTDOWN_TIME));
  settings.Click(IDCANCEL);
  EXPECT_TRUE(settings.WaitClosed());
}

TEST_F(SettingsTest, TheEntrysProxyIsSetAsTypedRefusedOutOfRangeAndShownWhenTheDialogOpens) {
  ASSERT_NO_FATAL_FAILURE(StartClient("settings-proxy"));
  SettingsWindow settings = Open();
  ASSERT_NE(settings.window, nullptr);
  ASSERT_TRUE(settings.ShowTab(3, IDC_PROXY_ON));
  settings.Click(IDC_PROXY_ON);
  ASSERT_TRUE(driver::WaitFor([&] { return settings.Enabled(IDC_PROXY_PORT); }, 5000));
  SendMessageA(settings.Control(IDC_PROXY_ADDRESS), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 1, 2, 3));

  settings.Type(IDC_PROXY_PORT, "65536");
  settings.Click(IDC_SETTINGS_APPLY);
  EXPECT_EQ(AnswerBox(), "端口号取值范围为0~65535，请输入正确的端口号！");
  EXPECT_EQ(m_lastCaption, "提示");
  EXPECT_EQ(QueryEntryProxy().flags & PROXY_TYPE_PROXY, 0u);

  settings.Type(IDC_PROXY_PORT, " 080 ");
  settings.Click(IDC_SETTINGS_APPLY);
  ASSERT_TRUE(driver::WaitFor([&] { return (QueryEntryProxy().flags & PROXY_TYPE_PROXY) != 0; }, 5000));
  EXPECT_EQ(QueryEntryProxy().server, "10.1.2.3:080");
  settings.Click(IDOK);
  ASSERT_TRUE(settings.WaitClosed());

  // The process-wide proxy now has the form a.b.c.d:port; the page opens with it.
  settings = Open();
  ASSERT_NE(settings.window, nullptr);
  ASSERT_TRUE(settings.ShowTab(3, IDC_PROXY_ON));
  EXPECT_TRUE(settings.Checked(IDC_PROXY_ON));
  EXPECT_EQ(settings.Text(IDC_PROXY_PORT), "80");
  DWORD address = 0;
  driver::SendWithData(settings.Control(IDC_PROXY_ADDRESS), IPM_GETADDRESS, 0, &address, sizeof(address));
  EXPECT_EQ(address, static_cast<DWORD>(MAKEIPADDRESS(10, 1, 2, 3)));

  // Cleared: direct access at every apply.
  settings.Click(IDC_PROXY_ON);
  ASSERT_TRUE(driver::WaitFor([&] { return !settings.Enabled(IDC_PROXY_PORT); }, 5000));
  EXPECT_EQ(settings.Text(IDC_PROXY_PORT), "");
  settings.Click(IDOK);
  ASSERT_TRUE(settings.WaitClosed());
  EXPECT_EQ(QueryEntryProxy().flags & PROXY_TYPE_PROXY, 0u);

  // A proxy that is no address with a port shows as none.
  ASSERT_TRUE(SetEntryProxy("proxy.example.net:8080"));
  settings = Open();
  ASSERT_NE(settings.window, nullptr);
  EXPECT_FALSE(settings.Checked(IDC_PROXY_ON));
  EXPECT_FALSE(settings.Enabled(IDC_PROXY_ADDRESS));
  EXPECT_EQ(settings.Text(IDC_PROXY_PORT), "");
  settings.Click(IDCANCEL);
  EXPECT_TRUE(settings.WaitClosed());
}

}  // namespace
