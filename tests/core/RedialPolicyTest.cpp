#include "client/core/RedialPolicy.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A scripted client: each dial takes the next result of the script (the last one repeats), and
// every call is written into a log the tests compare.
class FakeHost : public IRedialHost {
 public:
  struct Result {
    RedialAttempt attempt;
    unsigned error;
  };

  bool alwaysconnect = true;
  bool reconnectCached = true;
  bool stop = false;
  std::vector<Result> script = {{RedialAttempt::kFailed, 678}};
  // Called before each dial with its number (1 for the first); may change the settings.
  std::function<void(int)> beforeDial;
  // Answer of each pause; a pause answered false ends the loop.
  std::function<bool(unsigned)> onPause = [](unsigned) { return true; };
  // Safety net: a loop that never ends fails the test instead of hanging it.
  int maxDials = 200;

  std::vector<std::string> log;
  std::vector<unsigned> pauses;
  int dials = 0;

  bool Alwaysconnect() override { return alwaysconnect; }
  bool ReconnectCached() override { return reconnectCached; }
  bool StopRequested() override { return stop || dials >= maxDials; }
  RedialAttempt Dial(unsigned* error) override {
    ++dials;
    if (beforeDial) beforeDial(dials);
    const Result& r = script[static_cast<size_t>(dials - 1) < script.size() ? dials - 1 : script.size() - 1];
    *error = r.attempt == RedialAttempt::kFailed ? r.error : 0;
    log.push_back("dial");
    return r.attempt;
  }
  bool Pause(unsigned ms) override {
    pauses.push_back(ms);
    log.push_back("pause " + std::to_string(ms));
    return onPause(ms);
  }
};

RedialSettings Always() {
  RedialSettings s;
  s.alwaysconnect = true;
  return s;
}

RedialSettings Reconnect(int tries, int gap) {
  RedialSettings s;
  s.reconnect = true;
  s.tries = tries;
  s.gapSeconds = gap;
  return s;
}

TEST(RedialPolicy, AlwaysPauseStartsAtOneSecondAndDoublesUpToAMinute) {
  const unsigned expected[] = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000};
  unsigned pause = 0;
  for (unsigned e : expected) {
    pause = NextAlwaysPauseMs(pause);
    EXPECT_EQ(pause, e);
  }
  EXPECT_EQ(NextAlwaysPauseMs(45000), 60000u);
}

TEST(RedialPolicy, NothingIsDialledWhenNoPolicyApplies) {
  struct Case {
    const char* name;
    RedialSettings settings;
  };
  RedialSettings hungUp = Always();
  hungUp.hungUp = true;
  RedialSettings hungUpReconnect = Reconnect(3, 5);
  hungUpReconnect.hungUp = true;
  const Case cases[] = {
      {"hung up by the client, Alwaysconnect", hungUp},
      {"hung up by the client, Reconnect", hungUpReconnect},
      {"both off", RedialSettings()},
      {"Reconnect with tries 0", Reconnect(0, 5)},
      {"Reconnect with negative tries", Reconnect(-3, 5)},
      {"tries without Reconnect",
       [] {
         RedialSettings s = Reconnect(3, 5);
         s.reconnect = false;
         return s;
       }()},
  };
  for (const Case& c : cases) {
    FakeHost host;
    EXPECT_EQ(RunRedialPolicy(host, c.settings), RedialOutcome::kNotRedialled) << c.name;
    EXPECT_TRUE(host.log.empty()) << c.name;
  }
}

TEST(RedialPolicy, AlwaysconnectRedialsPastFailuresWithAGrowingPause) {
  FakeHost host;
  host.script = {{RedialAttempt::kFailed, 678},
                 {RedialAttempt::kFailed, 678},
                 {RedialAttempt::kFailed, 0},
                 {RedialAttempt::kConnected, 0}};
  EXPECT_EQ(RunRedialPolicy(host, Always()), RedialOutcome::kConnected);
  const std::vector<std::string> expected = {"dial", "pause 1000", "dial", "pause 2000",
                                             "dial", "pause 4000", "dial"};
  EXPECT_EQ(host.log, expected);
}

TEST(RedialPolicy, AlwaysconnectIgnoresReconnectAndItsTries) {
  FakeHost host;
  host.reconnectCached = false;
  host.script = {{RedialAttempt::kFailed, 678}, {RedialAttempt::kConnected, 0}};
  RedialSettings settings = Always();
  settings.reconnect = true;
  settings.tries = 1;
  settings.gapSeconds = 30;
  EXPECT_EQ(RunRedialPolicy(host, settings), RedialOutcome::kConnected);
  EXPECT_EQ(host.dials, 2);
  EXPECT_EQ(host.pauses, std::vector<unsigned>{1000});
}

