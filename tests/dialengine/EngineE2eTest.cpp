// Linkwell.dll end to end: the stand-in remote-access service dials the native access server, and
// the engine writes into a hidden host window of this process. Dial and hang-up run on a worker
// thread, as the client runs them, while this thread dispatches messages and answers message boxes.
#include <winsock2.h>

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestHost.h"
#include "dialengine/ConnectManage.h"
#include "tests/testbed/TestbedServer.h"

namespace {

const char kEntry[] = "pppoe_vorlan_default_entry";
const char kTitle[] = "远岸宽带拨号客户端";

struct MessageBoxSeen {
  std::string text;
  std::string caption;
};

struct Work {
  std::function<void()> run;
};

DWORD WINAPI RunWork(void* context) {
  static_cast<Work*>(context)->run();
  return 0;
}

struct BoxSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char className[16] = "";
  GetClassNameA(window, className, sizeof(className));
  if (process == search->process && IsWindowVisible(window) && strcmp(className, "#32770") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// Runs work on a worker thread; meanwhile dispatches this thread's messages and records and
// dismisses every message box of this process. False when the work did not end in time.
bool RunOnWorker(const std::function<void()>& run, std::vector<MessageBoxSeen>* boxes,
                 DWORD timeoutMs = 60000) {
  Work work = {run};
  HANDLE thread = CreateThread(nullptr, 0, &RunWork, &work, 0, nullptr);
  if (!thread) return false;
  const DWORD start = GetTickCount();
  bool ended = false;
  HWND answered = nullptr;
  while (!ended && GetTickCount() - start < timeoutMs) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    BoxSearch search = {GetCurrentProcessId(), nullptr};
    EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.found && search.found != answered) {
      char text[512] = "";
      char caption[128] = "";
      GetDlgItemTextA(search.found, 0xFFFF, text, sizeof(text));
      GetWindowTextA(search.found, caption, sizeof(caption));
      boxes->push_back({text, caption});
      PostMessageA(search.found, WM_COMMAND, IDOK, 0);
      answered = search.found;
    }
    ended = MsgWaitForMultipleObjects(1, &thread, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0;
  }
  if (!ended) TerminateThread(thread, 1);
  CloseHandle(thread);
  return ended;
}

std::string FileText(const std::string& path) {
  std::string text;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return text;
  char buffer[4096];
  size_t read;
  while ((read = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, read);
  fclose(file);
  return text;
}

int RecordName(char* name, void* data) {
  static_cast<std::vector<std::string>*>(data)->push_back(name);
  return 0;
}

class EngineE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_server = new testbed::CTestbedServer;
    if (!testbed::CTestbedServer::FindServerBinary().empty()) s_server->Start("", &s_error);
  }
  static void TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
  }

  void SetUp() override {
    if (testbed::CTestbedServer::FindServerBinary().empty()) {
      GTEST_SKIP()
          << "the native access server is absent: build the host preset and set QUILLON_HOST_BUILD_DIR";
    }
    ASSERT_TRUE(s_server->Running()) << s_error;
    SetEnvironmentVariableA("RASEMU_SERVER", s_server->Address().c_str());
    ASSERT_TRUE(s_server->Reset());
    SetEnvironmentVariableA("RASEMU_DEVICES", nullptr);
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof(folder), folder);
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%slinkwell-e2e-%lu.pbk", folder, GetCurrentProcessId());
    m_phoneBook = path;
    DeleteFileA(m_phoneBook.c_str());
    SetEnvironmentVariableA("RASEMU_PHONEBOOK", m_phoneBook.c_str());
    m_host.reset(new TestHost());
  }

  void TearDown() override {
    m_host.reset();
    if (s_server && s_server->Running()) s_server->Ctl("DROP all");
    if (!m_phoneBook.empty()) DeleteFileA(m_phoneBook.c_str());
  }

  void EnumEntry(CConnectManage& manager, std::vector<MessageBoxSeen>* boxes) {
    ASSERT_TRUE(RunOnWorker([&] { manager.EnumEntry(); }, boxes));
  }

  int Dial(CConnectManage& manager, const char* user, const char* password) {
    std::vector<MessageBoxSeen> boxes;
    EnumEntry(manager, &boxes);
    manager.SetConnectType(kConnectTypeRas);
    std::string u = user;
    std::string p = password;
    char entry[] = "pppoe_vorlan_default_entry";
    manager.SetConnectInfo(&u[0], &p[0], entry);
    int result = -1;
    EXPECT_TRUE(RunOnWorker([&] { result = manager.Connect(); }, &boxes));
    EXPECT_TRUE(boxes.empty());
    return result;
  }

  void ExpectControls(bool connect, bool disconnect, bool dialItem, bool hangUpItem, bool statisticsItem) {
    EXPECT_EQ(m_host->ButtonEnabled(32781), connect);
    EXPECT_EQ(m_host->ButtonEnabled(32782), disconnect);
    EXPECT_EQ(m_host->MenuItemEnabled(0, 0), dialItem);
    EXPECT_EQ(m_host->MenuItemEnabled(0, 2), hangUpItem);
    EXPECT_EQ(m_host->MenuItemEnabled(1, 2), statisticsItem);
  }

  static testbed::CTestbedServer* s_server;
  static std::string s_error;
  std::string m_phoneBook;
  std::unique_ptr<TestHost> m_host;
};

