#include "client/store/RecordFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#endif

#include "client/store/ProgramFolder.h"
#include "client/store/XmlDoc.h"
#include "tests/store/StoreTestSupport.h"

namespace {

std::time_t Local(int year, int month, int day, int hour, int minute, int second) {
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  return std::mktime(&parts);
}

std::string Item(const std::string& user, const std::string& start, const std::string& end,
                 const std::string& ip, const std::string& code, const std::string& send,
                 const std::string& recv) {
  return "<ITEM user=\"" + user + "\" start_time=\"" + start + "\" end_time=\"" + end + "\" ip=\"" + ip +
         "\" error_code=\"" + code + "\" send=\"" + send + "\" recv=\"" + recv + "\"/>\r\n";
}

std::string OpenItem(const std::string& user, const std::string& start, const std::string& ip) {
  return Item(user, start, "", ip, "", "", "");
}

std::string RecordFile(const std::string& items) {
  return std::string(Declaration()) + "<record>\r\n" + items + "</record>\r\n";
}

class RecordFilesTest : public ::testing::Test {
 protected:
  std::string March() const { return MonthFileName(m_folder.Path(), 2009, 3); }
  std::string April() const { return MonthFileName(m_folder.Path(), 2009, 4); }

  TempFolder m_folder;
};

TEST(RecordTimeTest, TimeTextsAndMonthFileNames) {
  EXPECT_EQ(FormatLocalTime(Local(2009, 3, 5, 8, 7, 9)), "2009-03-05 08:07:09");
  EXPECT_EQ(FormatLocalTime(Local(2010, 12, 31, 23, 59, 59)), "2010-12-31 23:59:59");

  const std::string folder = "rec";
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(MonthFileName(folder, 2009, 3), "rec" + sep + "2009-03.xml");
  EXPECT_EQ(MonthFileName(folder, 2010, 12), "rec" + sep + "2010-12.xml");
  EXPECT_EQ(MonthFileName(folder, Local(2009, 1, 31, 23, 59, 59)), "rec" + sep + "2009-01.xml");

  struct Case {
    const char* text;
    const char* file;
  };
  const Case cases[] = {
      {"2009-03-05 08:07:09", "2009-03.xml"},
      {"2011-11", "2011-11.xml"},
      {"0999-01-01 00:00:00", "999-01.xml"},
      {"2009-13-01 00:00:00", ""},
      {"2009-00-01 00:00:00", ""},
      {"2009-3-05 08:07:09", ""},
      {"2009/03/05", ""},
      {"..\\..-03", ""},
      {"abcd-ef", ""},
      {"2009-0", ""},
      {"", ""},
      {nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    std::string expected = *c.file ? "rec" + sep + c.file : "";
    EXPECT_EQ(MonthFileNameOfTimeText(folder, c.text), expected);
  }
}

TEST_F(RecordFilesTest, NewRecordsGoInFrontOfAFreshMonthFile) {
  ConnectionRecordId first =
      OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 8, 7, 9), "alice", "10.0.0.1");
  EXPECT_EQ(first.user, "alice");
  EXPECT_EQ(first.startTime, "2009-03-05 08:07:09");
  EXPECT_TRUE(first.IsSet());
  EXPECT_EQ(ReadBytes(March()), RecordFile(OpenItem("alice", "2009-03-05 08:07:09", "10.0.0.1")));

  OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 6, 21, 0, 0), "bob", nullptr);
  EXPECT_EQ(ReadBytes(March()), RecordFile(OpenItem("bob", "2009-03-06 21:00:00", "") +
                                           OpenItem("alice", "2009-03-05 08:07:09", "10.0.0.1")));
  EXPECT_FALSE(FileExists(April()));
}

