// The access server's request handling, driven directly with a fake clock, and over real sockets
// for what only the network shows: partial requests, garbage, many clients, vanishing clients.
#include "testbed/access-server/AccessServer.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace testbed {
namespace {

class CFakeHost : public IServerHost {
 public:
  void Send(ClientId client, const std::string& text) override { m_sent[client] += text; }
  void CloseAfterSend(ClientId client) override { closed.insert(client); }
  std::uint64_t MonotonicMs() override { return now; }
  std::int64_t WallSeconds() override { return wall; }

  // The lines sent to the client since the last call.
  std::vector<std::string> Take(ClientId client) {
    std::vector<std::string> lines;
    std::istringstream stream(m_sent[client]);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    m_sent[client].clear();
    return lines;
  }

  std::uint64_t now = 5000;
  std::int64_t wall = 1700000000;
  std::set<ClientId> closed;

 private:
  std::map<ClientId, std::string> m_sent;
};

class ServerCore : public ::testing::Test {
 protected:
  void SetUp() override { Restart(Config()); }

  static ServerConfig Config() {
    ServerConfig config;
    config.accounts = {{"demo", "demo1234"}, {"alice", "secret"}, {"bob", "pw"}, {"carol", "pw"}};
    ParseIpv4("203.0.113.10", &config.poolFirst);
    ParseIpv4("203.0.113.12", &config.poolLast);
    return config;
  }

  void Restart(const ServerConfig& config) {
    server = std::make_unique<CAccessServer>(config, &host, 70000);
    for (ClientId c = 1; c <= 9; ++c) server->OnConnect(c);
  }

  std::vector<std::string> Request(ClientId client, const std::string& line) {
    const std::string text = line + "\n";
    server->OnData(client, text.data(), text.size());
    return host.Take(client);
  }

  // The single status line that answers a request.
  std::string Answer(ClientId client, const std::string& line) {
    const auto lines = Request(client, line);
    EXPECT_EQ(lines.size(), 1u) << line;
    return lines.empty() ? std::string() : lines.back();
  }

  // Dials and returns the session id (0 on refusal).
  std::uint32_t Dial(ClientId client, const std::string& user, const std::string& password) {
    Status status;
    if (!ParseStatus(Answer(client, "DIAL " + user + " " + password + " entry pppoe dev"), &status) ||
        !status.ok) {
      return 0;
    }
    std::uint64_t id = 0;
    ParseNumber(SplitWords(status.rest)[0], UINT32_MAX, &id);
    return static_cast<std::uint32_t>(id);
  }

  SessionInfo Stat(std::uint32_t id) {
    const auto lines = Request(1, "STAT " + std::to_string(id));
    SessionInfo session;
    EXPECT_EQ(lines.size(), 2u);
    if (lines.size() == 2) {
      EXPECT_TRUE(ParseSessionWords(SplitWords(lines[0]), 1, &session)) << lines[0];
    }
    return session;
  }