testbed::CTestbedServer* EngineE2eTest::s_server = nullptr;
std::string EngineE2eTest::s_error;

TEST_F(EngineE2eTest, FirstEnumEntryCreatesTheEntryAndTheSecondCreatesNothing) {
  ASSERT_NE(RasValidateEntryNameA(nullptr, kEntry), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  std::vector<std::string> names;
  CConnectManage manager;
  manager.InsertEntryName(&RecordName, nullptr, &names);
  std::vector<MessageBoxSeen> boxes;
  EnumEntry(manager, &boxes);
  EXPECT_TRUE(boxes.empty());
  ASSERT_EQ(RasValidateEntryNameA(nullptr, kEntry), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  RASENTRYA entry;
  ZeroMemory(&entry, sizeof(entry));
  entry.dwSize = sizeof(entry);
  DWORD size = sizeof(entry);
  ASSERT_EQ(RasGetEntryPropertiesA(nullptr, kEntry, &entry, &size, nullptr, nullptr), 0u);
  EXPECT_STREQ(entry.szDeviceType, "pppoe");
  EXPECT_STREQ(entry.szDeviceName, "WAN Miniport (PPPOE)");
  EXPECT_EQ(entry.dwfOptions, static_cast<DWORD>(RASEO_RemoteDefaultGateway | RASEO_SwCompression));
  EXPECT_EQ(entry.dwfNetProtocols, static_cast<DWORD>(RASNP_Ip));
  EXPECT_EQ(entry.dwFramingProtocol, static_cast<DWORD>(RASFP_Ppp));
  EXPECT_EQ(entry.dwType, static_cast<DWORD>(RASET_Broadband));
  EXPECT_STREQ(entry.szLocalPhoneNumber, "");

  // With no device left, a second creation would show the driver message and fail.
  const std::string book = FileText(m_phoneBook);
  SetEnvironmentVariableA("RASEMU_DEVICES", "");
  EnumEntry(manager, &boxes);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(FileText(m_phoneBook), book);
  EXPECT_EQ(names, (std::vector<std::string>{kEntry, kEntry}));
}

TEST_F(EngineE2eTest, WithoutAPppoeDeviceTheDriverMessageIsShown) {
  SetEnvironmentVariableA("RASEMU_DEVICES", "PPPoE:Upper Case Miniport;modem:Standard Modem");
  CConnectManage manager;
  std::vector<MessageBoxSeen> boxes;
  EnumEntry(manager, &boxes);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "没有检测到PPPOE驱动，请先安装PPPOE驱动!");
  EXPECT_EQ(boxes[0].caption, kTitle);
  EXPECT_NE(RasValidateEntryNameA(nullptr, kEntry), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST_F(EngineE2eTest, DialConnectsAndCloseHangsUp) {
  CConnectManage manager;
  ASSERT_EQ(Dial(manager, "demo", "demo1234"), 1);
  const std::vector<testbed::SessionInfo> sessions = s_server->Sessions();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].user, "demo");
  EXPECT_EQ(m_host->Text(1013), sessions[0].address);
  EXPECT_EQ(m_host->Text(1014), kEntry);
  EXPECT_EQ(m_host->Text(1015), "采用RAS拨号连接上网");
  EXPECT_EQ(m_host->Text(1016), "已经成功地建立了连接");
  ExpectControls(false, true, false, true, true);
  EXPECT_EQ(manager.CheckNet(), kNetThroughRas);
  EXPECT_EQ(manager.CheckNetType(), kNetThroughRas);
  EXPECT_EQ(manager.GetConnectState(), 1);

  std::vector<MessageBoxSeen> boxes;
  ASSERT_TRUE(RunOnWorker([&] { manager.Close(); }, &boxes));
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(s_server->Sessions().empty());
  EXPECT_EQ(m_host->Text(1013), "");
  EXPECT_EQ(m_host->Text(1014), "");
  EXPECT_EQ(m_host->Text(1016), "欢迎使用远岸宽带拨号客户端");
  ExpectControls(true, false, true, false, false);
  EXPECT_EQ(manager.CheckNet(), kNetThroughLan);
  EXPECT_EQ(manager.GetConnectState(), 0);
}

TEST_F(EngineE2eTest, WrongPasswordLeavesTheSystemTextFor691) {
  char systemText[256] = "";
  ASSERT_EQ(RasGetErrorStringA(691, systemText, sizeof(systemText)), 0u);
  ASSERT_NE(systemText[0], '\0');
  CConnectManage manager;
  EXPECT_EQ(Dial(manager, "demo", "wrong"), 0);
  EXPECT_EQ(m_host->Text(1016), std::string("连接错误!\r\n") + systemText);
  EXPECT_TRUE(s_server->Sessions().empty());
  ExpectControls(true, false, true, false, true);
  EXPECT_EQ(manager.GetConnectState(), 0);
}

}  // namespace