TEST_F(RecordFilesTest, ClosingFillsTheEndFieldsOfTheFirstRecordOnly) {
  OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 8, 0, 0), "alice", "10.0.0.1");
  EXPECT_TRUE(
      CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 9, 0, 0), ConnectionEnd::kLost, "1", "2"));
  const std::string lostAlice =
      Item("alice", "2009-03-05 08:00:00", "2009-03-05 09:00:00", "10.0.0.1", "非法断开", "", "");
  EXPECT_EQ(ReadBytes(March()), RecordFile(lostAlice));

  OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 9, 0, 30), "alice", "10.0.0.7");
  EXPECT_TRUE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 10, 0, 0), ConnectionEnd::kNormal,
                                    "12345", "67890"));
  EXPECT_EQ(ReadBytes(March()), RecordFile(Item("alice", "2009-03-05 09:00:30", "2009-03-05 10:00:00",
                                                "10.0.0.7", "正常断开", "12345", "67890") +
                                           lostAlice));

  // Both records are closed now: a further close must not overwrite the first one.
  std::string before = ReadBytes(March());
  EXPECT_FALSE(
      CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 11, 0, 0), ConnectionEnd::kNormal, "", ""));
  EXPECT_EQ(ReadBytes(March()), before);
}

TEST_F(RecordFilesTest, TextsAreEscapedAndMatchedUnchanged) {
  const std::string user = "a&b<c>d'e\"f张三";
  ConnectionRecordId id =
      OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 1, 0, 0, 0), user.c_str(), "1.2.3.4");
  EXPECT_EQ(id.user, user);
  EXPECT_EQ(ReadBytes(March()),
            RecordFile(OpenItem("a&amp;b&lt;c&gt;d&apos;e&quot;f张三", "2009-03-01 00:00:00", "1.2.3.4")));

  CXmlDoc doc;
  ASSERT_TRUE(doc.LoadFile(March().c_str()));
  ASSERT_TRUE(doc.FindElement("record"));
  ASSERT_TRUE(doc.FindChildElement("ITEM"));
  EXPECT_EQ(doc.GetChildAttribute("user"), user);

  EXPECT_TRUE(
      CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 1, 0, 5, 0), ConnectionEnd::kLost, "", "", id));
  EXPECT_NE(ReadBytes(March()).find("end_time=\"2009-03-01 00:05:00\""), std::string::npos);
}

TEST_F(RecordFilesTest, AConnectionAcrossAMonthBoundaryIsClosedInItsOwnFile) {
  ConnectionRecordId id =
      OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 31, 23, 50, 0), "alice", "10.0.0.1");
  // April already holds a record when the connection ends.
  ASSERT_TRUE(AddRecordByHand(m_folder.Path(), "bob", "2009-04-01 00:01:00", "2009-04-01 00:02:00",
                              "10.0.0.2", "5", "6"));
  const std::string aprilBefore = ReadBytes(April());

  EXPECT_TRUE(CloseConnectionRecord(m_folder.Path(), Local(2009, 4, 1, 0, 10, 0), ConnectionEnd::kNormal,
                                    "100", "200", id));
  EXPECT_EQ(ReadBytes(April()), aprilBefore);
  EXPECT_EQ(ReadBytes(March()), RecordFile(Item("alice", "2009-03-31 23:50:00", "2009-04-01 00:10:00",
                                                "10.0.0.1", "正常断开", "100", "200")));
}

TEST_F(RecordFilesTest, AConnectionIntoAMonthWithoutFileIsStillClosed) {
  ConnectionRecordId id =
      OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 31, 23, 50, 0), "alice", "10.0.0.1");
  EXPECT_TRUE(
      CloseConnectionRecord(m_folder.Path(), Local(2009, 4, 1, 0, 10, 0), ConnectionEnd::kLost, "", "", id));
  EXPECT_FALSE(FileExists(April()));
  EXPECT_EQ(ReadBytes(March()), RecordFile(Item("alice", "2009-03-31 23:50:00", "2009-04-01 00:10:00",
                                                "10.0.0.1", "非法断开", "", "")));
  // Without an identity the end date's month file decides, and there is none.
  OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 31, 23, 55, 0), "carol", "");
  EXPECT_FALSE(
      CloseConnectionRecord(m_folder.Path(), Local(2009, 4, 1, 0, 20, 0), ConnectionEnd::kLost, "", ""));
  EXPECT_FALSE(FileExists(April()));
}

