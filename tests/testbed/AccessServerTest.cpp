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

  // A DIAL of the user's own entry on a PPPoE device with PPP framing, as the stand-in sends it.
  static std::string DialRequest(const std::string& user, const std::string& password,
                                 const std::string& entry = "", const std::string& extra = "pppoe dev 1") {
    return "DIAL " + user + " " + password + " " + (entry.empty() ? "entry-" + user : entry) + " " + extra;
  }

  // The status line of a dial that completes at once; *id gets the line it announced (0 when
  // it announced none).
  std::string DialAnswer(ClientId client, const std::string& request, std::uint32_t* id = nullptr) {
    const auto lines = Request(client, request);
    std::uint32_t announced = 0;
    if (!lines.empty() && lines[0].rfind("LINE ", 0) == 0) {
      std::uint64_t value = 0;
      EXPECT_TRUE(ParseNumber(lines[0].substr(5), UINT32_MAX, &value)) << lines[0];
      announced = static_cast<std::uint32_t>(value);
    }
    EXPECT_EQ(lines.size(), announced ? 2u : 1u) << request;
    if (id) *id = announced;
    return lines.empty() ? std::string() : lines.back();
  }

  // Dials and returns the line id (0 on refusal).
  std::uint32_t Dial(ClientId client, const std::string& user, const std::string& password,
                     const std::string& entry = "") {
    std::uint32_t id = 0;
    Status status;
    if (!ParseStatus(DialAnswer(client, DialRequest(user, password, entry), &id), &status) || !status.ok) {
      return 0;
    }
    return id;
  }

  // Asked from a client of its own, which no dial holds back.
  SessionInfo Stat(std::uint32_t id) {
    const auto lines = Request(8, "STAT " + std::to_string(id));
    SessionInfo session;
    EXPECT_EQ(lines.size(), 2u);
    if (lines.size() == 2) {
      EXPECT_TRUE(ParseSessionWords(SplitWords(lines[0]), 1, &session)) << lines[0];
    }
    return session;
  }

  // The phase of a line, or "gone" when the server no longer knows it.
  std::string PhaseOf(std::uint32_t id) {
    for (const SessionInfo& line : server->Lines()) {
      if (line.id == id) return line.phase;
    }
    return "gone";
  }

  void Advance(std::uint64_t ms) {
    host.now += ms;
    server->OnTimer();
  }

  CFakeHost host;
  std::unique_ptr<CAccessServer> server;
};

TEST_F(ServerCore, DialAssignsTheLowestFreeAddressOfThePool) {
  std::uint32_t id = 0;
  EXPECT_EQ(DialAnswer(1, DialRequest("demo", "demo1234"), &id), "OK 70000 203.0.113.10 1700000000");
  EXPECT_EQ(id, 70000u) << "the line is announced before the dial ends";
  EXPECT_EQ(DialAnswer(2, DialRequest("alice", "secret")), "OK 70001 203.0.113.11 1700000000");
  EXPECT_EQ(Answer(1, "HANGUP 70000 0"), "OK");
  Advance(0);
  EXPECT_EQ(DialAnswer(3, DialRequest("bob", "pw")), "OK 70002 203.0.113.10 1700000000")
      << "a freed address is reused";
}

TEST_F(ServerCore, SessionsCarryTheDialledEntryAndDevice) {
  const std::uint32_t id = Dial(1, "demo", "demo1234", "entry");
  const SessionInfo session = Stat(id);
  EXPECT_EQ(session.user, "demo");
  EXPECT_EQ(session.entry, "entry");
  EXPECT_EQ(session.deviceType, "pppoe");
  EXPECT_EQ(session.deviceName, "dev");
  EXPECT_EQ(session.bps, 10000000u);
  EXPECT_EQ(session.phase, kPhaseConnected);
  EXPECT_EQ(session.state, kStateConnected);
  EXPECT_EQ(session.error, 0u);
}

