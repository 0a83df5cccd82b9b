#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "client/core/SupervisionTexts.h"
#include "client/core/TrafficCounter.h"

namespace {

constexpr uint64_t k4GiB = uint64_t(1) << 32;

TEST(TrafficCounter, FirstReadingCountsFromZero) {
  CTrafficCounter counter;
  counter.Reset();
  counter.Add(5000, 20000);
  EXPECT_EQ(counter.Sent(), 5000u);
  EXPECT_EQ(counter.Received(), 20000u);
  counter.Add(5000, 20000);
  EXPECT_EQ(counter.Received(), 20000u);
}

TEST(TrafficCounter, WrapsOfTheSystemCountersAddUpToTheTrueTotal) {
  // A line receiving 1 GB/s read every 2 seconds for a minute: the 32-bit counter wraps many times.
  CTrafficCounter counter;
  counter.Reset();
  uint64_t trueReceived = 0, trueSent = 0;
  for (int reading = 0; reading < 30; ++reading) {
    trueReceived += 2000000000u;
    trueSent += 3u;
    counter.Add(static_cast<uint32_t>(trueSent), static_cast<uint32_t>(trueReceived));
  }
  EXPECT_EQ(counter.Received(), trueReceived);
  EXPECT_EQ(counter.Sent(), trueSent);
  EXPECT_GT(counter.Received(), 13 * k4GiB);
}

TEST(TrafficCounter, ReadingsJustAcrossTheWrap) {
  struct Case {
    uint32_t before, after;
    uint64_t delta;
  };
  const Case cases[] = {
      {0xFFFFFFF0u, 0x10u, 0x20u},
      {0xFFFFFFFFu, 0u, 1u},
      {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu},
      {7u, 7u, 0u},
  };
  for (const Case& c : cases) {
    CTrafficCounter counter;
    counter.Add(0, c.before);
    const uint64_t start = counter.Received();
    counter.Add(0, c.after);
    EXPECT_EQ(counter.Received() - start, c.delta) << c.before << " -> " << c.after;
  }
}

TEST(TrafficCounter, ResetStartsANewConnection) {
  CTrafficCounter counter;
  counter.Add(100, 200);
  counter.Reset();
  counter.Add(10, 20);
  EXPECT_EQ(counter.Sent(), 10u);
  EXPECT_EQ(counter.Received(), 20u);
}

TEST(TrafficCounter, TotalsAreWrittenUnsigned) {
  EXPECT_EQ(FormatByteCount(0), "0");
  EXPECT_EQ(FormatByteCount(2147483648u), "2147483648");
  EXPECT_EQ(FormatByteCount(10 * k4GiB + 17), "42949672977");
  EXPECT_EQ(FormatByteCount(UINT64_MAX), "18446744073709551615");
}

TEST(SupervisionTexts, LinkSpeedIsWholeMegabits) {
  struct Case {
    unsigned long bps;
    const char* text;
  };
  const Case cases[] = {
      {0, "0Mbps"},           {999999, "0Mbps"},        {10000000, "10Mbps"},
      {100000000, "100Mbps"}, {1000000000, "1000Mbps"}, {4294967295ul, "4294Mbps"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatLinkSpeed(c.bps), c.text) << c.bps;
}

TEST(SupervisionTexts, TrayTipInBothForms) {
  EXPECT_EQ(TrayTipText(false, "203.0.113.10", "10Mbps"), "远岸宽带拨号客户端\r\n未通过本软件拨号");
  EXPECT_EQ(TrayTipText(true, "203.0.113.10", "10Mbps"),
            "远岸宽带拨号客户端\r\nIP地址：203.0.113.10\r\n速度：10Mbps");
  EXPECT_EQ(TrayTipText(true, "", ""), "远岸宽带拨号客户端\r\nIP地址：\r\n速度：");
}

}  // namespace