TEST_F(RecordFilesTest, ARecordAddedByHandInFrontOfAnOpenOneIsLeftAlone) {
  ConnectionRecordId id =
      OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 10, 0, 0), "alice", "10.0.0.1");
  ASSERT_TRUE(
      AddRecordByHand(m_folder.Path(), "hand", "2009-03-05 09:00:00", "2009-03-05 09:30:00", "", "1", "2"));
  const std::string handItem =
      Item("hand", "2009-03-05 09:00:00", "2009-03-05 09:30:00", "", "正常断开", "1", "2");
  EXPECT_EQ(ReadBytes(March()), RecordFile(handItem + OpenItem("alice", "2009-03-05 10:00:00", "10.0.0.1")));

  // Without the identity the first record decides, and it is closed already.
  EXPECT_FALSE(
      CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 11, 0, 0), ConnectionEnd::kLost, "", ""));
  EXPECT_TRUE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 11, 0, 0), ConnectionEnd::kNormal, "7",
                                    "8", id));
  const std::string closed = RecordFile(handItem + Item("alice", "2009-03-05 10:00:00", "2009-03-05 11:00:00",
                                                        "10.0.0.1", "正常断开", "7", "8"));
  EXPECT_EQ(ReadBytes(March()), closed);

  // The same identity again finds no open record: nothing is written.
  EXPECT_FALSE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 12, 0, 0), ConnectionEnd::kNormal,
                                     "9", "9", id));
  EXPECT_EQ(ReadBytes(March()), closed);
}

TEST_F(RecordFilesTest, AnIdentityMatchesUserAndStartTimeOnly) {
  ConnectionRecordId id = OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 10, 0, 0), "alice", "");
  OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 10, 0, 0), "bob", "");
  OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 10, 0, 1), "alice", "");
  EXPECT_TRUE(
      CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 10, 30, 0), ConnectionEnd::kLost, "", "", id));
  EXPECT_EQ(
      ReadBytes(March()),
      RecordFile(OpenItem("alice", "2009-03-05 10:00:01", "") + OpenItem("bob", "2009-03-05 10:00:00", "") +
                 Item("alice", "2009-03-05 10:00:00", "2009-03-05 10:30:00", "", "非法断开", "", "")));

  ConnectionRecordId stranger{"nobody", "2009-03-05 10:00:00"};
  std::string before = ReadBytes(March());
  EXPECT_FALSE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 10, 40, 0), ConnectionEnd::kLost, "",
                                     "", stranger));
  EXPECT_EQ(ReadBytes(March()), before);
}

TEST_F(RecordFilesTest, HandAddedRecordsGoToTheMonthOfTheirStart) {
  ASSERT_TRUE(AddRecordByHand(m_folder.Path(), "alice", "2009-03-05 08:00:00", "2009-03-05 09:00:00",
                              "1.1.1.1", "", ""));
  ASSERT_TRUE(AddRecordByHand(m_folder.Path(), "bob", "2009-04-02 08:00:00", "2009-04-02 09:00:00", nullptr,
                              "3", "4"));
  ASSERT_TRUE(
      AddRecordByHand(m_folder.Path(), "carol", "2009-03-01 08:00:00", "2009-03-01 09:00:00", "", "1", "2"));
  EXPECT_EQ(
      ReadBytes(March()),
      RecordFile(Item("carol", "2009-03-01 08:00:00", "2009-03-01 09:00:00", "", "正常断开", "1", "2") +
                 Item("alice", "2009-03-05 08:00:00", "2009-03-05 09:00:00", "1.1.1.1", "正常断开", "", "")));
  EXPECT_EQ(ReadBytes(April()),
            RecordFile(Item("bob", "2009-04-02 08:00:00", "2009-04-02 09:00:00", "", "正常断开", "3", "4")));

  for (const char* bad : {"", "yesterday", "2009-13-01 00:00:00", "../../x"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(AddRecordByHand(m_folder.Path(), "dave", bad, "", "", "", ""));
  }
  EXPECT_FALSE(AddRecordByHand(m_folder.Path(), "dave", nullptr, "", "", "", ""));
}

TEST_F(RecordFilesTest, AMissingRecordFolderLosesTheWriteQuietly) {
  const std::string missing = m_folder.File("no-such-folder");
  ConnectionRecordId id = OpenConnectionRecord(missing, Local(2009, 3, 5, 8, 0, 0), "alice", "");
  EXPECT_TRUE(id.IsSet());
  EXPECT_FALSE(CloseConnectionRecord(missing, Local(2009, 3, 5, 9, 0, 0), ConnectionEnd::kLost, "", "", id));
  EXPECT_FALSE(AddRecordByHand(missing, "a", "2009-03-05 08:00:00", "", "", "", ""));
  EXPECT_FALSE(FileExists(missing));
}

TEST_F(RecordFilesTest, DamagedFilesAreNeverClosedInto) {
  const std::string damaged[] = {
      "",
      std::string(Declaration()),
      std::string(Declaration()) + "<record>\r\n" + OpenItem("alice", "2009-03-05 08:00:00", ""),
      std::string(Declaration()) + "<record>\r\n<ITEM user=\"alice\" start_ti",
      "garbage",
  };
  for (const std::string& bytes : damaged) {
    SCOPED_TRACE(bytes);
    WriteBytes(March(), bytes);
    EXPECT_FALSE(
        CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 9, 0, 0), ConnectionEnd::kLost, "", ""));
    EXPECT_FALSE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 9, 0, 0), ConnectionEnd::kLost, "",
                                       "", ConnectionRecordId{"alice", "2009-03-05 08:00:00"}));
    EXPECT_EQ(ReadBytes(March()), bytes);
  }
}