// Every failure keeps its line, listed with the state where the dial stopped and its error, until
// the line is hung up; only then does the entry's port tear down.
TEST_F(ServerCore, FailedDialsStopWhereWindowsStopsThemAndStayUntilHungUp) {
  ASSERT_NE(Dial(1, "carol", "pw", "full"), 0u);
  struct Case {
    const char* what;
    std::string request;
    const char* injected;
    std::uint32_t error, state;
  } cases[] = {
      {"wrong password", DialRequest("demo", "wrong"), nullptr, 691, kStateAuthenticate},
      {"unknown user", DialRequest("nobody", "demo1234"), nullptr, 691, kStateAuthenticate},
      {"user names are exact", DialRequest("DEMO", "demo1234"), nullptr, 691, kStateAuthenticate},
      {"second login", DialRequest("carol", "pw"), nullptr, 691, kStateAuthenticate},
      {"a modem entry", DialRequest("demo", "demo1234", "", "modem Modem 1"), nullptr, 678,
       kStateConnectDevice},
      {"SLIP framing", DialRequest("demo", "demo1234", "", "pppoe dev 2"), nullptr, 678, kStateConnectDevice},
      {"injected no answer", DialRequest("demo", "demo1234"), "FAIL 678", 678, kStateConnectDevice},
      {"injected refusal", DialRequest("demo", "demo1234"), "FAIL 691", 691, kStateAuthenticate},
      {"injected projection failure", DialRequest("demo", "demo1234"), "FAIL 720", 720, kStateAuthProject},
  };
  for (const Case& c : cases) {
    if (c.injected) {
      EXPECT_EQ(Answer(9, c.injected), "OK");
    }
    std::uint32_t id = 0;
    const std::string answer = DialAnswer(2, c.request, &id);
    EXPECT_EQ(answer.substr(0, 8), "ERR " + std::to_string(c.error) + " ") << c.what;
    ASSERT_NE(id, 0u) << c.what;
    const SessionInfo line = Stat(id);
    EXPECT_EQ(line.phase, kPhaseFailed) << c.what;
    EXPECT_EQ(line.state, c.state) << c.what;
    EXPECT_EQ(line.error, c.error) << c.what;
    EXPECT_EQ(Answer(2, "HANGUP " + std::to_string(id) + " 0"), "OK") << c.what;
    Advance(0);
    EXPECT_EQ(PhaseOf(id), "gone") << c.what;
  }
  EXPECT_EQ(server->Sessions().size(), 1u);

  // The pool has three addresses.
  ASSERT_NE(Dial(1, "demo", "demo1234"), 0u);
  ASSERT_NE(Dial(1, "alice", "secret"), 0u);
  std::uint32_t id = 0;
  EXPECT_EQ(DialAnswer(1, DialRequest("bob", "pw"), &id), "ERR 738 address pool exhausted");
  EXPECT_EQ(Stat(id).state, kStateAuthProject);
}

TEST_F(ServerCore, InjectedFailuresHitTheNextAttemptsThatReachTheConcentrator) {
  EXPECT_EQ(Answer(9, "FAIL 718 2"), "OK");
  EXPECT_EQ(DialAnswer(1, DialRequest("demo", "demo1234", "a")), "ERR 718 injected failure");
  EXPECT_EQ(DialAnswer(1, DialRequest("demo", "demo1234", "b", "modem Modem 1")).substr(0, 8), "ERR 678 ")
      << "a line that is not PPPoE never reaches the concentrator";
  EXPECT_EQ(DialAnswer(1, DialRequest("demo", "demo1234", "c")), "ERR 718 injected failure");
  EXPECT_NE(Dial(1, "demo", "demo1234", "d"), 0u);

  EXPECT_EQ(Answer(9, "FAIL 678"), "OK");
  EXPECT_EQ(DialAnswer(2, DialRequest("alice", "secret")), "ERR 678 injected failure")
      << "once when no count is given";
  EXPECT_NE(Dial(2, "alice", "secret", "e"), 0u);

  EXPECT_EQ(Answer(9, "FAIL 651 5"), "OK");
  EXPECT_EQ(Answer(9, "FAIL 0"), "OK");
  EXPECT_NE(Dial(3, "bob", "pw"), 0u) << "FAIL 0 clears what was pending";
}

