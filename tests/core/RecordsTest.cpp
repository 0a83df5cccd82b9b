// The records the running client writes against the access server, as a hostile user would try
// them: refused dials, bursts of clicks, lines dialled by another program, hand-edited settings.
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "client/core/DialRules.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/RecordFiles.h"
#include "client/store/XmlDoc.h"

namespace {

const char kNormalEnd[] = "正常断开";
const char kLostEnd[] = "非法断开";

bool IsDialError(const std::string& text) {
  return text.rfind("连接错误!", 0) == 0;
}

size_t OpenCount(const std::vector<e2e::RecordItem>& records) {
  size_t open = 0;
  for (const e2e::RecordItem& record : records) open += record.end.empty() ? 1 : 0;
  return open;
}

class RecordsTest : public e2e::ConnectionTest {
 protected:
  std::string Address() {
    const std::vector<testbed::SessionInfo> sessions = m_server.Sessions();
    return sessions.empty() ? std::string() : sessions[0].address;
  }
  std::string RecordFolder() { return m_client->Folder() + "data\\record"; }
  // Writes the month file of now in the client's program folder with these ITEM lines.
  void WriteMonthFile(const std::string& items) {
    CreateDirectoryA((m_client->Folder() + "data").c_str(), nullptr);
    CreateDirectoryA(RecordFolder().c_str(), nullptr);
    CXmlDoc doc;
    doc.SetDocText(
        ("<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<record>\r\n" + items + "</record>\r\n").c_str());
    ASSERT_TRUE(doc.SaveFile(MonthFileName(RecordFolder(), std::time(nullptr)).c_str()));
  }
  // Saves demo with its remembered password as the last user.
  static void RememberDemo(CConfigStore& config) {
    const std::string stored = MakeStoredPasswordText("demo1234");
    config.SaveUser(e2e::kDefaultEntry, stored.c_str(), "demo");
    config.SetLastUser(stored.c_str(), "demo");
  }
};

TEST_F(RecordsTest, ARefusedDialIsRecordedClosedAtOnceWithItsError) {
  ASSERT_NO_FATAL_FAILURE(StartClient("records-refused"));
  Connect("demo", "wrong");
  ASSERT_TRUE(driver::WaitFor([&] { return IsDialError(m_client->Text(IDC_MESSAGE_TEXT)); }, 15000));
  ASSERT_TRUE(driver::WaitFor([&] { return !Records().empty(); }, 10000));
  ASSERT_NO_FATAL_FAILURE(ExitClient());
  const std::vector<e2e::RecordItem> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].user, "demo");
  EXPECT_EQ(records[0].end, records[0].start);
  EXPECT_EQ(records[0].error, "连接失败(691)");
  EXPECT_EQ(records[0].ip, "");
  EXPECT_EQ(records[0].send, "");
  EXPECT_EQ(records[0].recv, "");
}

// Fifty connect and disconnect commands a few milliseconds apart: each connect writes one record,
// and every record ends closed, by its own attempt or connection.
TEST_F(RecordsTest, EveryRecordOfABurstOfCommandsIsClosedExactlyOnce) {
  ASSERT_NO_FATAL_FAILURE(StartClient("records-burst"));
  ASSERT_TRUE(m_client->Type(IDC_USER_NAME, "demo"));
  ASSERT_TRUE(m_client->Type(IDC_PASSWORD, "demo1234"));
  constexpr int kPairs = 50;
  for (int i = 0; i < kPairs; ++i) {
    m_client->SendCommand(ID_MENU_CONNECT);
    Sleep(3);
    m_client->SendCommand(ID_MENU_DISCONNECT);
    Sleep(3);
  }
  std::vector<e2e::RecordItem> records;
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        records = Records();
        return records.size() == kPairs && OpenCount(records) == 0 && SessionCount() == 0;
      },
      180000))
      << records.size() << " records, " << OpenCount(records) << " open, " << SessionCount() << " sessions";
  for (const e2e::RecordItem& record : records) {
    EXPECT_TRUE(record.error == kNormalEnd || record.error.rfind("连接失败(", 0) == 0) << record.error;
  }
  ASSERT_NO_FATAL_FAILURE(ExitClient());
  EXPECT_EQ(Records().size(), static_cast<size_t>(kPairs));
  EXPECT_EQ(OpenCount(Records()), 0u);
}

