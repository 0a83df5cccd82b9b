// The watch over the connection in the running client, against the access server: connections
// from elsewhere, lines dropped at the server, the redial policies, automatic connection, the
// traffic of a long connection and the exit.
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/DesCipher.h"
#include "client/store/RecordFiles.h"

namespace {

using e2e::kConnectedText;
using e2e::kWelcomeText;

const char kLostEnd[] = "非法断开";
const char kNormalEnd[] = "正常断开";

bool IsDialError(const std::string& text) {
  return text.rfind("连接错误!", 0) == 0;
}

void Idle(DWORD milliseconds) {
  driver::WaitFor([] { return false; }, milliseconds);
}

class SupervisionTest : public e2e::ConnectionTest {
 protected:
  // Connects as demo from the login page and waits for the record of the connection.
  void ConnectDemo() {
    const size_t records = Records().size();
    Connect("demo", "demo1234");
    ASSERT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);
    ASSERT_TRUE(driver::WaitFor([&] { return Records().size() == records + 1; }, 10000));
  }

  // Waits until the newest record of the month is closed, and returns it.
  e2e::RecordItem WaitClosedRecord(size_t index = 0) {
    std::vector<e2e::RecordItem> records;
    driver::WaitFor(
        [&] {
          records = Records();
          return records.size() > index && !records[index].end.empty();
        },
        15000);
    return records.size() > index ? records[index] : e2e::RecordItem();
  }

  // Waits until the access server has counted at least dials dials of demo.
  bool WaitDials(uint64_t dials, DWORD timeoutMs = 20000) {
    return m_server.WaitForCounts(
        "demo", [&](const testbed::AccountCounts& counts) { return counts.dials >= dials; }, timeoutMs);
  }

  std::string Address() {
    const std::vector<testbed::SessionInfo> sessions = m_server.Sessions();
    return sessions.empty() ? std::string() : sessions[0].address;
  }
};

TEST_F(SupervisionTest, AConnectionDialledFromOutsideIsPickedUp) {
  ASSERT_NO_FATAL_FAILURE(StartClient("watch-outside"));
  std::string output;
  ASSERT_EQ(RunRasdial(std::string(e2e::kDefaultEntry) + " demo demo1234", &output), 0) << output;
  const std::string address = Address();
  ASSERT_FALSE(address.empty());

  EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, kConnectedText)) << m_client->Text(IDC_MESSAGE_TEXT);
  EXPECT_TRUE(WaitText(IDC_IP_TEXT, address));
  EXPECT_EQ(m_client->Text(IDC_STATE_TEXT), "采用RAS拨号连接上网");
  EXPECT_TRUE(driver::WaitFor([&] { return m_client->IsToolbarButtonEnabled(ID_DISCONNECT); }, 5000));
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_CONNECT));

  // Its end, hung up from outside, is a lost line to the client: the controls go back.
  ASSERT_EQ(RunRasdial(std::string(e2e::kDefaultEntry) + " /DISCONNECT", &output), 0) << output;
  EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, kWelcomeText)) << m_client->Text(IDC_MESSAGE_TEXT);
  EXPECT_TRUE(driver::WaitFor([&] { return m_client->IsToolbarButtonEnabled(ID_CONNECT); }, 5000));
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_DISCONNECT));

  // Dialled from outside again, then dropped at the server: the client notices the loss, and the
  // line it held is let go, so the provider keeps nothing of it.
  ASSERT_EQ(RunRasdial(std::string(e2e::kDefaultEntry) + " demo demo1234", &output), 0) << output;
  EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, kConnectedText)) << m_client->Text(IDC_MESSAGE_TEXT);
  EXPECT_TRUE(driver::WaitFor([&] { return m_client->IsToolbarButtonEnabled(ID_DISCONNECT); }, 5000));
  ASSERT_TRUE(m_server.Ctl("DROP all"));
  EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, kWelcomeText)) << m_client->Text(IDC_MESSAGE_TEXT);
  EXPECT_TRUE(driver::WaitFor([&] { return m_client->IsToolbarButtonEnabled(ID_CONNECT); }, 5000));
  EXPECT_TRUE(driver::WaitFor([&] { return m_server.Lines().empty(); }, 15000)) << "the dropped line is held";
}

