// What the settings pages and the timed shutdown decide: the redial interval through the
// configuration and back, the shutdown time as an instant, the shutdown check, the proxy checks.
#include "client/tools/SettingsRules.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "client/store/ConfigStore.h"
#include "tests/store/StoreTestSupport.h"

namespace {

TEST(RedialInterval, StoredGapShowsItsItemAndSavesItsSeconds) {
  struct Case {
    const char* stored;
    int index;    // the item the run page selects; -1 none
    int written;  // the seconds an apply with redial on writes back
  };
  const Case cases[] = {
      {"5", 0, 5},    {"10", 1, 10},   {"30", 2, 30},   {"60", 3, 60},   {"90", 3, 60},
      {"119", 3, 60}, {"120", 4, 120}, {"300", 5, 300}, {"600", 6, 600}, {"45", -1, 5},
      {"1", -1, 5},   {"0", -1, 5},    {"6000", -1, 5},
  };
  TempFolder folder;
  CConfigStore config(folder.File("config.xml"));
  for (const Case& c : cases) {
    config.SetRedial(c.stored, 100);
    const int index = IntervalIndexForDisplay(config.GetRedialTimegrapText());
    EXPECT_EQ(index, c.index) << c.stored;
    EXPECT_EQ(IntervalSeconds(IntervalText(index)), c.written) << c.stored;
  }
  EXPECT_EQ(IntervalText(3), "1分钟");
  EXPECT_EQ(IntervalText(kIntervalCount), "");

  struct Tries {
    const char* text;
    int count;
  };
  const Tries tries[] = {{"100", 100},  {"", 0},    {" 42", 42},
                         {"12abc", 12}, {"abc", 0}, {"99999999999", INT_MAX}};
  for (const Tries& t : tries) EXPECT_EQ(RetryCountFromText(t.text), t.count) << t.text;
}

TEST(ShutdownTime, TextsCompareAsInstantsWhateverTheirForm) {
  struct Case {
    const char* first;
    const char* second;
    int result;
  };
  const Case cases[] = {
      {"2009-6-3 14:30:00", "2009-06-03 14:30:00", 0},    {"2009/6/3 14:30:00", "2009-06-03 14:30:01", 1},
      {"2009-06-03 14:30:01", "2009-6-3 14:30:00", 2},    {"2009-12-31 23:59:59", "2010-01-01 00:00:00", 1},
      {"2009-02-28 23:59:59", "2009-03-01 00:00:00", 1},  {"2008-02-29 12:00:00", "2008-03-01 00:00:00", 1},
      {"2009-06-03 09:05:00", "2009-06-03 10:00:00", 1},  {"2009-02-29 12:00:00", "2009-03-01 00:00:00", -1},
      {"2009-13-01 00:00:00", "2009-06-03 14:30:00", -1}, {"2009-06-03 24:00:00", "2009-06-03 14:30:00", -1},
      {"2009-06-03", "2009-06-03 00:00:00", -1},          {"2009-06-03 14:30:00", "", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareDateTimeText(c.first, c.second), c.result) << c.first << " / " << c.second;
  }

  DateTime value;
  ASSERT_TRUE(ParseDateTime("2009-6-3 4:05:06", &value));
  EXPECT_EQ(DateTimeText(value), "2009-06-03 04:05:06");
  // The page reads what it can of a text cut short; the missing fields stay 0.
  EXPECT_EQ(ReadDateTimeFields("2009-6-3", &value), 3);
  EXPECT_EQ(value.day, 3);
  EXPECT_EQ(value.hour, 0);

  DateTime a, b;
  ASSERT_TRUE(ParseDateTime("2100-02-28 00:00:00", &a));
  ASSERT_TRUE(ParseDateTime("2100-03-01 00:00:00", &b));
  EXPECT_EQ(DateTimeInstant(b) - DateTimeInstant(a), 86400);
  ASSERT_TRUE(ParseDateTime("2000-02-28 00:00:00", &a));
  ASSERT_TRUE(ParseDateTime("2000-03-01 00:00:00", &b));
  EXPECT_EQ(DateTimeInstant(b) - DateTimeInstant(a), 2 * 86400);
}

TEST(ShutdownTime, FallsDueOnceAtTheFirstCheckThatReachesIt) {
  const int64_t at = 1000000;
  struct Case {
    int64_t previous;
    int64_t now;
    bool due;
  };
  const Case cases[] = {
      {at - 1, at, true},       // the check of that very second
      {at - 2, at - 1, false},  // not yet
      {at, at + 1, false},      // the check after it: already done
      {at - 1, at + 3, true},   // a late check still finds it
      {at - 1, at + 59, true},
      {at - 1, at + 60, false},  // a minute late (the machine slept): no surprise shutdown
      {at + 5, at + 6, false},   // passed before the first check
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShutdownDue(at, c.previous, c.now), c.due) << c.previous - at << " " << c.now - at;
  }

