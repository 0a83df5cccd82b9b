// What the end-to-end tests of connecting, disconnecting and supervision share: an access server
// with the test accounts, the client started through the driver in a program folder prepared
// with a configuration, a timeline of the presence notices on 127.0.0.1:3360 and the server's
// session events, a sampler of a control's text, and readers of the files the client writes.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/Driver.h"
#include "tests/testbed/TestbedServer.h"

class CConfigStore;

namespace e2e {

// The subscribers of the access server: "user password" a line.
extern const char kAccounts[];
constexpr char kDefaultEntry[] = "pppoe_vorlan_default_entry";

// One ITEM of a month file.
struct RecordItem {
  std::string user, start, end, ip, error, send, recv;
};
// The records of the current month in a program folder (Windows form, with its backslash), newest
// first; empty when there is no file.
std::vector<RecordItem> ReadMonthRecords(const std::string& folder);
// True when text is a non-empty run of decimal digits.
bool IsDecimal(const std::string& text);

// The saved users of the entry and the last user in the folder's "config.xml".
struct SavedUsers {
  std::vector<std::string> names, passwords;
  bool hasLast = false;
  std::vector<std::string> lastNames, lastPasswords;
};
SavedUsers ReadUsers(const std::string& folder);
// Creates "config.xml" in the folder through the store (defaults first), then lets edit change it.
void WriteConfig(const std::string& folder, const std::function<void(CConfigStore&)>& edit);

// Presence notices received on 127.0.0.1:3360 and the session events of the access server, in the
// order one thread saw them.
class CTimeline {
 public:
  struct Event {
    enum Kind { kNotice, kUp, kDown } kind;
    std::string data;  // the datagram's bytes, or the session's user (up) or id (down)
    DWORD tick;
  };

  ~CTimeline();
  // Binds 127.0.0.1:3360 (waiting up to 30 s for another program to let it go) and subscribes to
  // the server's events. False with a reason.
  bool Start(int serverPort, std::string* error);
  void Stop();
  std::vector<Event> Events();
  // The events without the keep-alive datagrams, and those datagrams alone.
  std::vector<Event> PresenceEvents();
  size_t KeepAliveCount();
  // Waits until at least count presence events are in; returns whether they are.
  bool WaitForCount(size_t count, DWORD timeoutMs);
  void Clear();

  // The UDP port the client's notices came from; 0 before the first.
  unsigned short ClientPort();
  // Sends bytes to the client's port from 127.0.0.1:3360, as the message server would; false when
  // no notice came yet or the send failed.
  bool SendToClient(const std::string& bytes);

 private:
  static DWORD WINAPI ThreadMain(LPVOID self);
  void Run();

  SOCKET m_udp = INVALID_SOCKET;
  SOCKET m_watch = INVALID_SOCKET;
  HANDLE m_thread = nullptr;
  volatile LONG m_stop = 0;
  std::mutex m_lock;
  std::vector<Event> m_events;
  unsigned short m_clientPort = 0;
};

// Reads a control's text (of any process) every 20 ms and keeps every change with its time.
class CTextSampler {
 public:
  ~CTextSampler();
  void Start(HWND control);
  void Stop();
  std::vector<std::pair<DWORD, std::string>> Changes();
  // How many times the text became text.
  int CountBecame(const std::string& text);

 private:
  static DWORD WINAPI ThreadMain(LPVOID self);
  HWND m_control = nullptr;
  HANDLE m_thread = nullptr;
  volatile LONG m_stop = 0;
  std::mutex m_lock;
  std::vector<std::pair<DWORD, std::string>> m_changes;
};

// The 44-byte presence notice the client must send.
std::string ExpectedNotice(unsigned kind, const std::string& user);
// The 44-byte keep-alive datagram.
std::string ExpectedKeepAlive();

// The texts of the main window that the tests wait for.
extern const char kConnectedText[];  // "已经成功地建立了连接"
extern const char kWelcomeText[];    // "欢迎使用远岸宽带拨号客户端"
extern const char kDialingText[];    // "正在连接拨号网络,请稍候..."

class ConnectionTest : public ::testing::Test {
 protected:
  // Starts the access server with the test accounts (skips the test when it is not built).
  void SetUp() override;
  void TearDown() override;

  // Lays out a program folder named name, writes its configuration when edit is given, starts the
  // client and waits for its main window.
  void StartClient(const std::string& name, const std::function<void(CConfigStore&)>& edit = nullptr);
  // Starts the client again in the same folder (after the earlier one ended).
  void RestartClient();
  // Ends the client with "退出" and waits for the process to end.
  void ExitClient();

  // Types the credentials and presses "连接".
  void Connect(const std::string& user, const std::string& password);
  bool WaitText(int id, const std::string& text, DWORD timeoutMs = 15000);
  // Waits until the client shows a connection and the server has a session of user.
  bool WaitConnected(const std::string& user, DWORD timeoutMs = 20000);
  // Waits until the server lists no session.
  bool WaitNoSession(DWORD timeoutMs = 15000);
  size_t SessionCount() { return m_server.Sessions().size(); }
  std::vector<RecordItem> Records() { return ReadMonthRecords(m_client->Folder()); }
  // Answers the message box that comes up with OK and returns its text (and caption).
  std::string AnswerMessageBox(std::string* caption = nullptr);
  // Runs the testbed's rasdial.exe with arguments; returns its exit code.
  int RunRasdial(const std::string& arguments, std::string* output = nullptr);

  testbed::CTestbedServer m_server;
  driver::CClient* m_client = nullptr;
  std::string m_clientName;
  std::string m_accountsFile;
};

}  // namespace e2e