TEST_F(SupervisionTest, AConnectionUpAtStartIsPickedUpByTheScanAndHungUpAtExit) {
  std::string output;
  ASSERT_EQ(RunRasdial(std::string(e2e::kDefaultEntry) + " demo demo1234", &output), 0) << output;
  const std::string address = Address();
  ASSERT_NO_FATAL_FAILURE(StartClient("watch-scan"));
  EXPECT_TRUE(WaitText(IDC_IP_TEXT, address)) << m_client->Text(IDC_IP_TEXT);
  EXPECT_EQ(m_client->Text(IDC_STATE_TEXT), "采用RAS拨号连接上网");
  EXPECT_TRUE(m_client->IsToolbarButtonEnabled(ID_DISCONNECT));
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_CONNECT));
  // The scan changes no message; nothing came from the watcher either.
  Idle(1500);
  EXPECT_EQ(m_client->Text(IDC_MESSAGE_TEXT), kWelcomeText);

  ASSERT_NO_FATAL_FAILURE(ExitClient());
  EXPECT_TRUE(WaitNoSession());
}

TEST_F(SupervisionTest, ADroppedLineIsRecordedAsLostAndRedialledForItsTriesWithTheGap) {
  ASSERT_NO_FATAL_FAILURE(StartClient("watch-reconnect", [](CConfigStore& config) {
    config.SetReconnect(true);
    config.SetRedial("1", 3);
  }));
  ASSERT_TRUE(m_server.Ctl("DELAY 300"));
  ASSERT_NO_FATAL_FAILURE(ConnectDemo());

  // A line that stays down: three attempts, a second apart, and no record for them.
  ASSERT_TRUE(m_server.Ctl("FAIL 678 1000"));
  const DWORD dropped = GetTickCount();
  ASSERT_TRUE(m_server.Ctl("DROP all"));
  e2e::RecordItem lost = WaitClosedRecord();
  EXPECT_EQ(lost.error, kLostEnd);
  EXPECT_EQ(lost.user, "demo");
  EXPECT_EQ(lost.send, "");
  EXPECT_EQ(lost.recv, "");
  ASSERT_TRUE(WaitDials(4));
  EXPECT_GE(GetTickCount() - dropped, 1700u) << "two gaps of a second between the three attempts";
  ASSERT_TRUE(driver::WaitFor([&] { return IsDialError(m_client->Text(IDC_MESSAGE_TEXT)); }, 5000));
  EXPECT_FALSE(WaitDials(5, 2500)) << "a fourth attempt";
  EXPECT_EQ(m_server.Counts("demo").Refused(678), 3u);
  EXPECT_EQ(m_server.Counts("demo").Refused(633), 0u) << "dialled while the line tore down";
  EXPECT_EQ(SessionCount(), 0u);
  EXPECT_EQ(Records().size(), 1u);
  EXPECT_TRUE(m_client->IsToolbarButtonEnabled(ID_CONNECT));
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_DISCONNECT));

  // Once the server lets the third try through, the line is up again with a record of its own.
  ASSERT_TRUE(m_server.Ctl("FAIL 0"));
  ASSERT_NO_FATAL_FAILURE(ConnectDemo());
  const uint64_t before = m_server.Counts("demo").dials;
  ASSERT_TRUE(m_server.Ctl("FAIL 678 2"));
  ASSERT_TRUE(m_server.Ctl("DROP all"));
  EXPECT_EQ(WaitClosedRecord().error, kLostEnd);
  ASSERT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);
  EXPECT_EQ(m_server.Counts("demo").dials, before + 3);
  std::vector<e2e::RecordItem> records;
  ASSERT_TRUE(driver::WaitFor([&] { return (records = Records()).size() == 3; }, 10000));
  EXPECT_EQ(records[0].end, "");
  EXPECT_EQ(records[0].ip, Address());
  EXPECT_EQ(records[1].error, kLostEnd);
  EXPECT_EQ(records[2].error, kLostEnd);
  EXPECT_TRUE(driver::WaitFor([&] { return m_client->IsToolbarButtonEnabled(ID_DISCONNECT); }, 5000));
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_CONNECT));
}

TEST_F(SupervisionTest, NoRedialWithReconnectOffOrWithNoTriesAtTheLastConnect) {
  struct Case {
    const char* name;
    bool reconnect;
    int tries;
  };
  for (const Case& c : {Case{"watch-reconnect-off", false, 3}, Case{"watch-no-tries", true, 0}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(m_server.Reset());
    ASSERT_NO_FATAL_FAILURE(StartClient(c.name, [&](CConfigStore& config) {
      config.SetReconnect(c.reconnect);
      config.SetRedial("1", c.tries);
    }));
    ASSERT_NO_FATAL_FAILURE(ConnectDemo());
    // A record added by hand while the line is up stands first in the file now; the loss belongs
    // to the connection's own record all the same.
    const std::string now = FormatLocalTime(std::time(nullptr));
    ASSERT_TRUE(AddRecordByHand(m_client->Folder() + "data\\record", "byhand", now.c_str(), now.c_str(),
                                "10.1.1.1", "1", "2"));
    ASSERT_TRUE(m_server.Ctl("DROP all"));
    const e2e::RecordItem lost = WaitClosedRecord(1);
    EXPECT_EQ(lost.user, "demo");
    EXPECT_EQ(lost.error, kLostEnd);
    EXPECT_EQ(Records()[0].user, "byhand");
    EXPECT_EQ(Records()[0].error, kNormalEnd);
    EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, kWelcomeText));
    // Two gaps of the setting pass without a dial.
    EXPECT_FALSE(WaitDials(2, 2500));
    EXPECT_EQ(SessionCount(), 0u);
    ASSERT_NO_FATAL_FAILURE(ExitClient());
  }
}

