#include <winsock2.h>

#include "client/messaging/MessageClient.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <tlhelp32.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Waits up to timeoutMs for condition, checking every 10 ms.
template <typename F>
bool WaitFor(F condition, int timeoutMs) {
  Clock::time_point start = Clock::now();
  while (!condition()) {
    if (MillisecondsSince(start) > timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

int CountThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

Bytes Notice(unsigned char kind, const char* name) {
  Bytes out(44, 0);
  out[0] = kind;
  for (size_t i = 0; name[i] != '\0' && i < 20; ++i) out[4 + i] = static_cast<unsigned char>(name[i]);
  return out;
}

// A UDP socket on 127.0.0.1 playing the message server, or a peer of the client's socket.
class UdpPeer {
 public:
  explicit UdpPeer(unsigned long address = htonl(INADDR_LOOPBACK), unsigned short port = 0) {
    m_socket = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = address;
    local.sin_port = htons(port);
    m_bound = bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0;
  }
  ~UdpPeer() { closesocket(m_socket); }
  bool IsBound() const { return m_bound; }

  unsigned short Port() const {
    sockaddr_in local = {};
    int length = sizeof(local);
    getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
  }

  // One datagram, or nothing within timeoutMs. fromPort receives the sender's port.
  std::optional<Bytes> Receive(int timeoutMs, unsigned short* fromPort = nullptr) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(m_socket, &readable);
    timeval wait = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return std::nullopt;
    char buffer[2048];
    sockaddr_in from = {};
    int fromLength = sizeof(from);
    int n = recvfrom(m_socket, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) return std::nullopt;
    if (fromPort != nullptr) *fromPort = ntohs(from.sin_port);
    return Bytes(buffer, buffer + n);
  }

  void SendTo(unsigned short port, const Bytes& data) {
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    sendto(m_socket, reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()), 0,
           reinterpret_cast<sockaddr*>(&to), sizeof(to));
  }

 private:
  SOCKET m_socket;
  bool m_bound = false;
};

// Sends the process's standard output into a file while it lives, so that the receiver's console
// lines can be read back.
class StdoutCapture {
 public:
  StdoutCapture() {
    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    GetTempFileNameA(folder, "qmc", 0, m_path);
    fflush(stdout);
    m_saved = _dup(_fileno(stdout));
    int file = _open(m_path, _O_WRONLY | _O_TRUNC | _O_BINARY);
    _dup2(file, _fileno(stdout));
    _close(file);
  }
  ~StdoutCapture() {
    fflush(stdout);
    _dup2(m_saved, _fileno(stdout));
    _close(m_saved);
    DeleteFileA(m_path);
  }
  std::string Text() const {
    std::string text;
    FILE* file = fopen(m_path, "rb");
    if (file == nullptr) return text;
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, n);
    fclose(file);
    return text;
  }

 private:
  char m_path[MAX_PATH] = {};
  int m_saved = -1;
};

class MessageClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    m_server.emplace();
    ASSERT_TRUE(m_server->IsBound());
  }
  void TearDown() override {
    m_server.reset();
    WSACleanup();
  }

  std::optional<UdpPeer> m_server;
};

TEST_F(MessageClientTest, NoticesReachTheServerFromTheClientsSocket) {
  CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
  client.StartReceiver();
  ASSERT_TRUE(client.IsReceiving());
  unsigned short port = client.GetLocalPort();
  EXPECT_NE(port, 0);

  client.SendOfflineNotice("demo");
  EXPECT_EQ(client.SendOnlineNotice("demo"), 44);
  client.SendOnlineNotice("abcdefghijklmnopqrstuvwxy");
  client.SendOfflineNotice("张三");

  const Bytes expected[] = {Notice(2, "demo"), Notice(1, "demo"), Notice(1, "abcdefghijklmnopqrst"),
                            Notice(2, "张三")};
  for (const Bytes& e : expected) {
    unsigned short from = 0;
    std::optional<Bytes> got = m_server->Receive(2000, &from);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, e);
    EXPECT_EQ(from, port);
  }
}

TEST_F(MessageClientTest, KeepAliveGoesOutAtOnceAndStopsPromptly) {
  CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
  client.StartReceiver();
  client.StartKeepAlive();
  client.StartKeepAlive();
  EXPECT_TRUE(client.IsKeepAliveRunning());

  Bytes expected(44, 0);
  expected[0] = 10;
  expected[24] = 'A';
  std::optional<Bytes> got = m_server->Receive(2000);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(*got, expected);

  Clock::time_point start = Clock::now();
  client.StopKeepAlive();
  EXPECT_LT(MillisecondsSince(start), 500);
  EXPECT_FALSE(client.IsKeepAliveRunning());
  EXPECT_FALSE(m_server->Receive(200).has_value()) << "only one keep-alive per interval";
}