TEST_F(RecordFilesTest, ANewRecordRebuildsADamagedFileKeepingWhatCanBeRead) {
  const std::string alice =
      Item("alice", "2009-03-01 08:00:00", "2009-03-01 09:00:00", "", "正常断开", "1", "2");
  const std::string bob = OpenItem("bob", "2009-03-02 08:00:00", "10.0.0.2");
  const std::string newItem = OpenItem("carol", "2009-03-05 08:00:00", "");
  const std::string full = RecordFile(alice + bob);
  struct Case {
    std::string bytes;
    std::string kept;
    bool backup;
  };
  const Case cases[] = {
      {"", "", false},
      {"\r\n", "", false},
      {std::string(Declaration()), "", true},
      {full.substr(0, full.size() - 5), alice + bob, true},
      {full.substr(0, full.find("bob") + 10), alice, true},
      {std::string(Declaration()) + "<record>\r\n" + alice + "</ITEM>\r\n" + bob + "</record>\r\n",
       alice + bob, true},
      {full + "<record>\r\n", alice + bob, true},
      {std::string(Declaration()) + alice + bob, alice + bob, true},
      {"<CONFIG>\r\n</CONFIG>\r\n", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    WriteBytes(March(), c.bytes);
    std::remove((March() + kDamagedSuffix).c_str());
    OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 8, 0, 0), "carol", "");
    EXPECT_EQ(ReadBytes(March()), RecordFile(newItem + c.kept));
    EXPECT_EQ(FileExists(March() + kDamagedSuffix), c.backup);
    if (c.backup) {
      EXPECT_EQ(ReadBytes(March() + kDamagedSuffix), c.bytes);
    }
  }
}

// A month file whose save was cut short is never started afresh, what such a save leaves is gone
// at the next read, and every damage keeps a copy of its own.
TEST_F(RecordFilesTest, ASaveCutShortNeverStartsTheMonthAfresh) {
  const std::string alice =
      Item("alice", "2009-03-01 08:00:00", "2009-03-01 09:00:00", "", "正常断开", "1", "2");
  WriteBytes(March() + ".new~", RecordFile(alice));
  ConnectionRecordId carol = OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 8, 0, 0), "carol", "");
  EXPECT_EQ(ReadBytes(March()), RecordFile(OpenItem("carol", "2009-03-05 08:00:00", "") + alice));
  EXPECT_FALSE(FileExists(March() + ".new~"));

  WriteBytes(March() + ".new~", RecordFile(alice).substr(0, 60) + std::string(1 << 20, 'x'));
  EXPECT_TRUE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 9, 0, 0), ConnectionEnd::kLost, "", "",
                                    carol));
  EXPECT_FALSE(FileExists(March() + ".new~"));
  EXPECT_EQ(ReadBytes(March()),
            RecordFile(Item("carol", "2009-03-05 08:00:00", "2009-03-05 09:00:00", "", "非法断开", "", "") +
                       alice));

  for (const char* damage : {"garbage 1", "garbage 2"}) {
    WriteBytes(March(), damage);
    EXPECT_TRUE(AddRecordByHand(m_folder.Path(), "dan", "2009-03-07 10:00:00", "", "", "", ""));
  }
  EXPECT_EQ(ReadBytes(DamagedCopyName(March(), 0)), "garbage 1");
  EXPECT_EQ(ReadBytes(DamagedCopyName(March(), 1)), "garbage 2");
}

