// The client's update check in process under Wine: the network wait against a scripted
// connected-state answer, and the check of the update list against the testbed's update server.
#include "tests/testbed/UpdateServer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <wininet.h>

#include <atomic>
#include <string>
#include <vector>

#include "client/store/ConfigStore.h"
#include "client/update/UpdateCheck.h"
#include "dialengine/ConnectManage.h"
#include "dialengine/EngineSystem.h"
#include "tests/testbed/TestbedServer.h"

namespace {

constexpr DWORD kWait = 10000;

std::atomic<DWORD> g_connectedFlags{INTERNET_CONNECTION_LAN};
std::atomic<int> g_queries{0};

BOOL WINAPI ScriptedConnectedState(LPDWORD flags, DWORD) {
  ++g_queries;
  *flags = g_connectedFlags;
  return TRUE;
}

struct Question {
  std::string text;
  std::string caption;
  UINT type;
};
std::vector<Question> g_questions;
int g_answer = IDNO;
std::vector<std::pair<std::string, UINT>> g_started;

int WINAPI RecordQuestion(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  g_questions.push_back({text, caption, type});
  return g_answer;
}

UINT WINAPI RecordStart(LPCSTR commandLine, UINT show) {
  g_started.emplace_back(commandLine, show);
  return 33;
}

std::string BuildDir() {
  char value[1024] = {};
  GetEnvironmentVariableA("QUILLON_BUILD_DIR", value, sizeof(value));
  return value;
}

bool WriteText(const std::string& path, const std::string& text) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return written == text.size();
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(m_window, nullptr);
    EngineCalls().internetGetConnectedState = ScriptedConnectedState;
    UpdateCalls().messageBox = RecordQuestion;
    UpdateCalls().winExec = RecordStart;
    g_questions.clear();
    g_started.clear();
  }
  void TearDown() override {
    EngineCalls() = RealEngineSystem();
    UpdateCalls() = RealUpdateSystem();
    DestroyWindow(m_window);
  }

  // WM_NETWORK_READY messages waiting for the window, taken from the queue.
  int TakeReadyMessages() {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, m_window, WM_NETWORK_READY, WM_NETWORK_READY, PM_REMOVE)) {
      EXPECT_EQ(message.wParam, 0u);
      EXPECT_EQ(message.lParam, 0);
      ++count;
    }
    return count;
  }

  HWND m_window = nullptr;
};

TEST_F(UpdateCheckTest, TheNetworkWaitPostsOnceWhenADialConnectionIsSeen) {
  g_connectedFlags = INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_CONFIGURED;
  g_queries = 0;
  CConnectManage manager;
  CUpdateCheck check;
  ASSERT_TRUE(check.StartNetworkWait(m_window, manager));
  ASSERT_TRUE(testbed::WaitUntil([] { return g_queries >= 3; }, kWait));
  EXPECT_FALSE(check.NetworkWaitEnded());
  EXPECT_EQ(TakeReadyMessages(), 0);

  g_connectedFlags = INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_CONFIGURED;
  ASSERT_TRUE(testbed::WaitUntil([&] { return check.NetworkWaitEnded(); }, kWait));
  const int queries = g_queries;
  EXPECT_EQ(TakeReadyMessages(), 1);
  // It ended with its post: nothing asks any more, and it does not start again.
  EXPECT_FALSE(check.StartNetworkWait(m_window, manager));
  check.StopNetworkWait();
  EXPECT_EQ(g_queries, queries);
  EXPECT_EQ(TakeReadyMessages(), 0);
}

TEST_F(UpdateCheckTest, AStoppedNetworkWaitEndsWithoutPosting) {
  g_connectedFlags = 0;
  g_queries = 0;
  CConnectManage manager;
  CUpdateCheck check;
  ASSERT_TRUE(check.StartNetworkWait(m_window, manager));
  ASSERT_TRUE(testbed::WaitUntil([] { return g_queries >= 2; }, kWait));
  check.StopNetworkWait();
  EXPECT_TRUE(check.NetworkWaitEnded());
  g_connectedFlags = INTERNET_CONNECTION_MODEM;
  EXPECT_EQ(TakeReadyMessages(), 0);
}