TEST_F(SupervisionTest, AlwaysconnectRedialsWithAGrowingPauseAndStopsWhenTheUserDisconnects) {
  ASSERT_NO_FATAL_FAILURE(StartClient("watch-always", [](CConfigStore& config) {
    config.SetAlwaysconnect(true);
    config.SetReconnect(true);
    config.SetRedial("30", 1);
  }));
  ASSERT_TRUE(m_server.Ctl("DELAY 300"));
  ASSERT_NO_FATAL_FAILURE(ConnectDemo());

  // Three failures, then the fourth attempt connects: pauses of 1, 2 and 4 seconds between them.
  ASSERT_TRUE(m_server.Ctl("FAIL 678 3"));
  const DWORD dropped = GetTickCount();
  ASSERT_TRUE(m_server.Ctl("DROP all"));
  EXPECT_EQ(WaitClosedRecord(1).error, kLostEnd);
  ASSERT_TRUE(WaitDials(5, 30000));
  const DWORD redialled = GetTickCount() - dropped;
  EXPECT_GE(redialled, 6500u);
  // Loose upper bound, for a loaded machine: the pause is not a fixed long one either.
  EXPECT_LT(redialled, 20000u);
  ASSERT_TRUE(WaitConnected("demo", 30000)) << m_client->Text(IDC_MESSAGE_TEXT);
  EXPECT_EQ(m_server.Counts("demo").Refused(633), 0u);
  ASSERT_TRUE(driver::WaitFor([&] { return Records().size() == 2 && Records()[0].ip == Address(); }, 10000));

  // A provider that keeps failing: the redials go on until the user says "断开".
  const uint64_t before = m_server.Counts("demo").dials;
  ASSERT_TRUE(m_server.Ctl("FAIL 678 1000"));
  ASSERT_TRUE(m_server.Ctl("DROP all"));
  ASSERT_TRUE(WaitDials(before + 2, 15000));
  ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
  ASSERT_TRUE(driver::WaitFor([&] { return m_client->IsToolbarButtonEnabled(ID_CONNECT); }, 5000));
  const uint64_t attempts = m_server.Counts("demo").dials;
  // The next pause of the loop (4 s) passes without a dial.
  EXPECT_FALSE(WaitDials(attempts + 1, 6000)) << "redialled after 断开";
  EXPECT_LE(attempts, before + 3);
  EXPECT_EQ(SessionCount(), 0u);
  ASSERT_TRUE(m_server.Ctl("FAIL 0"));
}

TEST_F(SupervisionTest, ExitEndsARedialInProgressAtOnce) {
  struct Case {
    const char* name;
    bool always;
  };
  // A ten-minute gap of "Reconnect", and the growing pause of "Alwaysconnect".
  for (const Case& c : {Case{"watch-exit-gap", false}, Case{"watch-exit-always", true}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(m_server.Reset());
    ASSERT_NO_FATAL_FAILURE(StartClient(c.name, [&](CConfigStore& config) {
      config.SetAlwaysconnect(c.always);
      config.SetReconnect(!c.always);
      config.SetRedial("600", 3);
    }));
    ASSERT_NO_FATAL_FAILURE(ConnectDemo());
    ASSERT_TRUE(m_server.Ctl("FAIL 678 1000"));
    ASSERT_TRUE(m_server.Ctl("DROP all"));
    ASSERT_TRUE(WaitDials(c.always ? 3 : 2));
    ASSERT_TRUE(driver::WaitFor([&] { return IsDialError(m_client->Text(IDC_MESSAGE_TEXT)); }, 15000));
    const DWORD start = GetTickCount();
    ASSERT_NO_FATAL_FAILURE(ExitClient());
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(SessionCount(), 0u);
    EXPECT_TRUE(m_server.Lines().empty()) << "a line left to the provider";
    ASSERT_TRUE(m_server.Ctl("FAIL 0"));
  }
}

// The exit in the middle of a dial that the provider is slow to answer: the dial is hung up and
// the client is gone at once, leaving the provider nothing.
TEST_F(SupervisionTest, ExitDuringASlowDialAbortsIt) {
  ASSERT_NO_FATAL_FAILURE(StartClient("watch-exit-dialling"));
  ASSERT_TRUE(m_server.Ctl("DELAY 20000"));
  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitDials(1));
  const DWORD start = GetTickCount();
  ASSERT_NO_FATAL_FAILURE(ExitClient());
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_TRUE(driver::WaitFor([&] { return m_server.Lines().empty(); }, 5000))
      << "a line left to the provider";
  EXPECT_EQ(SessionCount(), 0u);
}