// A dial is listed from its first moment and walks the remote-access states evenly over the
// negotiation time; a failing one stops where it fails.
TEST_F(ServerCore, ADialWalksTheStatesOfAPppoeDialThenConnects) {
  EXPECT_EQ(Answer(9, "DELAY 1000"), "OK");
  EXPECT_EQ(Request(1, DialRequest("demo", "demo1234")), std::vector<std::string>{"LINE 70000"});
  const std::uint32_t walk[] = {kStateOpenPort,        kStatePortOpened,          kStateConnectDevice,
                                kStateDeviceConnected, kStateAllDevicesConnected, kStateAuthenticate,
                                kStateAuthNotify,      kStateAuthProject,         kStateAuthenticated,
                                kStateProjected};
  for (std::uint32_t expected : walk) {
    const SessionInfo line = Stat(70000);
    EXPECT_EQ(line.phase, kPhaseDialing);
    EXPECT_EQ(line.state, expected);
    EXPECT_EQ(line.address, "");
    EXPECT_EQ(Request(2, "LIST"), (std::vector<std::string>{"SESSION " + FormatSessionWords(line), "OK 1"}))
        << "listed while it dials";
    Advance(100);
  }
  const auto lines = host.Take(1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(0, 9), "OK 70000 ");
  EXPECT_EQ(Stat(70000).state, kStateConnected);

  EXPECT_EQ(Answer(9, "FAIL 678"), "OK");
  EXPECT_EQ(Request(2, DialRequest("alice", "secret")), std::vector<std::string>{"LINE 70001"});
  std::vector<std::uint32_t> seen;
  for (int step = 0; step < 10; ++step, Advance(100)) {
    if (seen.empty() || seen.back() != Stat(70001).state) seen.push_back(Stat(70001).state);
  }
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{kStateOpenPort, kStatePortOpened, kStateConnectDevice}))
      << "a line that does not answer waits at ConnectDevice";
  EXPECT_EQ(host.Take(2), std::vector<std::string>{"ERR 678 injected failure"});
}

// One line per entry: while it dials, tears down or is held the entry cannot be dialled again; a
// connected entry hands back its connection.
TEST_F(ServerCore, OneLinePerEntryWhateverItsPhase) {
  EXPECT_EQ(Answer(9, "DELAY 500"), "OK");
  EXPECT_EQ(Request(1, DialRequest("demo", "demo1234", "shared")), std::vector<std::string>{"LINE 70000"});
  EXPECT_EQ(Answer(2, DialRequest("alice", "secret", "SHARED")), "ERR 756 the entry is being dialled")
      << "entry names compare without regard to case";
  EXPECT_EQ(Request(3, DialRequest("bob", "pw", "other")), std::vector<std::string>{"LINE 70001"})
      << "another entry dials beside it";
  Advance(500);
  EXPECT_EQ(host.Take(1).at(0).substr(0, 9), "OK 70000 ");
  const SessionInfo connected = Stat(70000);
  EXPECT_EQ(Answer(2, DialRequest("alice", "secret", "shared")),
            "OK 70000 " + connected.address + " " + std::to_string(connected.start))
      << "no new line for a connected entry";

  EXPECT_EQ(Answer(1, "HANGUP 70000 300"), "OK");
  EXPECT_EQ(Stat(70000).phase, kPhaseClosing);
  EXPECT_EQ(Stat(70000).state, kStateDisconnected);
  EXPECT_EQ(Answer(2, DialRequest("alice", "secret", "shared")), "ERR 633 the entry's port is closing");
  Advance(299);
  EXPECT_EQ(Answer(2, DialRequest("alice", "secret", "shared")).substr(0, 8), "ERR 633 ");
  Advance(1);
  EXPECT_EQ(PhaseOf(70000), "gone");

  EXPECT_EQ(Answer(9, "DELAY 0"), "OK");
  std::uint32_t failed = 0;
  EXPECT_EQ(DialAnswer(2, DialRequest("alice", "wrong", "shared"), &failed).substr(0, 8), "ERR 691 ");
  EXPECT_EQ(Answer(4, DialRequest("alice", "secret", "shared")), "ERR 602 the entry's port is still open")
      << "a failed dial holds the port until it is hung up";
  EXPECT_EQ(Answer(2, "HANGUP " + std::to_string(failed)), "OK");
  Advance(999);
  EXPECT_EQ(Answer(4, DialRequest("alice", "secret", "shared")).substr(0, 8), "ERR 633 ")
      << "tear-down takes a second when the hang-up names no time";
  Advance(1);
  EXPECT_NE(Dial(4, "alice", "secret", "shared"), 0u);

  const AccountCounts alice = server->CountsOf("alice");
  EXPECT_EQ(alice.dials, 8u);
  EXPECT_EQ(alice.Refused(756), 1u);
  EXPECT_EQ(alice.Refused(633), 3u);
  EXPECT_EQ(alice.Refused(602), 1u);
  EXPECT_EQ(alice.Refused(691), 1u);
  EXPECT_EQ(alice.sessions, 1u);
  EXPECT_TRUE(alice.online);
}

