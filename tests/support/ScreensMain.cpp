// Photographs every window of the client for the README: the main window on each tab, connected
// and not, every tool dialog, the updater and the installer's first page. Run by scripts/screens,
// which gives the folder the pictures go to (a Unix path) as the only argument.
//
// The client runs in a Wine virtual desktop, which draws frames and captions as Windows does, against
// the testbed's access server and update server.
#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "client/messaging/MessageStore.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/RecordFiles.h"
#include "tests/support/Driver.h"
#include "tests/testbed/TestbedServer.h"
#include "tests/testbed/UpdateServer.h"

namespace {

const char kEntry[] = "pppoe_vorlan_default_entry";
const char kConnected[] = "已经成功地建立了连接";

std::string g_folder;  // where the pictures go
int g_taken = 0;
int g_missed = 0;

void Say(const std::string& text) {
  std::printf("screens: %s\n", text.c_str());
  std::fflush(stdout);
}

// Waits until the window has been painted, then photographs it (frame and caption included).
void Shoot(HWND window, const std::string& name) {
  if (window == nullptr) {
    Say("no window for " + name);
    ++g_missed;
    return;
  }
  driver::WaitFor([] { return false; }, 400);
  if (driver::ScreenshotOf(window, g_folder + "/" + name + ".png")) {
    ++g_taken;
    Say("took " + name);
  } else {
    ++g_missed;
    Say("could not take " + name);
  }
}

// The rectangle of a tab item of a tab control of another process, in its client coordinates.
bool TabItemRect(HWND tabs, int index, RECT* rect) {
  RECT r = {0, 0, 0, 0};
  if (driver::SendWithData(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), &r, sizeof(r)) == 0)
    return false;
  *rect = r;
  return true;
}

// A click on a tab item, as the mouse gives it.
bool ClickTab(HWND tabs, int index) {
  RECT r;
  if (!TabItemRect(tabs, index, &r)) return false;
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(tabs, WM_LBUTTONUP, 0, at);
  return true;
}

// Closes a dialog of the client with its cancel command and waits until it is gone.
void Close(HWND dialog, int command = IDCANCEL) {
  if (dialog == nullptr) return;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
  driver::WaitFor([&] { return !IsWindow(dialog); }, 10000);
}

// The client's folder as a subscriber's would look after a few weeks: saved users, records of
// connections, shortcuts of its own.
void Furnish(const std::string& folder) {
  {
    CConfigStore config(folder + "config.xml");
    config.SaveUser(kEntry, "", "demo");
    config.SaveUser(kEntry, "", "alice");
    config.SetLastUser("", "demo");
    config.SetReconnect(true);
    config.SetRedial("30", 3);
  }
  CreateDirectoryA((folder + "data").c_str(), nullptr);
  const std::string records = folder + "data\\record";
  CreateDirectoryA(records.c_str(), nullptr);
  const std::time_t now = std::time(nullptr);
  const std::time_t day = 24 * 3600;
  for (int i = 5; i >= 1; --i) {
    const std::string start = FormatLocalTime(now - i * day - 3 * 3600);
    const std::string end = FormatLocalTime(now - i * day - 3 * 3600 + 1500 + i * 731);
    AddRecordByHand(records, i % 2 ? "demo" : "alice", start.c_str(), end.c_str(),
                    ("203.0.113." + std::to_string(20 + i)).c_str(),
                    std::to_string(1200000 * i + 4711).c_str(), std::to_string(98000000 * i + 815).c_str());
  }
  driver::WriteFileBytes(
      folder + "Settings.ini",
      "[Status]\r\nActiveFolder=1\r\nIsSmallIconView=1\r\nFolderCount=2\r\n[Folder]\r\n1=常用软件\r\n"
      "[ItemCount]\r\n1=2\r\n[1]\r\n1=远岸宽带门户\r\n1n=http://www.vorlan.net/\r\n2=网上营业厅\r\n"
      "2n=http://www.vorlan.net/service/\r\n");
  CMessageStore messages;
  messages.Open(folder);
  const std::string today = FormatLocalTime(now).substr(0, 10);
  messages.Append("公告", "宽带资费调整公告", today.c_str(), "09:30:00", "http://www.vorlan.net/notice/",
                  "自下月起，20M包年套餐资费下调，老用户续费同享优惠。");
  messages.Append("通知", "停机维护通知", today.c_str(), "14:00:00", "http://www.vorlan.net/notice/",
                  "尊敬的用户：本周六凌晨2:00至4:00进行网络设备维护，期间可能断线，敬请谅解。");
}

