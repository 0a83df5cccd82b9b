#include "client/messaging/MessageWire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/messaging/Exception.h"

namespace {

using Bytes = std::vector<unsigned char>;

template <size_t N>
Bytes ToBytes(const std::array<unsigned char, N>& a) {
  return Bytes(a.begin(), a.end());
}

// A 44-byte notice as the server expects it: kind, the name field as given, zeros after.
Bytes ExpectedNotice(std::initializer_list<unsigned char> kind, const Bytes& nameField) {
  Bytes out(kind);
  out.insert(out.end(), nameField.begin(), nameField.end());
  out.resize(4 + 20, 0);
  out.resize(44, 0);
  return out;
}

Bytes Text(const char* s) {
  return Bytes(s, s + strlen(s));
}

struct NoticeCase {
  const char* label;
  uint32_t kind;
  const char* name;
  Bytes expected;
};

TEST(PresenceNotice, ExactBytes) {
  // "张三" and "远岸宽带拨号客户端" are compiled to GB2312: 2 bytes per character.
  const char* longChinese = "远岸宽带拨号客户端测试";  // 11 characters, 22 bytes
  ASSERT_EQ(strlen(longChinese), 22u);
  const NoticeCase cases[] = {
      {"online short", 1, "demo", ExpectedNotice({1, 0, 0, 0}, Text("demo"))},
      {"offline short", 2, "demo", ExpectedNotice({2, 0, 0, 0}, Text("demo"))},
      {"19 bytes padded with one NUL", 1, "abcdefghijklmnopqrs",
       ExpectedNotice({1, 0, 0, 0}, Text("abcdefghijklmnopqrs"))},
      {"20 bytes, no terminator", 1, "abcdefghijklmnopqrst",
       ExpectedNotice({1, 0, 0, 0}, Text("abcdefghijklmnopqrst"))},
      {"25 bytes cut at 20", 2, "abcdefghijklmnopqrstuvwxy",
       ExpectedNotice({2, 0, 0, 0}, Text("abcdefghijklmnopqrst"))},
      {"GB2312 name", 1, "张三", ExpectedNotice({1, 0, 0, 0}, Bytes{0xD5, 0xC5, 0xC8, 0xFD})},
      {"GB2312 name cut at 20 bytes", 1, longChinese,
       ExpectedNotice({1, 0, 0, 0}, Bytes(longChinese, longChinese + 20))},
      {"empty name", 1, "", ExpectedNotice({1, 0, 0, 0}, Bytes{})},
      {"null name", 2, nullptr, ExpectedNotice({2, 0, 0, 0}, Bytes{})},
      {"kind written little-endian", 0x01020304, "x", ExpectedNotice({4, 3, 2, 1}, Text("x"))},
  };
  for (const NoticeCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(ToBytes(BuildPresenceNotice(c.kind, c.name)), c.expected);
  }
}

TEST(PresenceNotice, NameBytesAfterNulAreNotSent) {
  const char name[] = "ab\0cdefgh";
  Bytes notice = ToBytes(BuildPresenceNotice(kKindOnlineNotice, name));
  EXPECT_EQ(notice, ExpectedNotice({1, 0, 0, 0}, Text("ab")));
}

TEST(KeepAlive, ExactBytes) {
  Bytes expected(44, 0);
  expected[0] = 10;
  expected[24] = 0x41;
  EXPECT_EQ(ToBytes(BuildKeepAlive()), expected);
}

TEST(Datagram, Classification) {
  const unsigned char trash[] = {103, 0, 0, 0};
  const unsigned char trashBigEndian[] = {0, 0, 0, 103};
  const unsigned char online[] = {1, 0, 0, 0};
  struct Case {
    const char* label;
    const unsigned char* data;
    long result;
    DatagramClass expected;
  } const cases[] = {
      {"failed receive", trash, -1, DatagramClass::kReceiveError},
      {"empty datagram", trash, 0, DatagramClass::kReceiveError},
      {"too short for a kind", trash, 3, DatagramClass::kOther},
      {"kind 103", trash, 4, DatagramClass::kP2pTrash},
      {"103 in the wrong byte order", trashBigEndian, 4, DatagramClass::kOther},
      {"another kind", online, 4, DatagramClass::kOther},
      {"no data", nullptr, 4, DatagramClass::kOther},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(ClassifyDatagram(c.data, c.result), c.expected);
  }
}

TEST(MessageRecordParse, FullRecordFieldsAreReadAtTheirOffsets) {
  Bytes data(kMessageRecordSize, 0);
  WriteLittleEndian32(&data[0], 7);
  memcpy(&data[4], "标题", 4);
  WriteLittleEndian32(&data[28], 1);
  memcpy(&data[32], "http://example.invalid/", 23);
  memcpy(&data[288], "内容", 4);
  MessageRecord record;
  ASSERT_TRUE(ParseMessageRecord(data.data(), data.size(), &record));
  EXPECT_EQ(record.kind, 7u);
  EXPECT_STREQ(record.title, "标题");
  EXPECT_EQ(record.linkFlag, 1u);
  EXPECT_STREQ(record.url, "http://example.invalid/");
  EXPECT_STREQ(record.content, "内容");
}

TEST(MessageRecordParse, UnterminatedFieldsAreCutWithinTheirField) {
  Bytes data(kMessageRecordSize, 'x');
  WriteLittleEndian32(&data[0], 5);
  MessageRecord record;
  ASSERT_TRUE(ParseMessageRecord(data.data(), data.size(), &record));
  EXPECT_EQ(strlen(record.title), sizeof(record.title) - 1);
  EXPECT_EQ(strlen(record.url), sizeof(record.url) - 1);
  EXPECT_EQ(strlen(record.content), sizeof(record.content) - 1);
}

TEST(MessageRecordParse, ShortAndLongDatagrams) {
  MessageRecord record;
  memset(&record, 0x5A, sizeof(record));
  const unsigned char three[] = {1, 2, 3};
  EXPECT_FALSE(ParseMessageRecord(three, sizeof(three), &record));
  EXPECT_EQ(record.kind, 0u);
  EXPECT_STREQ(record.title, "");
  EXPECT_FALSE(ParseMessageRecord(nullptr, 100, &record));
  EXPECT_FALSE(ParseMessageRecord(three, sizeof(three), nullptr));

  // Cut inside the title and inside the link flag: what is missing reads as zero.
  Bytes shortData = {103, 0, 0, 0, 'h', 'i', '!'};
  ASSERT_TRUE(ParseMessageRecord(shortData.data(), shortData.size(), &record));
  EXPECT_EQ(record.kind, 103u);
  EXPECT_STREQ(record.title, "hi!");
  EXPECT_EQ(record.linkFlag, 0u);
  EXPECT_STREQ(record.url, "");
  Bytes toFlag(30, 0);
  toFlag[28] = 1;
  toFlag[29] = 1;
  ASSERT_TRUE(ParseMessageRecord(toFlag.data(), toFlag.size(), &record));
  EXPECT_EQ(record.linkFlag, 0u);

  // Bytes past the record are ignored.
  Bytes longData(kMessageRecordSize + 100, 'y');
  WriteLittleEndian32(&longData[0], 9);
  ASSERT_TRUE(ParseMessageRecord(longData.data(), longData.size(), &record));
  EXPECT_EQ(record.kind, 9u);
  EXPECT_EQ(strlen(record.content), sizeof(record.content) - 1);
}

TEST(ExceptionText, KeepsAtMost255BytesTerminated) {
  EXPECT_STREQ(Exception("套节字帮定失败!").GetText(), "套节字帮定失败!");
  EXPECT_STREQ(Exception(nullptr).what(), "");
  std::string longText(300, 'z');
  Exception e(longText.c_str());
  EXPECT_EQ(std::string(e.GetText()), std::string(Exception::kTextSize - 1, 'z'));
}

}  // namespace
