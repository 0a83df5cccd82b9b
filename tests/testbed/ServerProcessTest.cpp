// The access server as a program: its command line, its accounts file, and the serving loop on
// real sockets (partial requests, garbage, many clients at once, clients that vanish, ctl).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testbed/access-server/CtlClient.h"
#include "testbed/access-server/ServerLoop.h"
#include "testbed/access-server/ServerOptions.h"

namespace testbed {
namespace {

TEST(ServerOptions, DefaultsAreTheDemoAccountPortAndPool) {
  ServerOptions options;
  std::string error;
  ASSERT_TRUE(ParseServeArguments({}, &options, &error)) << error;
  EXPECT_EQ(options.port, 3390);
  EXPECT_EQ(options.config.accounts, (std::map<std::string, std::string>{{"demo", "demo1234"}}));
  EXPECT_EQ(FormatIpv4(options.config.poolFirst), "203.0.113.10");
  EXPECT_EQ(FormatIpv4(options.config.poolLast), "203.0.113.250");
  EXPECT_EQ(options.config.delayMs, 0u);
  EXPECT_EQ(options.config.downRate, 20000u);
  EXPECT_EQ(options.config.upRate, 5000u);
}

TEST(ServerOptions, EveryOptionIsTaken) {
  char path[] = "/tmp/accounts-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << "# subscribers\nalice secret\r\n\n  bob   pw  \n";
  ServerOptions options;
  std::string error;
  ASSERT_TRUE(ParseServeArguments({"--port", "0", "--accounts", path, "--pool", "10.0.0.1-10.0.0.2",
                                   "--delay", "250", "--port-file", "/tmp/p"},
                                  &options, &error))
      << error;
  std::remove(path);
  EXPECT_EQ(options.port, 0);
  EXPECT_EQ(options.config.accounts,
            (std::map<std::string, std::string>{{"alice", "secret"}, {"bob", "pw"}}));
  EXPECT_EQ(FormatIpv4(options.config.poolFirst), "10.0.0.1");
  EXPECT_EQ(FormatIpv4(options.config.poolLast), "10.0.0.2");
  EXPECT_EQ(options.config.delayMs, 250u);
  EXPECT_EQ(options.portFile, "/tmp/p");
}

TEST(ServerOptions, MistakesAreReported) {
  const std::vector<std::vector<std::string>> cases = {
      {"--port"},
      {"--port", "65536"},
      {"--port", "x"},
      {"--delay", "-1"},
      {"--delay", "600001"},
      {"--pool", "10.0.0.2-10.0.0.1"},
      {"--pool", "10.0.0.1"},
      {"--accounts", "/nonexistent/accounts"},
      {"--verbose"},
      {"3390"},
  };
  for (const auto& args : cases) {
    ServerOptions options;
    std::string error;
    EXPECT_FALSE(ParseServeArguments(args, &options, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(ServerOptions, AccountsFileLinesMustBeUserAndPassword) {
  std::map<std::string, std::string> accounts;
  std::string error;
  EXPECT_TRUE(ParseAccounts("", &accounts, &error));
  EXPECT_TRUE(accounts.empty());
  EXPECT_FALSE(ParseAccounts("demo\n", &accounts, &error));
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  EXPECT_FALSE(ParseAccounts("a b\n\na b c\n", &accounts, &error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  EXPECT_FALSE(ParseAccounts("a b\na c\n", &accounts, &error)) << "a user listed twice";
}

// The serving loop on a thread of the test, on a free port.
class CLiveServer {
 public:
  explicit CLiveServer(ServerConfig config = DefaultConfig()) : m_loop(std::move(config), 80000) {
    std::string error;
    EXPECT_TRUE(m_loop.Listen(0, &error)) << error;
    m_thread = std::thread([this] { m_result = m_loop.Run(); });
  }
  ~CLiveServer() {
    m_loop.Stop();
    if (m_thread.joinable()) m_thread.join();
  }
  static ServerConfig DefaultConfig() {
    ServerOptions options;
    std::string error;
    ParseServeArguments({}, &options, &error);
    return options.config;
  }
  int Port() const { return m_loop.Port(); }
  // Waits for Run to end by itself.
  bool Ended(int timeoutMs) {
    for (int i = 0; i < timeoutMs / 10 && !m_done(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!m_done()) return false;
    m_thread.join();
    return true;
  }

 private:
  bool m_done() const { return m_result >= 0; }

  CServerLoop m_loop;
  std::thread m_thread;
  volatile int m_result = -1;
};

class CClient {
 public:
  explicit CClient(int port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  }
  ~CClient() { Close(); }
  void Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
  }
  bool Connected() const { return m_connected; }
  void Send(const std::string& text) {
    ASSERT_EQ(send(m_fd, text.data(), text.size(), MSG_NOSIGNAL), (ssize_t)text.size());
  }
  // The next line, or "<timeout>" / "<closed>".
  std::string ReadLine(int timeoutMs = 3000) {
    for (;;) {
      std::string line;
      if (m_input.NextLine(&line)) return line;
      pollfd fd{m_fd, POLLIN, 0};
      if (poll(&fd, 1, timeoutMs) <= 0) return "<timeout>";
      char buffer[4096];
      const ssize_t got = recv(m_fd, buffer, sizeof(buffer), 0);
      if (got <= 0) return "<closed>";
      m_input.Append(buffer, static_cast<std::size_t>(got));
    }
  }
  std::string Ask(const std::string& request) {
    Send(request + "\n");
    return ReadLine();
  }

 private:
  int m_fd;
  bool m_connected = false;
  CLineBuffer m_input;
};

// A dial of demo's own entry on a PPPoE device with PPP framing.
std::string DialRequest(const std::string& entry = "entry", const std::string& teardownMs = "") {
  return "DIAL demo demo1234 " + entry + " pppoe dev 1" + (teardownMs.empty() ? "" : " " + teardownMs);
}

TEST(ServerLoop, APartialRequestStallsNobody) {
  CLiveServer server;
  CClient slow(server.Port());
  CClient quick(server.Port());
  slow.Send("LI");
  EXPECT_EQ(quick.Ask("PING"), "OK");
  EXPECT_EQ(slow.ReadLine(100), "<timeout>");
  slow.Send("ST\n");
  EXPECT_EQ(slow.ReadLine(), "OK 0");
}

TEST(ServerLoop, GarbageGetsAnErrorAndTheConnectionStaysUsable) {
  CLiveServer server;
  CClient client(server.Port());
  const char garbage[] = "\x00\x01\xfe garbage \x00\n";
  client.Send(std::string(garbage, sizeof(garbage) - 1));
  EXPECT_EQ(client.ReadLine().substr(0, 8), "ERR 400 ");
  EXPECT_EQ(client.Ask("PING"), "OK");
}

TEST(ServerLoop, AnEndlessLineIsAnsweredAndTheConnectionClosed) {
  CLiveServer server;
  CClient client(server.Port());
  client.Send(std::string(3 * kMaxLineLength, 'x'));
  EXPECT_EQ(client.ReadLine(), "ERR 400 request too long");
  EXPECT_EQ(client.ReadLine(), "<closed>");
  CClient other(server.Port());
  EXPECT_EQ(other.Ask("PING"), "OK");
}

TEST(ServerLoop, ManyClientsAtOnce) {
  CLiveServer server;
  std::vector<std::unique_ptr<CClient>> clients;
  for (int i = 0; i < 100; ++i) {
    clients.push_back(std::make_unique<CClient>(server.Port()));
    ASSERT_TRUE(clients.back()->Connected());
  }
  for (auto& client : clients) client->Send("LIST\n");
  for (auto& client : clients) EXPECT_EQ(client->ReadLine(), "OK 0");
  EXPECT_EQ(clients[0]->Ask(DialRequest()).substr(0, 5), "LINE ");
  EXPECT_EQ(clients[0]->ReadLine().substr(0, 3), "OK ");
  for (auto& client : clients) client->Send("LIST\n");
  for (auto& client : clients) {
    EXPECT_EQ(client->ReadLine().substr(0, 8), "SESSION ");
    EXPECT_EQ(client->ReadLine(), "OK 1");
  }
}

TEST(ServerLoop, ConnectionsBeyondTheLimitAreClosedAndTheRestServed) {
  CLiveServer server;
  std::vector<std::unique_ptr<CClient>> clients;
  for (std::size_t i = 0; i < CServerLoop::kMaxClients + 5; ++i) {
    clients.push_back(std::make_unique<CClient>(server.Port()));
  }
  EXPECT_EQ(clients.back()->Ask("PING"), "<closed>");
  EXPECT_EQ(clients.front()->Ask("PING"), "OK");
  clients.resize(10);
  CClient late(server.Port());
  EXPECT_EQ(late.Ask("PING"), "OK") << "room again once others left";
}

TEST(ServerLoop, AClientThatVanishesDuringItsDialLeavesNoSession) {
  CLiveServer server;
  CClient control(server.Port());
  EXPECT_EQ(control.Ask("DELAY 60000"), "OK");
  {
    CClient dialer(server.Port());
    EXPECT_EQ(dialer.Ask(DialRequest("entry", "0")).substr(0, 5), "LINE ");
  }
  // The hung-up dial tears down at once; the server then knows no line and counts the abort.
  for (int i = 0; i < 300 && control.Ask("LIST") != "OK 0"; ++i) {
    while (control.ReadLine(0) != "<timeout>") {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(control.Ask("LIST"), "OK 0");
  EXPECT_EQ(control.Ask("COUNTS demo"), "COUNT demo 1 0 1 0 0");
  EXPECT_EQ(control.ReadLine(), "OK 1");
  EXPECT_EQ(control.Ask("DELAY 0"), "OK");
  EXPECT_EQ(control.Ask(DialRequest()).substr(0, 5), "LINE ");
  EXPECT_EQ(control.ReadLine().substr(0, 3), "OK ") << "the account is not left online";
}

TEST(ServerLoop, SubscribersHearOfSessionsOverTheWire) {
  CLiveServer server;
  CClient watcher(server.Port());
  CClient dialer(server.Port());
  EXPECT_EQ(watcher.Ask("WATCH"), "OK 0");
  ASSERT_EQ(dialer.Ask(DialRequest()).substr(0, 5), "LINE ");
  const std::string reply = dialer.ReadLine();
  ASSERT_EQ(reply.substr(0, 3), "OK ");
  const std::string id(SplitWords(reply)[1]);
  EXPECT_EQ(watcher.ReadLine().substr(0, 9 + id.size() + 1), "EVENT UP " + id + " ");
  CClient control(server.Port());
  EXPECT_EQ(control.Ask("DROP all"), "OK 1");
  EXPECT_EQ(watcher.ReadLine(), "EVENT DOWN " + id + " drop");
}

TEST(ServerLoop, StopEndsTheServer) {
  CLiveServer server;
  CClient client(server.Port());
  EXPECT_EQ(client.Ask("STOP"), "OK");
  EXPECT_TRUE(server.Ended(3000));
}

TEST(ServerLoop, LosingTheLifelineEndsTheServer) {
  CLiveServer server;
  auto holder = std::make_unique<CClient>(server.Port());
  EXPECT_EQ(holder->Ask("LIFELINE"), "OK");
  CClient other(server.Port());
  EXPECT_EQ(other.Ask("PING"), "OK");
  EXPECT_FALSE(server.Ended(100));
  holder.reset();
  EXPECT_TRUE(server.Ended(3000));
}

// The built program itself: the line it prints, its port file, and the signals that end it.
TEST(ServerProgram, SaysWhereItListensAndEndsOnSigtermOrSigint) {
  for (int signal : {SIGTERM, SIGINT}) {
    char portFile[] = "/tmp/access-server-port-XXXXXX";
    const int fd = mkstemp(portFile);
    ASSERT_GE(fd, 0);
    close(fd);
    std::remove(portFile);
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::vector<std::string> args = {ACCESS_SERVER_PROGRAM, "--port", "0", "--port-file", portFile};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, ACCESS_SERVER_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);

    std::string printed;
    char c = 0;
    while (read(output[0], &c, 1) == 1 && c != '\n') printed += c;
    close(output[0]);
    std::ifstream portText(portFile);
    int port = 0;
    portText >> port;
    std::remove(portFile);
    EXPECT_GT(port, 0);
    EXPECT_EQ(printed, "access-server: listening on 127.0.0.1:" + std::to_string(port));
    {
      CClient client(port);
      EXPECT_EQ(client.Ask("PING"), "OK");
    }
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "signal " << signal;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "signal " << signal;
  }
}

TEST(Ctl, ListsDropsAndReportsErrors) {
  CLiveServer server;
  const std::string port = std::to_string(server.Port());
  CClient dialer(server.Port());
  ASSERT_EQ(dialer.Ask(DialRequest()).substr(0, 5), "LINE ");
  ASSERT_EQ(dialer.ReadLine().substr(0, 3), "OK ");

  std::ostringstream out, err;
  EXPECT_EQ(RunCtl({"--port", port, "list"}, out, err), 0) << err.str();
  std::string listing = out.str();
  EXPECT_NE(listing.find(" demo 203.0.113.10 "), std::string::npos) << listing;
  EXPECT_NE(listing.find(" received "), std::string::npos) << listing;
  EXPECT_EQ(listing.substr(listing.size() - 11), " connected\n") << listing;
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1) << listing;

  out.str("");
  EXPECT_EQ(RunCtl({"--port", port, "drop", "all"}, out, err), 0);
  EXPECT_EQ(out.str(), "1\n");
  out.str("");
  EXPECT_EQ(RunCtl({"--port", port, "list"}, out, err), 0);
  listing = out.str();
  EXPECT_NE(listing.find(" closing error 629\n"), std::string::npos)
      << "a dropped line tears down: " << listing;

  err.str("");
  EXPECT_EQ(RunCtl({"--port", port, "fail", "x"}, out, err), 1);
  EXPECT_NE(err.str().find("error 400"), std::string::npos) << err.str();
  EXPECT_EQ(RunCtl({"--port", port, "fail", "678", "2"}, out, err), 0);
  EXPECT_EQ(dialer.Ask(DialRequest("other")).substr(0, 5), "LINE ");
  EXPECT_EQ(dialer.ReadLine().substr(0, 8), "ERR 678 ");
  EXPECT_EQ(dialer.Ask(DialRequest()).substr(0, 8), "ERR 633 ") << "the dropped line still tears down";

  out.str("");
  EXPECT_EQ(RunCtl({"--port", port, "counts"}, out, err), 0);
  EXPECT_EQ(out.str(), "demo: dials 3, refused 2 (633 x1 678 x1), aborted 0, sessions 1, offline\n");
  out.str("");
  EXPECT_EQ(RunCtl({"--port", port, "reset"}, out, err), 0);
  EXPECT_EQ(RunCtl({"--port", port, "list"}, out, err), 0);
  EXPECT_EQ(RunCtl({"--port", port, "counts"}, out, err), 0);
  EXPECT_EQ(out.str(), "") << "reset forgets every line and every count";
}

TEST(Ctl, UsageMistakesAndAMissingServer) {
  std::ostringstream out, err;
  EXPECT_EQ(RunCtl({}, out, err), 2);
  EXPECT_EQ(RunCtl({"--port"}, out, err), 2);
  EXPECT_EQ(RunCtl({"--port", "0", "list"}, out, err), 2);
  EXPECT_EQ(RunCtl({"--port", "1", "list"}, out, err), 2) << "nothing listens on port 1";
  EXPECT_NE(err.str().find("no server"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace testbed