TEST_F(RecordFilesTest, AnotherRecordGoesInFrontOfAFileWrittenByAnEarlierVersion) {
  // Indented, LF line ends, attributes in another order and quoting: read and extended as it is.
  const std::string old =
      std::string(Declaration()) +
      "<record>\n  <ITEM user='x' end_time=\"\" start_time=\"2009-03-01 01:00:00\" ip=\"\" "
      "error_code=\"\" send=\"\" recv=\"\"/>\n</record>\n";
  WriteBytes(March(), old);
  ConnectionRecordId id = OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 2, 1, 0, 0), "y", "");
  std::string text = ReadBytes(March());
  EXPECT_FALSE(FileExists(March() + kDamagedSuffix));
  EXPECT_NE(text.find(OpenItem("y", "2009-03-02 01:00:00", "")), std::string::npos);
  EXPECT_LT(text.find("user=\"y\""), text.find("user='x'"));
  EXPECT_TRUE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 2, 2, 0, 0), ConnectionEnd::kLost, "", "",
                                    ConnectionRecordId{"x", "2009-03-01 01:00:00"}));
  EXPECT_NE(ReadBytes(March()).find("<ITEM user='x' end_time=\"2009-03-02 02:00:00\""), std::string::npos);
  (void)id;
}

TEST(ProgramFolderTest, FoldersBesideTheProgram) {
  std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), kPathSeparator);
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(DataFolder(folder), folder + "data");
  EXPECT_EQ(RecordFolder(folder), folder + "data" + sep + "record");
  EXPECT_EQ(RecordFolder(), RecordFolder(folder));
#ifdef _WIN32
  EXPECT_TRUE(FileExists(folder + "store_tests.exe"));
#else
  EXPECT_TRUE(FileExists(folder + "store_tests"));
#endif
}

#ifdef _WIN32
// In code page 936 the second byte of a double-byte character can be 0x5C, the backslash: the
// program folder is cut after the last real backslash, never inside such a character, be it in
// the program's name or in its folder's.
TEST(ProgramFolderTest, ABackslashInsideACharacterIsNoSeparator) {
  TempFolder temp;
  const std::string folder = temp.Path() +
                             "\\a\x81\x5c"
                             "b\\";
  const std::string program = folder + "p\x81\x5c.exe";
  ASSERT_TRUE(MakeFolder(folder.substr(0, folder.size() - 1)));
  std::string probe;
  ASSERT_EQ(ReadWholeFile(ProgramFolder() + "program_folder_probe.exe", probe), FileRead::kRead);
  ASSERT_TRUE(WriteWholeFile(program, probe));
  EXPECT_EQ(_spawnl(_P_WAIT, program.c_str(), "p.exe", nullptr), 0);
  std::string found;
  EXPECT_EQ(ReadWholeFile(folder + "folder.txt", found), FileRead::kRead);
  EXPECT_EQ(found, folder);
}
#endif

TEST(ProgramFolderTest, MakeRecordFolderCreatesBothLevels) {
  TempFolder temp;
  const std::string program = temp.Path() + kPathSeparator;
  EXPECT_TRUE(MakeRecordFolder(program));
  EXPECT_TRUE(MakeRecordFolder(program));
  EXPECT_TRUE(std::filesystem::is_directory(RecordFolder(program)));
  WriteBytes(temp.File("plain"), "x");
  EXPECT_FALSE(MakeFolder(temp.File("plain")));
  EXPECT_FALSE(MakeFolder(""));
}

}  // namespace