// A line dropped at the server tears down with the time its dialler asked for, then stays held
// while the handle that dialled it is neither hung up nor let go.
TEST_F(ServerCore, ADroppedLineTearsDownAndIsHeldUntilItsHandleIsHungUp) {
  std::uint32_t id = 0;
  ASSERT_EQ(DialAnswer(1, DialRequest("demo", "demo1234", "", "pppoe dev 1 400"), &id).substr(0, 3), "OK ");
  Advance(2000);
  EXPECT_EQ(Answer(9, "DROP demo"), "OK 1");
  SessionInfo line = Stat(id);
  EXPECT_EQ(line.phase, kPhaseClosing);
  EXPECT_EQ(line.state, kStateDisconnected);
  EXPECT_EQ(line.error, 629u);
  EXPECT_EQ(line.durationMs, 2000u);
  EXPECT_EQ(line.bytesReceived, 40000u) << "the counters stop where the line ended";
  EXPECT_TRUE(server->Sessions().empty()) << "the account is offline at once";
  EXPECT_EQ(Answer(2, DialRequest("demo", "demo1234")).substr(0, 8), "ERR 633 ");
  Advance(400);
  EXPECT_EQ(Stat(id).phase, kPhaseHeld);
  EXPECT_EQ(Stat(id).bytesReceived, 40000u);
  EXPECT_EQ(Answer(2, DialRequest("demo", "demo1234")).substr(0, 8), "ERR 602 ");
  Advance(60000);
  EXPECT_EQ(PhaseOf(id), kPhaseHeld) << "held for as long as the handle is";
  EXPECT_EQ(Answer(2, "HANGUP " + std::to_string(id)), "OK");
  EXPECT_EQ(PhaseOf(id), "gone") << "torn down already: the hang-up lets it go at once";
  EXPECT_NE(Dial(2, "demo", "demo1234"), 0u);

  // A line whose dialler went away is let go after its tear-down.
  ASSERT_NE(id = Dial(3, "alice", "secret"), 0u);
  server->OnDisconnect(3);
  EXPECT_EQ(PhaseOf(id), kPhaseConnected) << "a connection outlives the process that dialled it";
  EXPECT_EQ(Answer(9, "DROP alice"), "OK 1");
  Advance(1000);
  EXPECT_EQ(PhaseOf(id), "gone");
}

// What becomes of the lines of a dialler that hangs up or goes away in every phase.
TEST_F(ServerCore, HangingUpOrGoingAwayEndsEveryPhase) {
  EXPECT_EQ(Answer(9, "DELAY 5000"), "OK");
  EXPECT_EQ(Request(1, DialRequest("demo", "demo1234") + "\nPING"), std::vector<std::string>{"LINE 70000"});
  Advance(1000);
  EXPECT_EQ(Answer(2, "HANGUP 70000 200"), "OK") << "a hang-up from another connection";
  EXPECT_EQ(host.Take(1), (std::vector<std::string>{"ERR 631 hung up while dialling", "OK"}))
      << "the dial ends at once, and the request behind it is answered";
  EXPECT_EQ(Stat(70000).phase, kPhaseClosing);
  EXPECT_EQ(Stat(70000).error, 631u);
  Advance(5000);
  EXPECT_TRUE(server->Sessions().empty()) << "an aborted dial never connects";
  EXPECT_EQ(PhaseOf(70000), "gone");

  EXPECT_EQ(Request(3, DialRequest("alice", "secret")), std::vector<std::string>{"LINE 70001"});
  server->OnDisconnect(3);
  EXPECT_EQ(Stat(70001).phase, kPhaseClosing) << "a dial whose process is gone is hung up";
  Advance(5000);
  EXPECT_TRUE(server->Sessions().empty());

  EXPECT_EQ(Answer(9, "DELAY 0"), "OK");
  std::uint32_t failed = 0;
  DialAnswer(4, DialRequest("bob", "wrong"), &failed);
  server->OnDisconnect(4);
  EXPECT_EQ(Stat(failed).phase, kPhaseClosing) << "a failed dial whose process is gone is hung up";
  Advance(1000);
  EXPECT_EQ(PhaseOf(failed), "gone");
  EXPECT_EQ(Answer(5, "HANGUP " + std::to_string(failed)), "ERR 6 no such line");

  const AccountCounts demo = server->CountsOf("demo");
  EXPECT_EQ(demo.dials, 1u);
  EXPECT_EQ(demo.aborted, 1u);
  EXPECT_EQ(demo.Refusals(), 0u);
  EXPECT_EQ(server->CountsOf("alice").aborted, 1u);
}