// A line dialled by another program before the start: the open record of its address stands for
// it (a record another client run left behind), another user's older open record is never touched.
TEST_F(RecordsTest, ALineDialledElsewhereCompletesTheRecordOfItsOwnAddress) {
  std::string output;
  ASSERT_EQ(RunRasdial(std::string(e2e::kDefaultEntry) + " demo demo1234", &output), 0) << output;
  const std::string address = Address();
  ASSERT_FALSE(address.empty());
  m_client = new driver::CClient("records-foreign");
  std::string error;
  ASSERT_TRUE(m_client->Prepare(&error)) << error;
  const std::string today = FormatLocalTime(std::time(nullptr)).substr(0, 10);
  const std::string left = today + " 00:00:01";
  const std::string older = today + " 00:00:00";
  ASSERT_NO_FATAL_FAILURE(
      WriteMonthFile("<ITEM user=\"demo\" start_time=\"" + left + "\" end_time=\"\" ip=\"" + address +
                     "\" error_code=\"\" send=\"\" recv=\"\"/>\r\n"
                     "<ITEM user=\"other\" start_time=\"" +
                     older + "\" end_time=\"\" ip=\"10.9.9.9\" error_code=\"\" send=\"\" recv=\"\"/>\r\n"));
  ASSERT_TRUE(m_client->Launch(&error)) << error;
  ASSERT_NE(m_client->WaitForMainWindow(), nullptr);
  ASSERT_TRUE(WaitText(IDC_IP_TEXT, address));

  ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
  ASSERT_TRUE(WaitNoSession());
  std::vector<e2e::RecordItem> records;
  ASSERT_TRUE(
      driver::WaitFor([&] { return (records = Records()).size() == 2 && !records[0].end.empty(); }, 10000));
  EXPECT_EQ(records[0].start, left);
  EXPECT_EQ(records[0].ip, address);
  EXPECT_EQ(records[0].error, kNormalEnd);
  EXPECT_TRUE(e2e::IsDecimal(records[0].recv)) << records[0].recv;
  EXPECT_EQ(records[1].user, "other");
  EXPECT_EQ(records[1].end, "") << "another user's record was completed";
  ASSERT_NO_FATAL_FAILURE(ExitClient());
}

// The same kind of line dropped at the server: with "Reconnect" on it is redialled with the login
// page's user and remembered password; without a remembered password the message line says why
// it is not.
TEST_F(RecordsTest, ALineDialledElsewhereIsRedialledWithTheRememberedPassword) {
  struct Case {
    const char* name;
    bool remembered;
  };
  for (const Case& c : {Case{"records-foreign-redial", true}, Case{"records-foreign-nopassword", false}}) {
    SCOPED_TRACE(c.name);
    std::string output;
    ASSERT_EQ(RunRasdial(std::string(e2e::kDefaultEntry) + " demo demo1234", &output), 0) << output;
    const std::string address = Address();
    ASSERT_NO_FATAL_FAILURE(StartClient(c.name, [&](CConfigStore& config) {
      if (c.remembered) {
        RememberDemo(config);
      } else {
        config.SaveUser(e2e::kDefaultEntry, "", "demo");
        config.SetLastUser("", "demo");
      }
      config.SetReconnect(true);
      config.SetRedial("1", 3);
    }));
    ASSERT_TRUE(WaitText(IDC_IP_TEXT, address));
    ASSERT_TRUE(driver::WaitFor([&] { return Records().size() == 1; }, 10000));
    EXPECT_EQ(Records()[0].ip, address);

    ASSERT_TRUE(m_server.Ctl("DROP all"));
    if (c.remembered) {
      std::vector<e2e::RecordItem> records;
      ASSERT_TRUE(
          driver::WaitFor([&] { return (records = Records()).size() == 2 && SessionCount() == 1; }, 20000))
          << records.size() << " records, message " << m_client->Text(IDC_MESSAGE_TEXT);
      EXPECT_TRUE(WaitConnected("demo"));
      EXPECT_EQ(records[0].ip, Address());
      EXPECT_EQ(records[0].end, "");
      EXPECT_EQ(records[1].error, kLostEnd);
    } else {
      EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, "连接已断开：没有记住密码，无法自动重新连接"))
          << m_client->Text(IDC_MESSAGE_TEXT);
      EXPECT_EQ(SessionCount(), 0u);
    }
    ASSERT_NO_FATAL_FAILURE(ExitClient());
    ASSERT_TRUE(m_server.Reset());
  }
}

// A gap written by hand as a negative number pauses about a second between failures: three
// redials take at least two such pauses, and no fourth follows.
TEST_F(RecordsTest, ANegativeRedialGapPausesASecond) {
  ASSERT_NO_FATAL_FAILURE(StartClient("records-gap", [](CConfigStore& config) {
    config.SetReconnect(true);
    config.SetRedial("-1", 3);
  }));
  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitConnected("demo"));
  ASSERT_TRUE(m_server.Ctl("FAIL 678 1000"));
  const DWORD start = GetTickCount();
  ASSERT_TRUE(m_server.Ctl("DROP all"));
  testbed::AccountCounts counts;
  ASSERT_TRUE(m_server.WaitForCounts(
      "demo", [](const testbed::AccountCounts& c) { return c.dials == 4; }, 20000, &counts))
      << counts.dials << " dials";
  EXPECT_GE(GetTickCount() - start, 1800u) << "redialled without a pause";
  // The tries are used up: the message line keeps the last failure, and two more gaps pass
  // without a dial.
  ASSERT_TRUE(driver::WaitFor([&] { return IsDialError(m_client->Text(IDC_MESSAGE_TEXT)); }, 10000));
  EXPECT_FALSE(m_server.WaitForCounts(
      "demo", [](const testbed::AccountCounts& c) { return c.dials > 4; }, 2500));
  EXPECT_EQ(m_server.Counts("demo").Refused(678), 3u);
  ASSERT_TRUE(m_server.Ctl("FAIL 0"));
  ASSERT_NO_FATAL_FAILURE(ExitClient());
}

}  // namespace