namespace {

// Connections of one user that start within one second, closed in any order: each close completes
// its own record, once.
TEST_F(RecordFilesTest, RecordsOfOneUserAndSecondAreClosedEachByItsOwnIdentity) {
  const std::time_t second = Local(2009, 3, 5, 10, 0, 0);
  std::vector<ConnectionRecordId> ids;
  for (int i = 0; i < 5; ++i) {
    ids.push_back(
        OpenConnectionRecord(m_folder.Path(), second, "alice", ("10.0.0." + std::to_string(i)).c_str()));
    EXPECT_EQ(ids.back().ordinal, i);
    // A record of another user in the same second and one added by hand shift nothing.
    OpenConnectionRecord(m_folder.Path(), second, "bob", "");
  }
  ASSERT_TRUE(
      AddRecordByHand(m_folder.Path(), "alice", "2009-03-05 10:00:00", "2009-03-05 10:00:00", "", "", ""));
  for (int i : {3, 0, 4, 1, 2}) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 11, 0, i), ConnectionEnd::kNormal,
                                      std::to_string(i).c_str(), "0", ids[i]));
    EXPECT_FALSE(CloseConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 12, 0, 0), ConnectionEnd::kLost, "",
                                       "", ids[i]))
        << "closed twice";
  }
  CXmlDoc doc;
  ASSERT_TRUE(doc.LoadFile(March().c_str()));
  ASSERT_TRUE(doc.FindElement("record") && doc.EnterElement());
  int alice = 0;
  while (doc.FindElement("ITEM")) {
    if (doc.GetAttribute("user") != "alice" || doc.GetAttribute("error_code") != "正常断开") continue;
    if (doc.GetAttribute("ip").empty()) continue;  // the one added by hand
    // Every record carries the traffic of its own close: its address and its send count agree.
    EXPECT_EQ(doc.GetAttribute("ip"), "10.0.0." + doc.GetAttribute("send"));
    ++alice;
  }
  EXPECT_EQ(alice, 5);
}

TEST_F(RecordFilesTest, AFailedAttemptIsWrittenClosedWithItsErrorAndNoTraffic) {
  OpenConnectionRecord(m_folder.Path(), Local(2009, 3, 5, 9, 0, 0), "alice", "10.0.0.1");
  ASSERT_TRUE(RecordFailedAttempt(m_folder.Path(), Local(2009, 3, 5, 9, 30, 0), "bob", "", 691));
  EXPECT_EQ(ReadBytes(March()), RecordFile(Item("bob", "2009-03-05 09:30:00", "2009-03-05 09:30:00", "",
                                                "连接失败(691)", "", "") +
                                           OpenItem("alice", "2009-03-05 09:00:00", "10.0.0.1")));
  EXPECT_EQ(FailedAttemptText(678), "连接失败(678)");
}

// A line that was not dialled here stands for the newest open record of its address, in this
// month's file or the one before; records of other addresses, closed ones and other users' are
// never taken.
TEST_F(RecordFilesTest, TheOpenRecordOfAnAddressIsFoundForALineDialledElsewhere) {
  WriteBytes(March(), RecordFile(OpenItem("old", "2009-03-01 08:00:00", "10.0.0.9") +
                                 OpenItem("carol", "2009-03-20 08:00:00", "10.0.0.5")));
  WriteBytes(April(), RecordFile(Item("dave", "2009-04-01 09:00:00", "2009-04-01 09:30:00", "10.0.0.7",
                                      "正常断开", "1", "2") +
                                 OpenItem("erin", "2009-04-01 08:00:00", "10.0.0.7") +
                                 OpenItem("erin", "2009-04-01 08:00:00", "10.0.0.7")));
  const std::time_t now = Local(2009, 4, 2, 12, 0, 0);
  ConnectionRecordId id;
  EXPECT_FALSE(FindOpenRecordByIp(m_folder.Path(), now, "10.0.0.1", &id));
  EXPECT_FALSE(FindOpenRecordByIp(m_folder.Path(), now, "", &id));
  ASSERT_TRUE(FindOpenRecordByIp(m_folder.Path(), now, "10.0.0.7", &id));
  EXPECT_EQ(id.user, "erin");
  EXPECT_EQ(id.ordinal, 1);
  ASSERT_TRUE(FindOpenRecordByIp(m_folder.Path(), now, "10.0.0.5", &id));
  EXPECT_EQ(id.user, "carol");

  // Closing it completes that record and leaves the older open one of another user alone.
  ASSERT_TRUE(CloseConnectionRecord(m_folder.Path(), now, ConnectionEnd::kLost, "", "", id));
  EXPECT_EQ(ReadBytes(March()), RecordFile(OpenItem("old", "2009-03-01 08:00:00", "10.0.0.9") +
                                           Item("carol", "2009-03-20 08:00:00", "2009-04-02 12:00:00",
                                                "10.0.0.5", "非法断开", "", "")));
}

}  // namespace