TEST_F(ServerCore, CountsAreKeptPerAccountAndResetClearsEverything) {
  EXPECT_EQ(Answer(9, "FAIL 678 2"), "OK");
  for (int i = 0; i < 2; ++i) {
    std::uint32_t id = 0;
    DialAnswer(1, DialRequest("demo", "demo1234"), &id);
    Answer(1, "HANGUP " + std::to_string(id) + " 0");
    Advance(0);
  }
  ASSERT_NE(Dial(1, "demo", "demo1234"), 0u);
  EXPECT_EQ(DialAnswer(2, DialRequest("alice", "wrong")), "ERR 691 authentication failed");
  const auto lines = Request(9, "COUNTS");
  ASSERT_EQ(lines.size(), 3u);
  AccountCounts alice, demo;
  ASSERT_TRUE(ParseCountWords(SplitWords(lines[0]), 1, &alice)) << lines[0];
  ASSERT_TRUE(ParseCountWords(SplitWords(lines[1]), 1, &demo)) << lines[1];
  EXPECT_EQ(lines[2], "OK 2");
  EXPECT_EQ(lines[1], "COUNT demo 3 2 0 1 1 678:2");
  EXPECT_EQ(alice.Refused(691), 1u);
  EXPECT_FALSE(alice.online);
  EXPECT_EQ(Request(9, "COUNTS nobody"), (std::vector<std::string>{"COUNT nobody 0 0 0 0 0", "OK 1"}));

  EXPECT_EQ(Answer(9, "DELAY 700"), "OK");
  EXPECT_EQ(Request(3, DialRequest("bob", "pw")).size(), 1u);
  EXPECT_EQ(Answer(9, "RESET"), "OK");
  EXPECT_EQ(host.Take(3), std::vector<std::string>{"ERR 631 the server was reset"})
      << "a dial in progress is not left waiting";
  EXPECT_TRUE(server->Lines().empty());
  EXPECT_EQ(Request(9, "COUNTS"), std::vector<std::string>{"OK 0"});
  EXPECT_EQ(DialAnswer(1, DialRequest("demo", "demo1234")).substr(0, 3), "OK ")
      << "no delay and no failure after a reset";
}

TEST_F(ServerCore, NegotiationTimeHoldsTheReplyAndTheClientsLaterRequests) {
  EXPECT_EQ(Answer(9, "DELAY 500"), "OK");
  EXPECT_EQ(Request(1, DialRequest("demo", "demo1234") + "\nPING"), std::vector<std::string>{"LINE 70000"});
  EXPECT_EQ(server->MillisecondsToNextTimer(), 500);
  EXPECT_EQ(Answer(2, "PING"), "OK") << "other clients are served meanwhile";
  Advance(499);
  EXPECT_TRUE(host.Take(1).empty());
  EXPECT_EQ(server->MillisecondsToNextTimer(), 1);
  Advance(1);
  const auto lines = host.Take(1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 9), "OK 70000 ");
  EXPECT_EQ(lines[1], "OK") << "the PING that waited behind the dial";
  EXPECT_EQ(server->MillisecondsToNextTimer(), -1);
  EXPECT_EQ(Answer(1, "HANGUP 70000 250"), "OK");
  EXPECT_EQ(server->MillisecondsToNextTimer(), 250) << "the end of a tear-down is a timer too";
}

TEST_F(ServerCore, TrafficGrowsEverySecondAndARateChangeKeepsWhatFlowed) {
  const std::uint32_t id = Dial(1, "demo", "demo1234");
  Advance(2000);
  SessionInfo s = Stat(id);
  EXPECT_EQ(s.durationMs, 2000u);
  EXPECT_EQ(s.bytesReceived, 40000u);
  EXPECT_EQ(s.bytesSent, 10000u);
  EXPECT_EQ(Answer(9, "TRAFFIC 1000 0"), "OK");
  Advance(1500);
  s = Stat(id);
  EXPECT_EQ(s.bytesReceived, 41500u);
  EXPECT_EQ(s.bytesSent, 10000u);
  EXPECT_EQ(s.durationMs, 3500u);
}