  CFakeHost host;
  std::unique_ptr<CAccessServer> server;
};

TEST_F(ServerCore, DialAssignsTheLowestFreeAddressOfThePool) {
  EXPECT_EQ(Answer(1, "DIAL demo demo1234"), "OK 70000 203.0.113.10 1700000000");
  EXPECT_EQ(Answer(2, "DIAL alice secret"), "OK 70001 203.0.113.11 1700000000");
  EXPECT_EQ(Answer(1, "HANGUP 70000"), "OK");
  EXPECT_EQ(Answer(3, "DIAL bob pw"), "OK 70002 203.0.113.10 1700000000") << "a freed address is reused";
}

TEST_F(ServerCore, SessionsCarryTheDialledEntryAndDevice) {
  const std::uint32_t id = Dial(1, "demo", "demo1234");
  const SessionInfo session = Stat(id);
  EXPECT_EQ(session.user, "demo");
  EXPECT_EQ(session.entry, "entry");
  EXPECT_EQ(session.deviceType, "pppoe");
  EXPECT_EQ(session.deviceName, "dev");
  EXPECT_EQ(session.bps, 10000000u);
}

TEST_F(ServerCore, RefusesBadCredentialsAndASecondLoginWith691) {
  for (const char* request :
       {"DIAL demo wrong", "DIAL nobody demo1234", "DIAL DEMO demo1234", "DIAL demo Demo1234"}) {
    EXPECT_EQ(Answer(1, request).substr(0, 8), "ERR 691 ") << request;
  }
  ASSERT_NE(Dial(1, "demo", "demo1234"), 0u);
  EXPECT_EQ(Answer(2, "DIAL demo demo1234"), "ERR 691 account already online");
  EXPECT_EQ(server->Sessions().size(), 1u);
}

TEST_F(ServerCore, AnExhaustedPoolRefusesWith738) {
  ASSERT_NE(Dial(1, "demo", "demo1234"), 0u);
  ASSERT_NE(Dial(1, "alice", "secret"), 0u);
  ASSERT_NE(Dial(1, "bob", "pw"), 0u);
  EXPECT_EQ(Answer(1, "DIAL carol pw"), "ERR 738 address pool exhausted");
}

TEST_F(ServerCore, InjectedFailuresHitTheNextAttemptsThenStop) {
  EXPECT_EQ(Answer(9, "FAIL 718 2"), "OK");
  EXPECT_EQ(Answer(1, "DIAL demo demo1234"), "ERR 718 injected failure");
  EXPECT_EQ(Answer(1, "DIAL demo demo1234"), "ERR 718 injected failure");
  EXPECT_NE(Dial(1, "demo", "demo1234"), 0u);

  EXPECT_EQ(Answer(9, "FAIL 678"), "OK");
  EXPECT_EQ(Answer(2, "DIAL alice secret"), "ERR 678 injected failure") << "once when no count is given";
  EXPECT_NE(Dial(2, "alice", "secret"), 0u);

  EXPECT_EQ(Answer(9, "FAIL 651 5"), "OK");
  EXPECT_EQ(Answer(9, "FAIL 0"), "OK");
  EXPECT_NE(Dial(3, "bob", "pw"), 0u) << "FAIL 0 clears what was pending";
}

TEST_F(ServerCore, NegotiationTimeHoldsTheReplyAndTheClientsLaterRequests) {
  EXPECT_EQ(Answer(9, "DELAY 500"), "OK");
  EXPECT_TRUE(Request(1, "DIAL demo demo1234\nPING").empty());
  EXPECT_EQ(server->MillisecondsToNextTimer(), 500);
  EXPECT_EQ(Answer(2, "LIST"), "OK 0") << "other clients are served meanwhile";
  host.now += 499;
  server->OnTimer();
  EXPECT_TRUE(host.Take(1).empty());
  EXPECT_EQ(server->MillisecondsToNextTimer(), 1);
  host.now += 1;
  server->OnTimer();
  const auto lines = host.Take(1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 9), "OK 70000 ");
  EXPECT_EQ(lines[1], "OK") << "the PING that waited behind the dial";
  EXPECT_EQ(server->MillisecondsToNextTimer(), -1);
}

TEST_F(ServerCore, ADialAbandonedByItsClientCreatesNoSession) {
  Answer(9, "DELAY 100");
  Request(1, "DIAL demo demo1234");
  EXPECT_EQ(server->PendingDials(), 1u);
  server->OnDisconnect(1);
  EXPECT_EQ(server->PendingDials(), 0u);
  host.now += 200;
  server->OnTimer();
  EXPECT_TRUE(server->Sessions().empty());
}

TEST_F(ServerCore, TrafficGrowsEverySecondAndARateChangeKeepsWhatFlowed) {
  const std::uint32_t id = Dial(1, "demo", "demo1234");
  host.now += 2000;
  SessionInfo s = Stat(id);
  EXPECT_EQ(s.durationMs, 2000u);
  EXPECT_EQ(s.bytesReceived, 40000u);
  EXPECT_EQ(s.bytesSent, 10000u);
  EXPECT_EQ(Answer(9, "TRAFFIC 1000 0"), "OK");
  host.now += 1500;
  s = Stat(id);
  EXPECT_EQ(s.bytesReceived, 41500u);
  EXPECT_EQ(s.bytesSent, 10000u);
  EXPECT_EQ(s.durationMs, 3500u);
}