TEST_F(SupervisionTest, ARefusedPasswordEndsTheRedialAtOnce) {
  for (bool always : {true, false}) {
    SCOPED_TRACE(always ? "Alwaysconnect" : "Reconnect, 3 tries");
    ASSERT_TRUE(m_server.Reset());
    ASSERT_NO_FATAL_FAILURE(
        StartClient(always ? "watch-refused-always" : "watch-refused", [&](CConfigStore& config) {
          config.SetAlwaysconnect(always);
          config.SetReconnect(!always);
          config.SetRedial("1", 3);
        }));
    ASSERT_TRUE(m_server.Ctl("DELAY 300"));
    ASSERT_NO_FATAL_FAILURE(ConnectDemo());
    ASSERT_TRUE(m_server.Ctl("FAIL 691 1000"));
    ASSERT_TRUE(m_server.Ctl("DROP all"));
    ASSERT_TRUE(WaitDials(2));
    ASSERT_TRUE(driver::WaitFor([&] { return IsDialError(m_client->Text(IDC_MESSAGE_TEXT)); }, 15000));
    // Two pauses of either policy pass without another dial.
    EXPECT_FALSE(WaitDials(3, 3500));
    EXPECT_EQ(m_server.Counts("demo").Refused(691), 1u);
    EXPECT_TRUE(IsDialError(m_client->Text(IDC_MESSAGE_TEXT))) << "the engine's message stays";
    EXPECT_TRUE(m_client->IsToolbarButtonEnabled(ID_CONNECT));
    EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_DISCONNECT));
    ASSERT_TRUE(m_server.Ctl("FAIL 0"));
    ASSERT_NO_FATAL_FAILURE(ExitClient());
  }
}

TEST_F(SupervisionTest, AutomaticConnectionAtStartDialsTheRememberedLastUser) {
  ASSERT_NO_FATAL_FAILURE(StartClient("watch-autoconnect", [](CConfigStore& config) {
    CDesCipher cipher;
    cipher.SetKey(kPasswordKey);
    cipher.Encrypt("demo1234");
    config.SaveUser(e2e::kDefaultEntry, cipher.GetEncrypted(), "demo");
    config.SetLastUser(cipher.GetEncrypted(), "demo");
    config.SetAutoconnect(true);
  }));
  EXPECT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);
  EXPECT_EQ(m_client->Text(IDC_USER_NAME), "demo");
}

TEST_F(SupervisionTest, TheTrafficOfALongConnectionIsCountedPastTheWrapOfTheSystemsCounters) {
  ASSERT_NO_FATAL_FAILURE(StartClient("watch-traffic"));
  ASSERT_NO_FATAL_FAILURE(ConnectDemo());
  // 700 MB a second wraps the 32-bit counter every 6 seconds.
  ASSERT_TRUE(m_server.Ctl("TRAFFIC 700000000 0"));
  Idle(14000);
  ASSERT_TRUE(m_server.Ctl("TRAFFIC 0 0"));
  const std::vector<testbed::SessionInfo> sessions = m_server.Sessions();
  ASSERT_EQ(sessions.size(), 1u);
  ASSERT_GT(sessions[0].bytesReceived, 2 * 4294967296ull);
  Idle(2500);
  ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
  ASSERT_TRUE(WaitNoSession());
  const e2e::RecordItem record = WaitClosedRecord();
  EXPECT_EQ(record.error, kNormalEnd);
  EXPECT_EQ(record.recv, std::to_string(sessions[0].bytesReceived));
  EXPECT_EQ(record.send, std::to_string(sessions[0].bytesSent));
}

TEST_F(SupervisionTest, ExitWhileConnectedHangsUpAndRecordsANormalEnd) {
  ASSERT_NO_FATAL_FAILURE(StartClient("watch-exit"));
  ASSERT_NO_FATAL_FAILURE(ConnectDemo());
  Idle(1500);
  ASSERT_NO_FATAL_FAILURE(ExitClient());
  EXPECT_TRUE(WaitNoSession());
  const e2e::RecordItem record = WaitClosedRecord();
  EXPECT_EQ(record.error, kNormalEnd);
  EXPECT_TRUE(e2e::IsDecimal(record.send)) << record.send;
  EXPECT_TRUE(e2e::IsDecimal(record.recv)) << record.recv;
}

}  // namespace