void MainWindow(driver::CClient& client, const char* state) {
  HWND tabs = client.Control(IDC_TABS);
  const char* const pages[] = {"login", "shortcuts", "services", "contact"};
  for (int tab = 0; tab < 4; ++tab) {
    ClickTab(tabs, tab);
    Shoot(client.MainWindow(), std::string("main-") + state + "-" + pages[tab]);
  }
  ClickTab(tabs, 0);
}

HWND Open(driver::CClient& client, int command, const char* caption) {
  client.SendCommand(command);
  return driver::WaitForDialog(client.ProcessId(), caption, 10000);
}

void ToolDialogs(driver::CClient& client) {
  const DWORD pid = client.ProcessId();

  if (HWND settings = Open(client, ID_MENU_SETTINGS, "用户设置")) {
    const char* const pages[] = {"settings-run", "settings-update", "settings-shutdown", "settings-proxy"};
    HWND tabs = GetDlgItem(settings, IDC_SETTINGS_TABS);
    for (int page = 0; page < 4; ++page) {
      ClickTab(tabs, page);
      Shoot(settings, pages[page]);
    }
    Close(settings);
  } else {
    Shoot(nullptr, "settings");
  }

  if (HWND query = Open(client, ID_RECORD_QUERY, "上网记录查询(只查询通过本软件拨号上网的记录)")) {
    driver::ClickButton(query, IDC_RECORD_QUERY);
    driver::WaitFor([&] { return !driver::WindowText(GetDlgItem(query, IDC_RECORD_TOTALS)).empty(); }, 10000);
    Shoot(query, "record-query");
    driver::ClickButton(query, IDC_RECORD_ADD);
    HWND add = driver::WaitForDialog(pid, "添加上网记录", 10000);
    Shoot(add, "add-record");
    Close(add);
    Close(query);
  } else {
    Shoot(nullptr, "record-query");
  }

  HWND users = Open(client, ID_USER_MANAGEMENT, "用户管理");
  Shoot(users, "user-management");
  Close(users);

  if (HWND diagnosis = Open(client, ID_DIAGNOSIS, "宽带故障检测")) {
    driver::ClickButton(diagnosis, IDC_DIAG_START);
    driver::WaitFor([&] { return IsWindowEnabled(GetDlgItem(diagnosis, IDC_DIAG_DETAIL)) != FALSE; }, 60000);
    Shoot(diagnosis, "diagnosis");
    driver::ClickButton(diagnosis, IDC_DIAG_DETAIL);
    Shoot(diagnosis, "diagnosis-details");
    driver::ClickButton(diagnosis, IDC_DIAG_DETAIL);
    driver::ClickButton(diagnosis, IDC_DIAG_CONFIGURE);
    HWND modem = driver::WaitForDialog(pid, "Kavrin Modem", 10000);
    Shoot(modem, "modem-address");
    Close(modem);
    Close(diagnosis);
  } else {
    Shoot(nullptr, "diagnosis");
  }

  HWND about = Open(client, ID_ABOUT, "关于远岸宽带拨号客户端");
  Shoot(about, "about");
  Close(about, IDOK);

  if (HWND messages = Open(client, ID_MESSAGES, nullptr)) {
    // The newest message selected, its text shown below the list.
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    driver::SendWithData(GetDlgItem(messages, IDC_MESSAGE_LIST), LVM_SETITEMSTATE, 0, &item, sizeof(item));
    Shoot(messages, "messages");
    Close(messages);
  }
}

void ConnectedDialogs(driver::CClient& client) {
  HWND statistics = Open(client, ID_STATISTICS, "统计信息");
  driver::WaitFor([&] { return !driver::WindowText(GetDlgItem(statistics, IDC_STAT_TIME)).empty(); }, 5000);
  Shoot(statistics, "statistics");
  Close(statistics, IDOK);

  HWND busy = Open(client, ID_DIAGNOSIS, "提示");
  Shoot(busy, "diagnosis-busy");
  Close(busy, IDOK);
}