TEST_F(MessageClientTest, SendingWithoutASocketIsHarmless) {
  CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
  EXPECT_EQ(client.SendOnlineNotice("demo"), SOCKET_ERROR);
  client.SendOfflineNotice("demo");
  client.StartKeepAlive();
  client.StopKeepAlive();

  client.StartReceiver();
  client.StopReceiver();
  EXPECT_EQ(client.SendOnlineNotice("demo"), SOCKET_ERROR);
  EXPECT_EQ(client.GetLocalPort(), 0);
  EXPECT_FALSE(m_server->Receive(200).has_value());
}

TEST_F(MessageClientTest, ServerAddressThatIsNotDottedSendsNothing) {
  CMessageClient client(nullptr, "message.server", m_server->Port());
  client.StartReceiver();
  EXPECT_EQ(client.SendOnlineNotice("demo"), SOCKET_ERROR);
}

TEST_F(MessageClientTest, ReceiverStopsWithinASecondAndStartsAgain) {
  CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    client.StartReceiver();
    client.StartReceiver();
    ASSERT_TRUE(client.IsReceiving());
    Sleep(50);
    Clock::time_point start = Clock::now();
    client.StopReceiver();
    EXPECT_LT(MillisecondsSince(start), 1500);
    EXPECT_FALSE(client.IsReceiving());
  }
}

TEST_F(MessageClientTest, BindFailureRaisesItsTextAndLeavesNothingOpen) {
  UdpPeer occupant(htonl(INADDR_ANY), 0);
  ASSERT_TRUE(occupant.IsBound());
  CMessageClient client(nullptr, "127.0.0.1", m_server->Port(), occupant.Port());
  try {
    client.StartReceiver();
    FAIL() << "the start succeeded on a port in use";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.GetText(), "套节字帮定失败!");
  }
  EXPECT_FALSE(client.IsReceiving());
  EXPECT_EQ(client.SendOnlineNotice("demo"), SOCKET_ERROR);
  client.Shutdown();
}

TEST_F(MessageClientTest, ReceiverWritesItsConsoleLines) {
  CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
  StdoutCapture capture;
  client.StartReceiver();
  unsigned short port = client.GetLocalPort();

  Bytes trash(44, 0);
  trash[0] = 103;
  Bytes other = trash;
  other[0] = 1;
  m_server->SendTo(port, trash);
  m_server->SendTo(port, other);
  m_server->SendTo(port, Bytes{});
  m_server->SendTo(port, Bytes{103, 0});
  EXPECT_TRUE(WaitFor([&] { return capture.Text() == "Recv p2ptrash data\nrecv error\n"; }, 3000))
      << capture.Text();
  client.StopReceiver();
}

// Messages are kept for the window's thread, which hears once of all that wait; a flood is
// bounded, and a message from any address but the server's is never kept. A datagram of kind 103
// after the others marks, by its console line, that the receiver has looked at them all.
TEST_F(MessageClientTest, OnlyTheServersMessagesAreKeptAndTheWindowHearsOnceOfThem) {
  const UINT arrived = WM_APP + 7;
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  auto postedNotices = [&] {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, window, arrived, arrived, PM_REMOVE)) ++count;
    return count;
  };
  auto message = [](const std::string& title) {
    Bytes data(1312, 0);
    data[0] = 100;
    memcpy(&data[4], title.data(), title.size());
    data[288] = 'c';
    return data;
  };
  Bytes marker(44, 0);
  marker[0] = 103;
  StdoutCapture capture;
  auto sendAndSettle = [&](unsigned short port, int markers) {
    m_server->SendTo(port, marker);
    std::string expected;
    for (int i = 0; i < markers; ++i) expected += "Recv p2ptrash data\n";
    return WaitFor([&] { return capture.Text() == expected; }, 5000);
  };

  {
    CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
    client.StartReceiver(window, arrived);
    const unsigned short port = client.GetLocalPort();
    for (const char* title : {"one", "two", "three"}) m_server->SendTo(port, message(title));
    ASSERT_TRUE(sendAndSettle(port, 1)) << capture.Text();
    EXPECT_EQ(postedNotices(), 1);
    std::vector<ProviderMessage> taken = client.TakeMessages();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].title + taken[1].title + taken[2].title, "onetwothree");
    EXPECT_EQ(taken[2].category, "通知");
    EXPECT_EQ(taken[2].date.size(), 10u);
    EXPECT_EQ(taken[2].time.size(), 8u);
    EXPECT_TRUE(client.TakeMessages().empty());

    for (size_t i = 0; i < CMessageClient::kMaxPendingMessages + 6; ++i)
      m_server->SendTo(port, message("flood"));
    ASSERT_TRUE(sendAndSettle(port, 2)) << capture.Text();
    EXPECT_EQ(postedNotices(), 1);
    EXPECT_EQ(client.TakeMessages().size(), CMessageClient::kMaxPendingMessages);
  }
  {
    // The server is elsewhere: what comes from 127.0.0.1 is a stranger's.
    CMessageClient client(nullptr, "127.0.0.3", m_server->Port());
    client.StartReceiver(window, arrived);
    m_server->SendTo(client.GetLocalPort(), message("stranger"));
    ASSERT_TRUE(sendAndSettle(client.GetLocalPort(), 3)) << capture.Text();
    EXPECT_TRUE(client.TakeMessages().empty());
    EXPECT_EQ(postedNotices(), 0);
  }
  DestroyWindow(window);
}

