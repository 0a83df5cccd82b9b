// The line protocol's codec: escapes, numbers, addresses, session lines, status lines and the
// line buffer that every peer reads with.
#include "testbed/protocol/Protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace testbed {
namespace {

TEST(Protocol, FieldsSurviveEncodingWhateverTheirBytes) {
  const std::string texts[] = {"",          "-",       "demo", "two words",        "100%",
                               "tab\there", "a\nb\rc", "%2D",  "\xb2\xe2\xca\xd4", "--",
                               "\x7f\x01"};
  for (const std::string& text : texts) {
    const std::string word = EncodeField(text);
    EXPECT_EQ(SplitWords(word).size(), 1u) << "\"" << text << "\" must stay one word";
    std::string back;
    ASSERT_TRUE(DecodeField(word, &back)) << word;
    EXPECT_EQ(back, text);
  }
}

TEST(Protocol, BrokenEscapesAreRefused) {
  for (const char* word : {"%", "%4", "a%", "%G0", "%0g", "ab%2"}) {
    std::string text;
    EXPECT_FALSE(DecodeField(word, &text)) << word;
  }
}

TEST(Protocol, SplitWordsSkipsRunsOfBlanks) {
  const auto words = SplitWords("  DIAL\tdemo   demo1234 ");
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0], "DIAL");
  EXPECT_EQ(words[2], "demo1234");
  EXPECT_TRUE(SplitWords(" \t ").empty());
}

TEST(Protocol, NumbersAreDigitsWithinTheLimit) {
  struct Case {
    const char* word;
    std::uint64_t max;
    bool ok;
    std::uint64_t value;
  } cases[] = {
      {"0", 10, true, 0},
      {"10", 10, true, 10},
      {"11", 10, false, 0},
      {"2", 1, false, 0},
      {"9", 0, false, 0},
      {"18446744073709551615", UINT64_MAX, true, UINT64_MAX},
      {"18446744073709551616", UINT64_MAX, false, 0},
      {"99999999999999999999999", UINT64_MAX, false, 0},
      {"", 10, false, 0},
      {"-1", 10, false, 0},
      {"+1", 10, false, 0},
      {"1 ", 10, false, 0},
      {"0x1", 10, false, 0},
  };
  for (const Case& c : cases) {
    std::uint64_t value = 12345;
    EXPECT_EQ(ParseNumber(c.word, c.max, &value), c.ok) << "\"" << c.word << "\"";
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.word;
    }
  }
}

TEST(Protocol, Ipv4AddressesParseOnlyWhenWellFormed) {
  std::uint32_t address = 0;
  ASSERT_TRUE(ParseIpv4("203.0.113.10", &address));
  EXPECT_EQ(address, 0xCB00710Au);
  EXPECT_EQ(FormatIpv4(address), "203.0.113.10");
  EXPECT_EQ(FormatIpv4(0xFFFFFFFFu), "255.255.255.255");
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.", ".1.2.3", "a.b.c.d",
                          "1.2.3.4 ", "1234.1.1.1"}) {
    EXPECT_FALSE(ParseIpv4(bad, &address)) << "\"" << bad << "\"";
  }
}

TEST(Protocol, SessionWordsRoundTrip) {
  SessionInfo in;
  in.id = 0x123456;
  in.user = "user name";
  in.address = "203.0.113.77";
  in.start = 1700000000;
  in.durationMs = 61000;
  in.bytesReceived = 5000000000ull;
  in.bytesSent = 7;
  in.bps = 10000000;
  in.entry = "pppoe_vorlan_default_entry";
  in.deviceType = "pppoe";
  in.deviceName = "WAN Miniport (PPPOE)";
  in.phase = kPhaseFailed;
  in.state = kStateAuthenticate;
  in.error = 691;
  const std::string line = "SESSION " + FormatSessionWords(in);
  SessionInfo out;
  ASSERT_TRUE(ParseSessionWords(SplitWords(line), 1, &out)) << line;
  EXPECT_EQ(out.id, in.id);
  EXPECT_EQ(out.user, in.user);
  EXPECT_EQ(out.address, in.address);
  EXPECT_EQ(out.start, in.start);
  EXPECT_EQ(out.durationMs, in.durationMs);
  EXPECT_EQ(out.bytesReceived, in.bytesReceived);
  EXPECT_EQ(out.bytesSent, in.bytesSent);
  EXPECT_EQ(out.bps, in.bps);
  EXPECT_EQ(out.entry, in.entry);
  EXPECT_EQ(out.deviceType, in.deviceType);
  EXPECT_EQ(out.deviceName, in.deviceName);
  EXPECT_EQ(out.phase, in.phase);
  EXPECT_EQ(out.state, in.state);
  EXPECT_EQ(out.error, in.error);
}

TEST(Protocol, MalformedSessionWordsAreRefused) {
  const std::string good = "65536 demo 1.2.3.4 1 2 3 4 5 e t n connected 8192 0";
  SessionInfo session;
  ASSERT_TRUE(ParseSessionWords(SplitWords(good), 0, &session));
  for (const char* bad : {"65536 demo 1.2.3.4 1 2 3 4 5 e t n connected 8192",          // a word short
                          "65536 demo 1.2.3.4 1 2 3 4 5 e t n connected 8192 0 extra",  // a word too many
                          "12 demo 1.2.3.4 1 2 3 4 5 e t n connected 8192 0",           // id below the range
                          "65536 de%G 1.2.3.4 1 2 3 4 5 e t n connected 8192 0",        // broken escape
                          "65536 demo 1.2.3.4 x 2 3 4 5 e t n connected 8192 0",        // start not a number
                          "65536 demo 1.2.3.4 1 2 3 4 4294967296 e t n connected 8192 0",
                          "65536 demo 1.2.3.4 1 2 3 4 5 e t n connected x 0",  // state not a number
                          "65536 demo 1.2.3.4 1 2 3 4 5 e t n connected 8192 -1"}) {
    EXPECT_FALSE(ParseSessionWords(SplitWords(bad), 0, &session)) << bad;
  }
}