TEST_F(ServerCore, WatchersLearnOfEveryLineThatConnectsOrEnds) {
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

  std::uint32_t failed = 0;
  DialAnswer(3, DialRequest("bob", "wrong"), &failed);
  EXPECT_EQ(host.Take(9), std::vector<std::string>{"EVENT END " + std::to_string(failed) + " failed"})
      << "a dial that never connected ends without a DOWN";
}

TEST_F(ServerCore, DropSelectsConnectedLinesByIdUserOrAll) {
  const std::uint32_t a = Dial(1, "demo", "demo1234");
  Dial(1, "alice", "secret");
  Dial(1, "bob", "pw");
  std::uint32_t failed = 0;
  DialAnswer(1, DialRequest("carol", "wrong"), &failed);
  EXPECT_EQ(Answer(9, "DROP " + std::to_string(a)), "OK 1");
  EXPECT_EQ(Answer(9, "DROP " + std::to_string(a)), "OK 0") << "a line ends once";
  EXPECT_EQ(Answer(9, "DROP nobody"), "OK 0");
  EXPECT_EQ(Answer(9, "DROP bob"), "OK 1");
  EXPECT_EQ(Answer(9, "DROP all"), "OK 1");
  EXPECT_TRUE(server->Sessions().empty());
  EXPECT_EQ(Answer(9, "DROP ALL"), "OK 0");
  EXPECT_EQ(PhaseOf(failed), kPhaseFailed) << "a failed dial is not a session to drop";
}

TEST_F(ServerCore, UnknownLinesAnswer6) {
  EXPECT_EQ(Answer(1, "HANGUP 70000"), "ERR 6 no such line");
  EXPECT_EQ(Answer(1, "STAT 4294967295"), "ERR 6 no such line");
  const std::uint32_t id = Dial(1, "demo", "demo1234");
  EXPECT_EQ(Answer(1, "HANGUP " + std::to_string(id)), "OK");
  EXPECT_EQ(Answer(1, "HANGUP " + std::to_string(id)), "OK") << "hanging up a line that tears down is fine";
  Advance(1000);
  EXPECT_EQ(Answer(1, "HANGUP " + std::to_string(id)), "ERR 6 no such line") << "a torn-down line is gone";
}

TEST_F(ServerCore, MalformedRequestsGetOneErrorEachAndTheServerGoesOn) {
  const char* requests[] = {"",
                            "   ",
                            "FOO",
                            "DIAL",
                            "DIAL onlyuser",
                            "DIAL a b c d e f",
                            "DIAL a b c d e",
                            "DIAL a b c d e 1 x",
                            "DIAL a b c d e 1 600001",
                            "DIAL a b c d e 1 2 3",
                            "DIAL de%ZZ x c d e 1",
                            "DIAL a b c d%G e 1",
                            "HANGUP",
                            "HANGUP x",
                            "HANGUP 1 2 3",
                            "HANGUP 1 x",
                            "HANGUP 1 600001",
                            "COUNTS a b",
                            "COUNTS %G",
                            "RESET now",
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
// nothing else comes back but lines, counts and events.
TEST_F(ServerCore, RandomRequestsAlwaysGetExactlyOneStatusEach) {
  const std::vector<std::string> verbs = {"DIAL",   "HANGUP", "STAT",    "LIST", "WATCH", "DROP",
                                          "FAIL",   "DELAY",  "TRAFFIC", "PING", "dial",  "Stop",
                                          "COUNTS", "RESET",  "NOPE",    ""};
  const std::vector<std::string> words = {
      "demo", "demo1234", "alice", "secret", "0",   "1",     "70000", "70001",
      "all",  "%",        "%zz",   "-",      "%2D", "691",   "300",   "4294967296",
      "-1",   "\x01\xff", "宽带",  "bob",    "pw",  "pppoe", "modem", std::string(300, 'w')};
  std::mt19937 random(20240501);
  std::map<ClientId, int> requests;
  for (int round = 0; round < 3000; ++round) {
    const ClientId client = 1 + random() % 6;
    std::string line = verbs[random() % verbs.size()];
    const int count = static_cast<int>(random() % 9);
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
        EXPECT_TRUE(line.rfind("SESSION ", 0) == 0 || line.rfind("EVENT ", 0) == 0 ||
                    line.rfind("LINE ", 0) == 0 || line.rfind("COUNT ", 0) == 0)
            << line;
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