TEST_F(MessageClientTest, ShutdownWhileKeepAliveRunsIsPromptAndLeavesNoThread) {
  int before = CountThreadsOfThisProcess();
  ASSERT_GT(before, 0);
  {
    CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
    client.StartReceiver();
    client.StartKeepAlive();
    ASSERT_TRUE(m_server->Receive(2000).has_value());
    EXPECT_GE(CountThreadsOfThisProcess(), before + 2);

    Clock::time_point start = Clock::now();
    client.Shutdown();
    EXPECT_LT(MillisecondsSince(start), 1500);
    EXPECT_FALSE(client.IsReceiving());
    EXPECT_FALSE(client.IsKeepAliveRunning());
    client.Shutdown();
  }
  EXPECT_TRUE(WaitFor([&] { return CountThreadsOfThisProcess() == before; }, 2000));
}

TEST_F(MessageClientTest, DestructionStopsEverythingThatRuns) {
  int before = CountThreadsOfThisProcess();
  Clock::time_point start = Clock::now();
  {
    CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
    client.StartReceiver();
    client.StartKeepAlive();
    ASSERT_TRUE(m_server->Receive(2000).has_value());
  }
  EXPECT_LT(MillisecondsSince(start), 3000);
  EXPECT_TRUE(WaitFor([&] { return CountThreadsOfThisProcess() == before; }, 2000));
}

TEST_F(MessageClientTest, StoppingTheReceiverUnderRunningSendersIsSafe) {
  CMessageClient client(nullptr, "127.0.0.1", m_server->Port());
  client.StartReceiver();
  client.StartKeepAlive();
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0}, refused{0}, odd{0};
  std::vector<std::thread> senders;
  for (int i = 0; i < 3; ++i) {
    senders.emplace_back([&] {
      while (!stop) {
        int result = client.SendOnlineNotice("demo");
        if (result == 44) {
          ++sent;
        } else if (result == SOCKET_ERROR) {
          ++refused;
        } else {
          ++odd;
        }
      }
    });
  }
  ASSERT_TRUE(WaitFor([&] { return sent > 100; }, 3000));
  client.StopReceiver();
  ASSERT_TRUE(WaitFor([&] { return refused > 100; }, 3000));
  stop = true;
  for (std::thread& t : senders) t.join();
  EXPECT_EQ(odd, 0);
  EXPECT_TRUE(client.IsKeepAliveRunning()) << "the keep-alive outlives the socket without harm";
  client.Shutdown();
}

TEST_F(MessageClientTest, BuiltInServerIsTheLoopbackOnPort3360) {
  if (strcmp(QUILLON_MESSAGE_SERVER, "127.0.0.1") != 0) GTEST_SKIP() << "built for another server";
  UdpPeer server(htonl(INADDR_LOOPBACK), 3360);
  if (!server.IsBound()) GTEST_SKIP() << "port 3360 is in use on this machine";
  CMessageClient client(nullptr);
  client.StartReceiver();
  client.SendOfflineNotice("demo");
  std::optional<Bytes> got = server.Receive(2000);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(*got, Notice(2, "demo"));
}

}  // namespace