TEST(Protocol, CountWordsRoundTripAndMustAddUp) {
  AccountCounts in;
  in.user = "user name";
  in.dials = 9;
  in.aborted = 1;
  in.sessions = 2;
  in.online = true;
  in.refusals = {{633, 1}, {691, 5}};
  const std::string words = FormatCountWords(in);
  EXPECT_EQ(words, "user%20name 9 6 1 2 1 633:1 691:5");
  AccountCounts out;
  ASSERT_TRUE(ParseCountWords(SplitWords(words), 0, &out)) << words;
  EXPECT_EQ(out.user, in.user);
  EXPECT_EQ(out.dials, 9u);
  EXPECT_EQ(out.Refusals(), 6u);
  EXPECT_EQ(out.Refused(691), 5u);
  EXPECT_EQ(out.Refused(678), 0u);
  EXPECT_EQ(out.aborted, 1u);
  EXPECT_EQ(out.sessions, 2u);
  EXPECT_TRUE(out.online);
  for (const char* bad : {"u 9 6 1 2", "u 9 6 1 2 1 633:1", "u 9 1 1 2 2 633:1", "u 9 1 1 2 1 633",
                          "u 9 2 1 2 1 633:1 633:1", "u 9 0 1 2 1 633:0", "u x 0 0 0 0"}) {
    EXPECT_FALSE(ParseCountWords(SplitWords(bad), 0, &out)) << bad;
  }
}

TEST(Protocol, StatusLines) {
  Status status;
  ASSERT_TRUE(ParseStatus("OK", &status));
  EXPECT_TRUE(status.ok);
  EXPECT_EQ(status.rest, "");
  ASSERT_TRUE(ParseStatus("OK 65536 203.0.113.10 17", &status));
  EXPECT_EQ(status.rest, "65536 203.0.113.10 17");
  ASSERT_TRUE(ParseStatus("ERR 691 authentication failed", &status));
  EXPECT_FALSE(status.ok);
  EXPECT_EQ(status.code, 691);
  EXPECT_EQ(status.rest, "authentication failed");
  ASSERT_TRUE(ParseStatus("ERR 6", &status));
  EXPECT_EQ(status.code, 6);
  for (const char* bad : {"", "OKAY", "ERR", "ERR x text", "SESSION 1", "EVENT UP", "ok"}) {
    EXPECT_FALSE(ParseStatus(bad, &status)) << "\"" << bad << "\"";
  }
  EXPECT_TRUE(IsStatusLine("OK 3"));
  EXPECT_FALSE(IsStatusLine("SESSION 65536 demo"));
  EXPECT_FALSE(IsStatusLine("EVENT DOWN 65536 drop"));
}

TEST(Protocol, LineBufferJoinsPiecesAndDropsCarriageReturns) {
  CLineBuffer buffer;
  std::string line;
  buffer.Append("LI", 2);
  EXPECT_FALSE(buffer.NextLine(&line));
  buffer.Append("ST\r\nPING\nST", 11);
  ASSERT_TRUE(buffer.NextLine(&line));
  EXPECT_EQ(line, "LIST");
  ASSERT_TRUE(buffer.NextLine(&line));
  EXPECT_EQ(line, "PING");
  EXPECT_FALSE(buffer.NextLine(&line));
  buffer.Append("OP\n", 3);
  ASSERT_TRUE(buffer.NextLine(&line));
  EXPECT_EQ(line, "STOP");
  EXPECT_TRUE(buffer.Empty());
  EXPECT_FALSE(buffer.Overflowed());
}

TEST(Protocol, LineBufferRefusesEndlessLinesAndBacklogs) {
  CLineBuffer longLine;
  const std::string chunk(1000, 'x');
  for (int i = 0; i < 4; ++i) longLine.Append(chunk.data(), chunk.size());
  EXPECT_FALSE(longLine.Overflowed()) << "4000 bytes are still a possible line";
  longLine.Append(chunk.data(), chunk.size());
  EXPECT_TRUE(longLine.Overflowed());
  std::string line;
  EXPECT_FALSE(longLine.NextLine(&line));
  EXPECT_TRUE(longLine.Empty()) << "what an overflowing peer sent is not kept";

  CLineBuffer exact;
  const std::string longest = std::string(kMaxLineLength, 'y') + "\r\n";
  exact.Append(longest.data(), longest.size());
  ASSERT_TRUE(exact.NextLine(&line));
  EXPECT_EQ(line.size(), kMaxLineLength);

  CLineBuffer backlog;
  const std::string many = std::string(100, 'z') + "\n";
  for (std::size_t i = 0; i * many.size() <= kMaxBacklog; ++i) backlog.Append(many.data(), many.size());
  EXPECT_TRUE(backlog.Overflowed()) << "lines that are never taken must not pile up without limit";
}

}  // namespace
}  // namespace testbed
