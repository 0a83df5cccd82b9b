#include "client/messaging/ProviderMessage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "client/messaging/MessageWire.h"
#include "tests/messaging/MessageDatagram.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A record as the server lays it out: everything after each text is NUL.
Bytes Record(uint32_t kind, const std::string& title, uint32_t linkFlag, const std::string& url,
             const std::string& content) {
  const std::string data = MessageDatagram(kind, title, linkFlag, url, content);
  return Bytes(data.begin(), data.end());
}

Bytes Good() {
  return Record(100, "停机维护通知", 1, "http://www.vorlan.net/notice?id=7", "本周六凌晨2点至4点停机维护。");
}

TEST(ProviderMessage, DatagramsAreTakenWholeOrNotAtAll) {
  struct Case {
    const char* label;
    std::function<Bytes()> datagram;
    MessageDefect expected;
  };
  const Case cases[] = {
      {"a notice with a link", Good, MessageDefect::kNone},
      {"an announcement without a link, lines and a tab in its content",
       [] { return Record(101, "公告", 0, "", "第一行\r\n第二行\n\t第三行"); }, MessageDefect::kNone},
      {"bytes after a field's terminator are padding",
       [] {
         Bytes d = Good();
         d[4 + 20] = 'x';
         d[32 + 250] = 0x01;
         d[1311] = 0xFF;
         return d;
       },
       MessageDefect::kNone},
      {"a title filling its field but for the terminator",
       [] { return Record(102, std::string(23, 'T'), 0, "", "c"); }, MessageDefect::kNone},

      {"one byte short",
       [] {
         Bytes d = Good();
         d.pop_back();
         return d;
       },
       MessageDefect::kSize},
      {"one byte over",
       [] {
         Bytes d = Good();
         d.push_back(0);
         return d;
       },
       MessageDefect::kSize},
      {"a presence notice", [] { return Bytes(44, 0); }, MessageDefect::kSize},
      {"kind 103", [] { return Record(103, "t", 0, "", "c"); }, MessageDefect::kKind},
      {"an online notice's kind", [] { return Record(1, "t", 0, "", "c"); }, MessageDefect::kKind},
      {"an unknown kind", [] { return Record(99, "t", 0, "", "c"); }, MessageDefect::kKind},
      {"a kind with high bytes set", [] { return Record(0x01000064, "t", 0, "", "c"); },
       MessageDefect::kKind},

      {"a title without terminator", [] { return Record(100, std::string(24, 'T'), 0, "", "c"); },
       MessageDefect::kTitle},
      {"an empty title", [] { return Record(100, "", 0, "", "c"); }, MessageDefect::kTitle},
      {"a control character in the title", [] { return Record(100, "a\x1b[2Jb", 0, "", "c"); },
       MessageDefect::kTitle},
      {"a line break in the title", [] { return Record(100, "a\r\nb", 0, "", "c"); }, MessageDefect::kTitle},
      {"a title ending in half a character", [] { return Record(100, "通知\xB1", 0, "", "c"); },
       MessageDefect::kTitle},
      {"a byte that starts no character", [] { return Record(100, "a\x80z", 0, "", "c"); },
       MessageDefect::kTitle},
      {"a trail byte that ends none", [] { return Record(100, "\xB1\x7F", 0, "", "c"); },
       MessageDefect::kTitle},

      {"link flag 2", [] { return Record(100, "t", 2, "http://a", "c"); }, MessageDefect::kLinkFlag},
      {"a link without terminator",
       [] { return Record(100, "t", 1, "http://a/" + std::string(247, 'x'), "c"); }, MessageDefect::kLink},
      {"a file for a link", [] { return Record(100, "t", 1, "file:///C:/Windows/system32/cmd.exe", "c"); },
       MessageDefect::kLink},
      {"a program for a link", [] { return Record(100, "t", 1, "C:\\Windows\\notepad.exe", "c"); },
       MessageDefect::kLink},
      {"a script for a link", [] { return Record(100, "t", 1, "javascript:alert(1)", "c"); },
       MessageDefect::kLink},
      {"flag 1 with no link", [] { return Record(100, "t", 1, "", "c"); }, MessageDefect::kLink},
      {"flag 0 with a link", [] { return Record(100, "t", 0, "http://a", "c"); }, MessageDefect::kLink},

      {"an empty content", [] { return Record(100, "t", 0, "", ""); }, MessageDefect::kContent},
      {"a content without terminator", [] { return Record(100, "t", 0, "", std::string(1024, 'c')); },
       MessageDefect::kContent},
      {"a control character in the content", [] { return Record(100, "t", 0, "", "a\x07z"); },
       MessageDefect::kContent},
      {"a content ending in half a character", [] { return Record(100, "t", 0, "", "内容\xC4"); },
       MessageDefect::kContent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Bytes data = c.datagram();
    ProviderMessage message;
    message.title = "before";
    EXPECT_EQ(ReadProviderMessage(data.data(), data.size(), &message), c.expected);
    if (c.expected != MessageDefect::kNone) {
      EXPECT_EQ(message.title, "before") << "a refused datagram left a trace";
    }
  }
  EXPECT_EQ(ReadProviderMessage(nullptr, kMessageRecordSize, nullptr), MessageDefect::kSize);
}

TEST(ProviderMessage, FieldsAndCategoriesOfTakenMessages) {
  ProviderMessage message;
  Bytes data = Good();
  ASSERT_EQ(ReadProviderMessage(data.data(), data.size(), &message), MessageDefect::kNone);
  EXPECT_EQ(message.category, "通知");
  EXPECT_EQ(message.title, "停机维护通知");
  EXPECT_EQ(message.url, "http://www.vorlan.net/notice?id=7");
  EXPECT_EQ(message.content, "本周六凌晨2点至4点停机维护。");

  data = Record(101, "t", 0, "", "c");
  ASSERT_EQ(ReadProviderMessage(data.data(), data.size(), &message), MessageDefect::kNone);
  EXPECT_EQ(message.category, "公告");
  EXPECT_EQ(message.url, "");
  EXPECT_STREQ(MessageCategory(102), "优惠");
  EXPECT_EQ(MessageCategory(kKindP2pTrash), nullptr);

  FormatMessageMoment(2024, 3, 7, 9, 5, 0, &message.date, &message.time);
  EXPECT_EQ(message.date, "2024-03-07");
  EXPECT_EQ(message.time, "09:05:00");
}

TEST(ProviderMessage, OnlyWebLinksMayGoToTheShell) {
  for (const char* link : {"http://www.vorlan.net", "https://vorlan.net/", "HTTP://A.B/c?d=e&f=g#h",
                           "http://10.1.2.3:8080/path/page.html", "https://my-isp.example/%E4%BD%A0"}) {
    EXPECT_TRUE(IsWebLink(link)) << link;
  }
  for (const char* link : {"",
                           "http://",
                           "https://",
                           "http:///path",
                           "http://:80/",
                           "http://.evil",
                           "http://a b",
                           "http:// a",
                           "http://a/b c",
                           "http://a/\"x",
                           "http://a/<script>",
                           "http://a\\b",
                           "http://user@host/",
                           "http://a/|calc",
                           "http://中国.cn",
                           "http:/a",
                           "ftp://a",
                           "mailto:a@b",
                           "\\\\server\\share",
                           "http://a\t",
                           "file://a"}) {
    EXPECT_FALSE(IsWebLink(link)) << link;
  }
}

TEST(ProviderMessage, NewestFirstByMomentThenByLaterStored) {
  auto at = [](const char* date, const char* time, const char* title) {
    ProviderMessage m;
    m.date = date;
    m.time = time;
    m.title = title;
    return m;
  };
  // In the store's order: appended oldest first, but the clock was set back once, and two files
  // edited by hand left moments that are not the store's.
  const std::vector<ProviderMessage> stored = {
      at("2024-03-07", "09:05:00", "a"), at("2024-03-07", "23:59:59", "b"), at("2024-03-08", "00:00:00", "c"),
      at("2024-03-07", "12:00:00", "d"), at("2024-03-08", "00:00:00", "e"), at("yesterday", "", "f"),
      at("2024-3-9", "1:00:00", "g"),    at("2023-12-31", "23:59:59", "h"),
  };
  std::string titles;
  for (size_t position : NewestFirst(stored)) titles += stored[position].title;
  EXPECT_EQ(titles, "ecbdahgf");
  EXPECT_TRUE(NewestFirst({}).empty());
}

TEST(ProviderMessage, TextsCutOnCharacterBoundariesAndLineBreaksForTheEdit) {
  EXPECT_EQ(CutText("short", 10), "short");
  EXPECT_EQ(CutText("0123456789", 10), "0123456789");
  EXPECT_EQ(CutText("0123456789A", 10), "0123456...");
  // "一二三四" is eight bytes: seven leave room for two characters, never for half of one.
  EXPECT_EQ(CutText("一二三四", 7), "一二...");
  EXPECT_EQ(CutText("a一二三四", 8), "a一二...");
  EXPECT_EQ(CutText(std::string(300, 'x'), 255).size(), 255u);

  EXPECT_EQ(WithWindowsLineBreaks("a\nb\r\nc\rd\n"), "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(WithWindowsLineBreaks("no breaks"), "no breaks");
}

}  // namespace
