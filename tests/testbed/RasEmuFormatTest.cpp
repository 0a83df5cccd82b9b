// The stand-in's portable parts: the device list of RASEMU_DEVICES, the phone-book text and the
// error texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testbed/rasapi/DeviceList.h"
#include "testbed/rasapi/ErrorText.h"
#include "testbed/rasapi/PhoneBookText.h"

namespace rasemu {
namespace {

TEST(DeviceList, DescribesTheMachine) {
  struct Case {
    const char* value;
    std::vector<std::pair<std::string, std::string>> devices;
  } cases[] = {
      {nullptr, {{"pppoe", "WAN Miniport (PPPOE)"}}},
      {"", {}},
      {";;", {}},
      {"pppoe:WAN Miniport (PPPOE);PPPoE:Other;modem:Modem",
       {{"pppoe", "WAN Miniport (PPPOE)"}, {"PPPoE", "Other"}, {"modem", "Modem"}}},
      {"vpn", {{"vpn", ""}}},
      {"pppoe:a:b;", {{"pppoe", "a:b"}}},
      {":nameless", {{"", "nameless"}}},
  };
  for (const Case& c : cases) {
    const std::vector<Device> devices = ParseDeviceList(c.value);
    ASSERT_EQ(devices.size(), c.devices.size()) << (c.value ? c.value : "(unset)");
    for (std::size_t i = 0; i < devices.size(); ++i) {
      EXPECT_EQ(devices[i].type, c.devices[i].first);
      EXPECT_EQ(devices[i].name, c.devices[i].second);
    }
  }
}

TEST(PhoneBookText, EntriesRoundTripWhateverTheirBytes) {
  CPhoneBookText book;
  book.Put(
      {"pppoe_vorlan_default_entry", {{"szDeviceType", "pppoe"}, {"szDeviceName", "WAN Miniport (PPPOE)"}}});
  book.Put({"宽带 [2]=%", {{"szLocalPhoneNumber", "a=b\r\nc%d"}, {"empty", ""}, {"k=ey", " lead"}}});
  const CPhoneBookText back = CPhoneBookText::Parse(book.Serialize());
  ASSERT_EQ(back.Entries().size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(back.Entries()[i].name, book.Entries()[i].name);
    EXPECT_EQ(back.Entries()[i].values, book.Entries()[i].values);
  }
}

TEST(PhoneBookText, AHandEditedFileLosesOnlyItsBrokenLines) {
  const CPhoneBookText book = CPhoneBookText::Parse(
      "stray=before any section\n"
      "; comment\n"
      "[first]\r\n"
      "  szDeviceType = pppoe\n"
      "no equals sign here\n"
      "=no key\n"
      "[broken\n"
      "lost=after a broken header\n"
      "[]\n"
      "[second]\n"
      "# another comment\n"
      "value=%ZZ kept as written\n");
  ASSERT_EQ(book.Entries().size(), 2u);
  EXPECT_EQ(book.Entries()[0].name, "first");
  ASSERT_NE(book.Entries()[0].Value("szDeviceType"), nullptr);
  EXPECT_EQ(*book.Entries()[0].Value("szDeviceType"), " pppoe");
  EXPECT_EQ(book.Entries()[0].values.size(), 1u);
  EXPECT_EQ(book.Entries()[1].name, "second");
  EXPECT_EQ(*book.Entries()[1].Value("value"), "%ZZ kept as written");
  EXPECT_EQ(book.Entries()[1].Value("lost"), nullptr);
}

TEST(PhoneBookText, NamesCompareWithoutRegardToLetterCase) {
  EXPECT_TRUE(SameEntryName("PPPoE_Vorlan_Default_Entry", "pppoe_vorlan_default_entry"));
  EXPECT_FALSE(SameEntryName("pppoe", "pppoe "));
  EXPECT_TRUE(SameEntryName("宽带连接", "宽带连接"));
  EXPECT_FALSE(SameEntryName("宽带连接", "宽带链接"));

  CPhoneBookText book;
  book.Put({"Entry", {{"a", "1"}}});
  book.Put({"other", {}});
  book.Put({"ENTRY", {{"a", "2"}}});
  ASSERT_EQ(book.Entries().size(), 2u) << "storing under another case replaces the entry";
  EXPECT_EQ(book.Entries()[0].name, "ENTRY") << "and keeps its place";
  EXPECT_EQ(*book.Find("entry")->Value("a"), "2");
  EXPECT_TRUE(book.Remove("eNtRy"));
  EXPECT_FALSE(book.Remove("entry"));
  EXPECT_EQ(book.Find("entry"), nullptr);
}

TEST(PhoneBookText, DuplicatesInAFileGoWhenTheEntryIsStored) {
  CPhoneBookText book = CPhoneBookText::Parse("[a]\nx=1\n[b]\n[A]\nx=2\n");
  ASSERT_EQ(book.Entries().size(), 3u);
  EXPECT_EQ(*book.Find("a")->Value("x"), "1") << "the first of duplicates counts";
  book.Put({"a", {{"x", "3"}}});
  ASSERT_EQ(book.Entries().size(), 2u);
  EXPECT_EQ(book.Entries()[0].name, "a");
  EXPECT_EQ(book.Entries()[1].name, "b");
}

TEST(ErrorText, OnlyRemoteAccessCodesHaveTexts) {
  for (unsigned code : {602u, 603u, 608u, 619u, 623u, 629u, 631u, 632u, 633u, 651u, 678u, 691u, 718u, 734u,
                        738u, 756u, 769u, 797u}) {
    const char* text = KnownErrorText(code);
    ASSERT_NE(text, nullptr) << code;
    // The dial engine reads the text into a 256-byte buffer.
    EXPECT_LT(std::string(text).size(), 256u) << code;
  }
  EXPECT_STREQ(KnownErrorText(691), "由于用户名和/或密码在此域上无效，访问被拒绝。");
  EXPECT_STREQ(KnownErrorText(678), "远程计算机没有响应。");
  // System codes that the remote-access functions return are not remote-access errors.
  for (unsigned code : {0u, 6u, 87u, 122u, 183u, 599u, 871u, 12345u, 4294967295u}) {
    EXPECT_EQ(KnownErrorText(code), nullptr) << code;
  }
}

}  // namespace
}  // namespace rasemu