  struct Type {
    const char* text;
    bool known;
    unsigned flags;
  };
  const Type types[] = {
      {"关机", true, 8}, {"重启", true, 2}, {"注销", true, 0}, {"关机 ", false, 0}, {"", false, 0}};
  for (const Type& t : types) {
    unsigned flags = 99;
    EXPECT_EQ(ShutdownFlags(t.text, &flags), t.known) << t.text;
    if (t.known) {
      EXPECT_EQ(flags, t.flags) << t.text;
    }
  }
  EXPECT_EQ(ShutdownTypeText(2), "注销");
}

TEST(ProxyInput, PortsFromZeroTo65535AreTakenAsTyped) {
  struct Case {
    bool blank;
    const char* port;
    ProxyRefusal refusal;
    const char* text;
  };
  const Case cases[] = {
      {false, "0", ProxyRefusal::kNone, "10.0.0.1:0"},
      {false, "65535", ProxyRefusal::kNone, "10.0.0.1:65535"},
      {false, " 8080\t", ProxyRefusal::kNone, "10.0.0.1:8080"},
      {false, "080", ProxyRefusal::kNone, "10.0.0.1:080"},
      {false, "65536", ProxyRefusal::kPortRange, ""},
      {false, "99999", ProxyRefusal::kPortRange, ""},
      {false, "8o", ProxyRefusal::kPortRange, ""},
      {false, "-1", ProxyRefusal::kPortRange, ""},
      {false, "8 0", ProxyRefusal::kPortRange, ""},
      {false, "", ProxyRefusal::kPortEmpty, ""},
      {false, "   ", ProxyRefusal::kPortEmpty, ""},
      {true, "80", ProxyRefusal::kAddressBlank, ""},
      {true, "", ProxyRefusal::kAddressBlank, ""},
  };
  for (const Case& c : cases) {
    const ProxyPlan plan = PlanProxy(c.blank, " 10.0.0.1 ", c.port);
    EXPECT_EQ(plan.refusal, c.refusal) << c.port;
    EXPECT_EQ(plan.text, c.text) << c.port;
  }
  EXPECT_STREQ(ProxyRefusalText(ProxyRefusal::kAddressBlank), "IP地址不能为空！");
  EXPECT_STREQ(ProxyRefusalText(ProxyRefusal::kPortEmpty), "端口号不能为空！");
  EXPECT_STREQ(ProxyRefusalText(ProxyRefusal::kPortRange), "端口号取值范围为0~65535，请输入正确的端口号！");
}

TEST(ProxyInput, OnlyAnAddressWithAPortIsShownAsTheProxy) {
  struct Case {
    const char* text;
    bool shown;
    uint32_t address;
    int port;
  };
  const Case cases[] = {
      {"10.1.2.3:8080", true, 0x0A010203u, 8080},
      {" 192.168.0.254:080 ", true, 0xC0A800FEu, 80},
      {"0.0.0.0:0", true, 0, 0},
      {"255.255.255.255:65535", true, 0xFFFFFFFFu, 65535},
      {"proxy.example.net:80", false, 0, 0},
      {"http=10.1.2.3:80;https=10.1.2.3:443", false, 0, 0},
      {"10.1.2.3", false, 0, 0},
      {"10.1.2.3:", false, 0, 0},
      {"10.1.2:80", false, 0, 0},
      {"256.1.2.3:80", false, 0, 0},
      {"10.1.2.3:65536", false, 0, 0},
      {"10.1.2.3:-1", false, 0, 0},
      {"10.1.2.3:80 extra", false, 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t address = 7;
    int port = 7;
    EXPECT_EQ(ParseGlobalProxy(c.text, &address, &port), c.shown) << c.text;
    if (c.shown) {
      EXPECT_EQ(address, c.address) << c.text;
      EXPECT_EQ(port, c.port) << c.text;
    }
  }
}

}  // namespace