TEST_F(UpdateCheckTest, TheCheckAsksOnlyForANewerListInAutomaticMode) {
  const std::string root = BuildDir() + "/tests/update-check-root";
  const std::string rootWindows = testbed::WindowsPath(root);
  const std::string client = testbed::WindowsPath(BuildDir() + "/tests/programs/update-check") + "\\";
  const std::string temporary = client + "temp\\";
  CreateDirectoryA(rootWindows.c_str(), nullptr);
  CreateDirectoryA(testbed::WindowsPath(BuildDir() + "/tests/programs").c_str(), nullptr);
  CreateDirectoryA(client.c_str(), nullptr);
  CreateDirectoryA(temporary.c_str(), nullptr);
  testbed::CUpdateServer server;
  std::string error;
  ASSERT_TRUE(server.Start(root, &error)) << error;
  CConfigStore config(client + "config.xml");

  struct Case {
    const char* name;
    bool automatic;
    const char* installed;  // null: no "UpdateConfig.ini"
    const char* list;       // null: no list on the server
    const char* scheme;
    bool lockList;  // the temporary list is held open by another program, with a stale version
    int answer;
    bool asks;
    bool starts;
  };
  const Case cases[] = {
      {"manual", false, "1.0", "1.1", "http", false, IDYES, false, false},
      {"1.10 vs 1.9", true, "1.10", "1.9", "http", false, IDYES, true, true},
      {"newer, no", true, "1.0", "1.1", "http", false, IDNO, true, false},
      {"equal", true, "1.2", "1.20", "http", false, IDYES, false, false},
      {"list without version", true, "1.0", "", "http", false, IDYES, false, false},
      {"no list", true, "1.0", nullptr, "http", false, IDYES, false, false},
      {"https", true, "1.0", "1.1", "https", false, IDYES, false, false},
      {"ftp", true, "1.0", "1.1", "ftp", false, IDYES, false, false},
      {"no configuration", true, nullptr, "1.1", "http", false, IDYES, false, false},
      {"list not saved", true, "1.0", "1.0", "http", true, IDYES, false, false},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_questions.clear();
    g_started.clear();
    g_answer = c.answer;
    config.SetUpdateSet(c.automatic);
    const std::string path = "/case" + std::to_string(++row) + "/UpdateList.ini";
    CreateDirectoryA((rootWindows + "\\case" + std::to_string(row)).c_str(), nullptr);
    if (c.list != nullptr) {
      const std::string text =
          *c.list ? std::string("[Version]\r\nVersion=") + c.list + "\r\n" : "[Other]\r\n";
      ASSERT_TRUE(WriteText(testbed::WindowsPath(root + path), text));
    }
    DeleteFileA((client + "UpdateConfig.ini").c_str());
    if (c.installed != nullptr) {
      const std::string address =
          std::string(c.scheme) + "://127.0.0.1:" + std::to_string(server.Port()) + path;
      ASSERT_TRUE(WriteText(client + "UpdateConfig.ini", std::string("[Version]\r\nVersion=") + c.installed +
                                                             "\r\n[URL]\r\nURL=" + address + "\r\n"));
    }
    HANDLE locked = INVALID_HANDLE_VALUE;
    if (c.lockList) {
      ASSERT_TRUE(WriteText(temporary + "UpdateList.ini", "[Version]\r\nVersion=9.9\r\n"));
      locked = CreateFileA((temporary + "UpdateList.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    }

    const std::vector<std::string> before = server.Log();
    CUpdateCheck check;
    EXPECT_EQ(check.CheckForUpdate(m_window, config, client, temporary), 0);
    if (locked != INVALID_HANDLE_VALUE) CloseHandle(locked);

    // The check has returned: every request it made is in the server's log.
    const bool requests = c.automatic && c.installed != nullptr && std::string(c.scheme) == "http";
    EXPECT_EQ(server.Log().size() - before.size(), requests ? 1u : 0u);
    ASSERT_EQ(g_questions.size(), c.asks ? 1u : 0u);
    if (c.asks) {
      EXPECT_EQ(g_questions[0].text, "发现新的版本，是否更新？");
      EXPECT_EQ(g_questions[0].caption, "提示更新");
      EXPECT_EQ(g_questions[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    }
    ASSERT_EQ(g_started.size(), c.starts ? 1u : 0u);
    if (c.starts) {
      EXPECT_EQ(g_started[0].first, "\"" + client + "Renewer.exe\"");
      EXPECT_EQ(g_started[0].second, 5u);
    }
  }
}

}  // namespace