TEST(RedialPolicy, AlwaysconnectEndsOnExitUserCommandSettingOffOrRefusal) {
  struct Case {
    const char* name;
    std::function<void(FakeHost&)> arrange;
    RedialOutcome outcome;
    int dials;
    size_t pauses;
  };
  const Case cases[] = {
      {"stop before the first attempt", [](FakeHost& h) { h.stop = true; }, RedialOutcome::kStopped, 0, 0},
      {"stop during the third pause",
       [](FakeHost& h) {
         h.onPause = [&h](unsigned) {
           if (h.pauses.size() == 3) h.stop = true;
           return !h.stop;
         };
       },
       RedialOutcome::kStopped, 3, 3},
      {"stop set by the pause but the pause ran out",
       [](FakeHost& h) {
         h.onPause = [&h](unsigned) {
           h.stop = h.pauses.size() == 2;
           return true;
         };
       },
       RedialOutcome::kStopped, 2, 2},
      {"Alwaysconnect turned off after the fourth attempt",
       [](FakeHost& h) { h.beforeDial = [&h](int n) { h.alwaysconnect = n < 4; }; }, RedialOutcome::kStopped,
       4, 4},
      {"refused credentials",
       [](FakeHost& h) {
         h.script = {{RedialAttempt::kFailed, 678}, {RedialAttempt::kFailed, 691}};
       },
       RedialOutcome::kRefused, 2, 1},
      {"the host stops a dial (line up again)",
       [](FakeHost& h) {
         h.script = {{RedialAttempt::kFailed, 678}, {RedialAttempt::kStopped, 0}};
       },
       RedialOutcome::kStopped, 2, 1},
  };
  for (const Case& c : cases) {
    FakeHost host;
    c.arrange(host);
    EXPECT_EQ(RunRedialPolicy(host, Always()), c.outcome) << c.name;
    EXPECT_EQ(host.dials, c.dials) << c.name;
    EXPECT_EQ(host.pauses.size(), c.pauses) << c.name;
  }
}

TEST(RedialPolicy, ReconnectDialsItsTriesWithTheGapBetweenFailures) {
  FakeHost host;
  EXPECT_EQ(RunRedialPolicy(host, Reconnect(3, 5)), RedialOutcome::kGaveUp);
  const std::vector<std::string> expected = {"dial", "pause 5000", "dial", "pause 5000", "dial"};
  EXPECT_EQ(host.log, expected);
}

TEST(RedialPolicy, ReconnectStopsCountingOnSuccess) {
  FakeHost host;
  host.script = {{RedialAttempt::kFailed, 678}, {RedialAttempt::kConnected, 0}};
  EXPECT_EQ(RunRedialPolicy(host, Reconnect(1000, 2)), RedialOutcome::kConnected);
  const std::vector<std::string> expected = {"dial", "pause 2000", "dial"};
  EXPECT_EQ(host.log, expected);
}

TEST(RedialPolicy, ReconnectTurnedOffLetsTheRemainingTriesPassWithoutDialOrPause) {
  FakeHost host;
  host.beforeDial = [&host](int n) {
    if (n == 2) host.reconnectCached = false;
  };
  EXPECT_EQ(RunRedialPolicy(host, Reconnect(5, 1)), RedialOutcome::kGaveUp);
  const std::vector<std::string> expected = {"dial", "pause 1000", "dial", "pause 1000"};
  EXPECT_EQ(host.log, expected);
}

TEST(RedialPolicy, ReconnectEndsAtOnceOnRefusalExitOrUserCommand) {
  {
    FakeHost host;
    host.script = {{RedialAttempt::kFailed, 691}};
    EXPECT_EQ(RunRedialPolicy(host, Reconnect(3, 1)), RedialOutcome::kRefused);
    EXPECT_EQ(host.log, std::vector<std::string>{"dial"});
  }
  {
    FakeHost host;
    host.onPause = [&host](unsigned) {
      host.stop = true;
      return false;
    };
    EXPECT_EQ(RunRedialPolicy(host, Reconnect(3, 1)), RedialOutcome::kStopped);
    EXPECT_EQ(host.dials, 1);
  }
  {
    FakeHost host;
    host.stop = true;
    EXPECT_EQ(RunRedialPolicy(host, Reconnect(3, 1)), RedialOutcome::kStopped);
    EXPECT_TRUE(host.log.empty());
  }
}

// A gap of 0, a negative number or text (read as 0) written into the file by hand would redial a
// server that is down in a tight loop: it counts as one second.
TEST(RedialPolicy, AGapBelowOneSecondPausesOneSecond) {
  for (int gap : {0, -1, -600}) {
    FakeHost host;
    EXPECT_EQ(RunRedialPolicy(host, Reconnect(2, gap)), RedialOutcome::kGaveUp) << gap;
    ASSERT_EQ(host.pauses.size(), 1u) << gap;
    EXPECT_EQ(host.pauses[0], 1000u) << gap;
  }
}

// A gap typed into the file by hand may be any number: its pause must not wrap to a short one.
TEST(RedialPolicy, AHugeGapPausesAsLongAsAPauseCanBe) {
  for (int gap : {4294968, 2147483647}) {
    FakeHost host;
    EXPECT_EQ(RunRedialPolicy(host, Reconnect(2, gap)), RedialOutcome::kGaveUp);
    ASSERT_EQ(host.pauses.size(), 1u);
    EXPECT_GE(host.pauses[0], 4294967000u) << gap;
  }
}

}  // namespace