TEST_F(ServerCore, WatchersLearnOfEverySessionThatStartsOrEnds) {
  const std::uint32_t before = Dial(2, "alice", "secret");
  auto lines = Request(9, "WATCH");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 14), "SESSION " + std::to_string(before) + " ");
  EXPECT_EQ(lines[1], "OK 1");

  const std::uint32_t id = Dial(1, "demo", "demo1234");
  lines = host.Take(9);
  ASSERT_EQ(lines.size(), 1u);
  const auto words = SplitWords(lines[0]);
  SessionInfo up;
  ASSERT_TRUE(words.size() > 2 && words[0] == "EVENT" && words[1] == "UP" &&
              ParseSessionWords(words, 2, &up));
  EXPECT_EQ(up.id, id);
  EXPECT_EQ(up.user, "demo");

  Answer(1, "HANGUP " + std::to_string(id));
  EXPECT_EQ(host.Take(9), std::vector<std::string>{"EVENT DOWN " + std::to_string(id) + " hangup"});

  EXPECT_EQ(Answer(3, "DROP alice"), "OK 1");
  EXPECT_EQ(host.Take(9), std::vector<std::string>{"EVENT DOWN " + std::to_string(before) + " drop"});
}

TEST_F(ServerCore, DropSelectsByIdUserOrAll) {
  const std::uint32_t a = Dial(1, "demo", "demo1234");
  Dial(1, "alice", "secret");
  Dial(1, "bob", "pw");
  EXPECT_EQ(Answer(9, "DROP " + std::to_string(a)), "OK 1");
  EXPECT_EQ(Answer(9, "DROP nobody"), "OK 0");
  EXPECT_EQ(Answer(9, "DROP bob"), "OK 1");
  EXPECT_EQ(Answer(9, "DROP all"), "OK 1");
  EXPECT_TRUE(server->Sessions().empty());
  EXPECT_EQ(Answer(9, "DROP ALL"), "OK 0");
}

TEST_F(ServerCore, UnknownSessionsAnswer6) {
  EXPECT_EQ(Answer(1, "HANGUP 70000"), "ERR 6 no such session");
  EXPECT_EQ(Answer(1, "STAT 4294967295"), "ERR 6 no such session");
  const std::uint32_t id = Dial(1, "demo", "demo1234");
  EXPECT_EQ(Answer(1, "HANGUP " + std::to_string(id)), "OK");
  EXPECT_EQ(Answer(1, "HANGUP " + std::to_string(id)), "ERR 6 no such session") << "a session ends once";
}

TEST_F(ServerCore, MalformedRequestsGetOneErrorEachAndTheServerGoesOn) {
  const char* requests[] = {"",
                            "   ",
                            "FOO",
                            "DIAL",
                            "DIAL onlyuser",
                            "DIAL a b c d e f",
                            "DIAL de%ZZ x",
                            "HANGUP",
                            "HANGUP x",
                            "HANGUP 1 2",
                            "STAT -1",
                            "STAT 99999999999",
                            "LIST extra",
                            "WATCH extra",
                            "DROP",
                            "DROP a b",
                            "DROP %G",
                            "FAIL",
                            "FAIL x",
                            "FAIL 678 0",
                            "FAIL 678 1 2",
                            "FAIL 100000",
                            "DELAY",
                            "DELAY 600001",
                            "TRAFFIC 1",
                            "TRAFFIC a b",
                            "TRAFFIC 1000000001 1",
                            "PING x",
                            "STOP now",
                            "LIFELINE x",
                            "\x01\x02\xff\xfe",
                            "\x7f"};
  for (const char* request : requests) {
    const auto lines = Request(1, request);
    ASSERT_EQ(lines.size(), 1u) << "\"" << request << "\"";
    EXPECT_EQ(lines[0].substr(0, 8), "ERR 400 ") << "\"" << request << "\"";
  }
  EXPECT_EQ(Answer(1, "PING"), "OK");
  EXPECT_FALSE(server->StopRequested());
  EXPECT_TRUE(server->Sessions().empty());
  EXPECT_TRUE(host.closed.empty());
}