// The updater started from the client's folder against an update server that offers nothing new.
void Updater(const std::string& folder, const std::string& hostBuild) {
  const std::string root = hostBuild + "/screens-update";
  CreateDirectoryA(driver::WindowsPath(root).c_str(), nullptr);
  driver::WriteFileBytes(driver::WindowsPath(root + "/UpdateList.ini"),
                         "[Version]\r\nVersion=1.0\r\n[FilesNum]\r\nNum=0\r\n");
  testbed::CUpdateServer server;
  std::string error;
  if (!server.Start(root, &error)) {
    Say("no update server: " + error);
    ++g_missed;
    return;
  }
  driver::WriteFileBytes(folder + "UpdateConfig.ini", "[Version]\r\nVersion=1.0\r\n[URL]\r\nURL=" +
                                                          server.Url("/UpdateList.ini") + "\r\n");
  DWORD pid = 0;
  HANDLE updater = driver::StartProgram(folder + "Renewer.exe", folder, &pid);
  if (updater == nullptr) {
    Shoot(nullptr, "updater");
    return;
  }
  HWND dialog = driver::WaitForDialog(pid, "在线更新", 10000);
  driver::WaitFor(
      [&] { return driver::WindowText(GetDlgItem(dialog, 1004)) == "您现在用的版本已是最新的！"; }, 15000);
  Shoot(dialog, "updater");
  Close(dialog, 1006);
  WaitForSingleObject(updater, 10000);
  TerminateProcess(updater, 0);
  CloseHandle(updater);
}

// The installer's first page, when scripts/package has built one this Wine can run.
void Installer(const std::string& installer) {
  if (installer.empty() || GetFileAttributesA(installer.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Say("no installer to show (run scripts/package first)");
    return;
  }
  DWORD pid = 0;
  HANDLE process = driver::StartProgram(installer, "", &pid);
  if (process == nullptr) {
    Say("the installer does not start here");
    ++g_missed;
    return;
  }
  HWND page = nullptr;
  driver::WaitFor([&] { return (page = driver::FindDialog(pid)) != nullptr; }, 20000);
  Shoot(page, "installer");
  TerminateProcess(process, 0);
  CloseHandle(process);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: screens UNIX_FOLDER [INSTALLER]\n");
    return 2;
  }
  g_folder = argv[1];
  const std::string installer = argc > 2 ? argv[2] : "";
  if (!driver::UseVirtualDesktop("QuillonScreens", 1280, 800))
    Say("no virtual desktop: pictures without frames");
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  testbed::CTestbedServer server;
  std::string error;
  if (!server.Start("--delay 50", &error)) {
    std::fprintf(stderr, "screens: %s\n", error.c_str());
    return 1;
  }
  driver::CClient client("screens");
  if (!client.Prepare(&error)) {
    std::fprintf(stderr, "screens: %s\n", error.c_str());
    return 1;
  }
  Furnish(client.Folder());
  if (!client.Launch(&error) || client.WaitForMainWindow() == nullptr) {
    std::fprintf(stderr, "screens: the client did not start: %s\n", error.c_str());
    return 1;
  }
  driver::WaitFor([&] { return IsWindowVisible(client.MainWindow()) != FALSE; }, 10000);

  MainWindow(client, "offline");
  ToolDialogs(client);

  client.Type(IDC_USER_NAME, "demo");
  client.Type(IDC_PASSWORD, "demo1234");
  client.Click(IDC_CONNECT);
  if (driver::WaitFor([&] { return client.Text(IDC_MESSAGE_TEXT) == kConnected; }, 20000)) {
    driver::WaitFor([] { return false; }, 2500);
    MainWindow(client, "connected");
    ConnectedDialogs(client);
  } else {
    Say("the client did not connect: " + client.Text(IDC_MESSAGE_TEXT));
    ++g_missed;
  }
  client.Stop();

  const char* hostBuild = std::getenv("QUILLON_HOST_BUILD_DIR");
  Updater(client.Folder(), hostBuild != nullptr ? hostBuild : driver::BuildDir());
  Installer(installer);

  Say(std::to_string(g_taken) + " pictures taken, " + std::to_string(g_missed) + " missed");
  return g_missed == 0 ? 0 : 1;
}