TEST_F(ServerCore, AnEndlessLineClosesOnlyThatClient) {
  const std::string junk(kMaxLineLength + 100, 'x');
  server->OnData(1, junk.data(), junk.size());
  EXPECT_EQ(host.Take(1), std::vector<std::string>{"ERR 400 request too long"});
  EXPECT_EQ(host.closed, std::set<ClientId>{1});
  server->OnData(1, "PING\n", 5);
  EXPECT_TRUE(host.Take(1).empty()) << "nothing more is read from a client being closed";
  EXPECT_EQ(Answer(2, "PING"), "OK");
}

TEST_F(ServerCore, PipelinedAndSplitRequestsAreAnsweredInOrder) {
  EXPECT_EQ(Request(1, "ping\nLIST\r\nPiNg"), (std::vector<std::string>{"OK", "OK 0", "OK"}));
  server->OnData(2, "LI", 2);
  EXPECT_TRUE(host.Take(2).empty());
  server->OnData(2, "ST\n", 3);
  EXPECT_EQ(host.Take(2), std::vector<std::string>{"OK 0"});
}

TEST_F(ServerCore, TheServerEndsWithItsLifeline) {
  EXPECT_EQ(Answer(5, "LIFELINE"), "OK");
  server->OnDisconnect(4);
  EXPECT_FALSE(server->StopRequested()) << "other clients come and go";
  server->OnDisconnect(5);
  EXPECT_TRUE(server->StopRequested());
}

TEST_F(ServerCore, StopIsAnsweredThenRequested) {
  EXPECT_EQ(Answer(1, "STOP"), "OK");
  EXPECT_TRUE(server->StopRequested());
}

// Random requests from a vocabulary of verbs and awkward arguments, sent in random pieces by
// several clients while the clock jumps: every request line gets exactly one status line, and
// nothing else comes back but sessions and events.
TEST_F(ServerCore, RandomRequestsAlwaysGetExactlyOneStatusEach) {
  const std::vector<std::string> verbs = {"DIAL",  "HANGUP",  "STAT", "LIST", "WATCH", "DROP", "FAIL",
                                          "DELAY", "TRAFFIC", "PING", "dial", "Stop",  "NOPE", ""};
  const std::vector<std::string> words = {"demo",  "demo1234",
                                          "alice", "secret",
                                          "0",     "1",
                                          "70000", "70001",
                                          "all",   "%",
                                          "%zz",   "-",
                                          "%2D",   "691",
                                          "300",   "4294967296",
                                          "-1",    "\x01\xff",
                                          "宽带",  "bob",
                                          "pw",    std::string(300, 'w')};
  std::mt19937 random(20240501);
  std::map<ClientId, int> requests;
  for (int round = 0; round < 3000; ++round) {
    const ClientId client = 1 + random() % 6;
    std::string line = verbs[random() % verbs.size()];
    const int count = static_cast<int>(random() % 6);
    for (int i = 0; i < count; ++i) line += (random() % 4 ? " " : "  ") + words[random() % words.size()];
    line += random() % 3 ? "\n" : "\r\n";
    ++requests[client];
    // The line arrives in up to three pieces.
    std::size_t sent = 0;
    while (sent < line.size()) {
      const std::size_t piece = std::min<std::size_t>(line.size() - sent, 1 + random() % line.size());
      server->OnData(client, line.data() + sent, piece);
      sent += piece;
    }
    if (random() % 10 == 0) {
      host.now += random() % 400;
      server->OnTimer();
    }
  }
  // A completed dial lets the requests queued behind it run, which may start another dial.
  for (int i = 0; i < 100000 && server->PendingDials() > 0; ++i) {
    host.now += 600000;
    server->OnTimer();
  }
  ASSERT_EQ(server->PendingDials(), 0u);
  for (const auto& entry : requests) {
    int statuses = 0;
    for (const std::string& line : host.Take(entry.first)) {
      if (IsStatusLine(line)) {
        Status status;
        EXPECT_TRUE(ParseStatus(line, &status)) << line;
        ++statuses;
      } else {
        EXPECT_TRUE(line.rfind("SESSION ", 0) == 0 || line.rfind("EVENT ", 0) == 0) << line;
      }
    }
    EXPECT_EQ(statuses, entry.second) << "client " << entry.first;
  }
  EXPECT_TRUE(host.closed.empty());
  server->OnConnect(20);
  EXPECT_EQ(Answer(20, "PING"), "OK");
}

}  // namespace
}  // namespace testbed
