// Connecting and disconnecting from the login page of the running client, against the access
// server: the checks of the input, the saved users, the remembered passwords, the records and the
// presence notices.
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <gtest/gtest.h>
#include <ras.h>

#include <string>
#include <vector>

#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/DesCipher.h"

namespace {

using e2e::CTimeline;
using e2e::ExpectedNotice;
using e2e::kConnectedText;
using e2e::kWelcomeText;

std::string CipherText(const std::string& password) {
  CDesCipher cipher;
  cipher.SetKey(kPasswordKey);
  cipher.Encrypt(password.c_str());
  return cipher.GetEncrypted();
}

std::string SystemErrorText(DWORD code) {
  char text[256] = {};
  if (RasGetErrorStringA(code, text, sizeof(text)) != 0) return std::string();
  return text;
}

bool StartsWithAddress(const std::string& text) {
  return text.rfind("203.0.113.", 0) == 0;
}

class LoginTest : public e2e::ConnectionTest {};

TEST_F(LoginTest, ConnectShowsTheAddressRecordsItSavesTheUserAndSendsTheNotices) {
  ASSERT_NO_FATAL_FAILURE(StartClient("login-connect"));
  CTimeline timeline;
  std::string error;
  ASSERT_TRUE(timeline.Start(m_server.Port(), &error)) << error;

  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);
  const std::vector<testbed::SessionInfo> sessions = m_server.Sessions();
  ASSERT_EQ(sessions.size(), 1u);
  const std::string address = sessions[0].address;
  EXPECT_TRUE(StartsWithAddress(address)) << address;
  EXPECT_TRUE(WaitText(IDC_IP_TEXT, address));
  EXPECT_EQ(m_client->Text(IDC_NAME_TEXT), e2e::kDefaultEntry);
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_CONNECT));
  EXPECT_TRUE(m_client->IsToolbarButtonEnabled(ID_DISCONNECT));
  EXPECT_TRUE(driver::Screenshot(driver::BuildDir() + "/tests/programs/login-connected.png"));

  // The dial worker opens the record once the dial is over.
  std::vector<e2e::RecordItem> records;
  ASSERT_TRUE(driver::WaitFor([&] { return !(records = Records()).empty(); }, 10000));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].user, "demo");
  EXPECT_EQ(records[0].ip, address);
  EXPECT_EQ(records[0].start.size(), 19u);
  EXPECT_EQ(records[0].end, "");
  EXPECT_EQ(records[0].error, "");

  const e2e::SavedUsers users = e2e::ReadUsers(m_client->Folder());
  EXPECT_EQ(users.names, std::vector<std::string>{"demo"});
  EXPECT_EQ(users.passwords, std::vector<std::string>{CipherText("demo1234")});
  EXPECT_TRUE(users.hasLast);
  EXPECT_EQ(users.lastNames, std::vector<std::string>{"demo"});
  EXPECT_EQ(users.lastPasswords, std::vector<std::string>{CipherText("demo1234")});

  // After the dial: the session came up, then the offline and the online notice, exactly laid out.
  ASSERT_TRUE(timeline.WaitForCount(3, 10000));
  std::vector<CTimeline::Event> events = timeline.PresenceEvents();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, CTimeline::Event::kUp);
  EXPECT_EQ(events[0].data, "demo");
  EXPECT_EQ(events[1].kind, CTimeline::Event::kNotice);
  EXPECT_EQ(events[1].data, ExpectedNotice(2, "demo"));
  EXPECT_EQ(events[2].kind, CTimeline::Event::kNotice);
  EXPECT_EQ(events[2].data, ExpectedNotice(1, "demo"));
  // While the connection is up the client keeps its presence alive.
  EXPECT_TRUE(driver::WaitFor([&] { return timeline.KeepAliveCount() >= 1; }, 5000));

  // The line stays up a moment, so that it carries traffic.
  driver::WaitFor([] { return false; }, 1500);
  timeline.Clear();
  ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
  ASSERT_TRUE(WaitNoSession());
  EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, kWelcomeText));
  EXPECT_TRUE(driver::WaitFor([&] { return m_client->IsToolbarButtonEnabled(ID_CONNECT); }, 5000));
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_DISCONNECT));

  // The offline notice goes out before the line is hung up.
  ASSERT_TRUE(timeline.WaitForCount(2, 10000));
  events = timeline.PresenceEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, CTimeline::Event::kNotice);
  EXPECT_EQ(events[0].data, ExpectedNotice(2, "demo"));
  EXPECT_EQ(events[1].kind, CTimeline::Event::kDown);

  records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].error, "正常断开");
  EXPECT_EQ(records[0].end.size(), 19u);
  EXPECT_EQ(records[0].ip, address);
  EXPECT_TRUE(e2e::IsDecimal(records[0].send)) << records[0].send;
  EXPECT_TRUE(e2e::IsDecimal(records[0].recv)) << records[0].recv;
  EXPECT_NE(records[0].recv, "0");
}

TEST_F(LoginTest, RefusalsShowTheirMessageAndNeitherSaveNorDial) {
  ASSERT_NO_FATAL_FAILURE(StartClient("login-refusals"));
  struct Case {
    std::string user;
    std::string password;
    const char* message;
  };
  const Case cases[] = {
      {"", "demo1234", "请输入用户名！"},
      {std::string(20, 'u'), "demo1234", "用户名长度不能超过20位,请正确输入用户名！"},
      {"demo", "", "请输入密码！"},
      {"demo", std::string(17, 'p'), "密码太长,密码长度不能大于16位"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Connect(c.user, c.password);
    std::string caption;
    EXPECT_EQ(AnswerMessageBox(&caption), c.message);
    EXPECT_EQ(caption, "提示");
  }
  // Commands from the toolbar, the menu and the tray end in the same handler.
  m_client->Type(IDC_USER_NAME, "");
  for (int command : {ID_CONNECT, ID_MENU_CONNECT, ID_TRAY_CONNECT}) {
    m_client->SendCommand(command);
    EXPECT_EQ(AnswerMessageBox(), "请输入用户名！") << command;
  }
  driver::WaitFor([] { return false; }, 500);
  EXPECT_EQ(SessionCount(), 0u);
  EXPECT_TRUE(Records().empty());
  const e2e::SavedUsers users = e2e::ReadUsers(m_client->Folder());
  EXPECT_TRUE(users.names.empty());
  EXPECT_FALSE(users.hasLast);
}

TEST_F(LoginTest, NineteenCharacterNameAndSixteenCharacterPasswordAreAccepted) {
  ASSERT_NO_FATAL_FAILURE(StartClient("login-lengths"));
  Connect("u234567890123456789", "p234567890123456");
  EXPECT_TRUE(WaitConnected("u234567890123456789")) << m_client->Text(IDC_MESSAGE_TEXT);
  const e2e::SavedUsers users = e2e::ReadUsers(m_client->Folder());
  ASSERT_EQ(users.passwords.size(), 1u);
  EXPECT_EQ(users.passwords[0].size(), 32u);
}

TEST_F(LoginTest, RememberOffStoresAnEmptyPasswordAndStillSavesTheUser) {
  ASSERT_NO_FATAL_FAILURE(StartClient("login-forget"));
  EXPECT_EQ(m_client->Text(IDC_PASSWORD), "");
  ASSERT_TRUE(m_client->ClickCheckBox(IDC_REMEMBER_PASSWORD));
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        return m_client->ReadFile("config.xml").find("<passwordstatus>0</passwordstatus>") !=
               std::string::npos;
      },
      5000))
      << m_client->ReadFile("config.xml");
  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitConnected("demo"));
  const std::string config = m_client->ReadFile("config.xml");
  EXPECT_NE(config.find("<User NAME=\"demo\" PASSWORD=\"\"/>"), std::string::npos) << config;
  const e2e::SavedUsers users = e2e::ReadUsers(m_client->Folder());
  EXPECT_EQ(users.passwords, std::vector<std::string>{""});
  EXPECT_EQ(users.lastNames, std::vector<std::string>{"demo"});
  EXPECT_EQ(users.lastPasswords, std::vector<std::string>{""});

  // Restarted, the client shows the last user without a password.
  ASSERT_NO_FATAL_FAILURE(ExitClient());
  ASSERT_NO_FATAL_FAILURE(RestartClient());
  EXPECT_EQ(m_client->Text(IDC_USER_NAME), "demo");
  EXPECT_EQ(m_client->Text(IDC_PASSWORD), "");
}

TEST_F(LoginTest, RememberedPasswordsDialExactlyWhatWasTyped) {
  ASSERT_NO_FATAL_FAILURE(StartClient("login-remembered"));
  // Six characters each, one ending in "0": neither is a whole number of cipher blocks.
  struct Account {
    const char* user;
    const char* password;
  };
  const Account accounts[] = {{"alice", "abc123"}, {"bob", "pass10"}, {"demo", "demo1234"}};
  for (const Account& account : accounts) {
    SCOPED_TRACE(account.user);
    Connect(account.user, account.password);
    ASSERT_TRUE(WaitConnected(account.user)) << m_client->Text(IDC_MESSAGE_TEXT);
    ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
    ASSERT_TRUE(WaitNoSession());
    ASSERT_TRUE(WaitText(IDC_MESSAGE_TEXT, kWelcomeText));
  }

  // Restarted: the last user with its stored text, which dials the typed password.
  ASSERT_NO_FATAL_FAILURE(ExitClient());
  ASSERT_NO_FATAL_FAILURE(RestartClient());
  EXPECT_EQ(m_client->Text(IDC_USER_NAME), "demo");
  const std::string stored = m_client->Text(IDC_PASSWORD);
  EXPECT_EQ(stored, CipherText("demo1234"));
  ASSERT_TRUE(m_client->Click(IDC_CONNECT));
  ASSERT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);
  ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
  ASSERT_TRUE(WaitNoSession());
  ASSERT_TRUE(WaitText(IDC_MESSAGE_TEXT, kWelcomeText));

  // Chosen from the list (sorted: alice, bob, demo), each user's stored text dials.
  for (int index : {0, 1}) {
    const Account& account = accounts[index];
    SCOPED_TRACE(account.user);
    ASSERT_TRUE(m_client->SelectComboItem(IDC_USER_NAME, index));
    ASSERT_TRUE(driver::WaitFor([&] { return m_client->Text(IDC_PASSWORD).size() == 16; }, 5000))
        << m_client->Text(IDC_PASSWORD);
    EXPECT_NE(m_client->Text(IDC_PASSWORD), account.password);
    ASSERT_TRUE(m_client->Click(IDC_CONNECT));
    ASSERT_TRUE(WaitConnected(account.user)) << m_client->Text(IDC_MESSAGE_TEXT);
    ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
    ASSERT_TRUE(WaitNoSession());
    ASSERT_TRUE(WaitText(IDC_MESSAGE_TEXT, kWelcomeText));
  }
  // The stored texts did not change by being used.
  const e2e::SavedUsers users = e2e::ReadUsers(m_client->Folder());
  ASSERT_EQ(users.names.size(), 3u);
  EXPECT_EQ(users.lastNames, std::vector<std::string>{"bob"});
}

TEST_F(LoginTest, DisconnectDuringTheDialHangsUpTheNewLineAndClosesItsRecord) {
  ASSERT_NO_FATAL_FAILURE(StartClient("login-cancel"));
  ASSERT_TRUE(m_server.Ctl("DELAY 1500"));
  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitText(IDC_MESSAGE_TEXT, e2e::kDialingText));
  ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
  // The dial ends first (the hang-up waits for it), then the line is hung up.
  std::vector<e2e::RecordItem> records;
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        records = Records();
        return !records.empty() && !records[0].end.empty();
      },
      20000));
  EXPECT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].error, "正常断开");
  EXPECT_TRUE(StartsWithAddress(records[0].ip)) << records[0].ip;
  EXPECT_TRUE(WaitNoSession());
  EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, kWelcomeText)) << m_client->Text(IDC_MESSAGE_TEXT);
  EXPECT_TRUE(driver::WaitFor([&] { return m_client->IsToolbarButtonEnabled(ID_CONNECT); }, 5000));
}

// The attempt is recorded, closed at once with its error: it never becomes a connection. The
// message line says what to check after the system's words, and no diagnosis is offered: the line
// answered.
TEST_F(LoginTest, AWrongPasswordShowsTheEnginesTextWithAHintAndStillOpensARecord) {
  ASSERT_NO_FATAL_FAILURE(StartClient("login-wrong"));
  Connect("demo", "wrong");
  const std::string expected =
      std::string("连接错误!\r\n") + SystemErrorText(691) + "请核对用户名和密码，注意大小写";
  EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, expected)) << m_client->Text(IDC_MESSAGE_TEXT);
  std::vector<e2e::RecordItem> records;
  ASSERT_TRUE(driver::WaitFor([&] { return !(records = Records()).empty(); }, 10000));
  EXPECT_EQ(records[0].user, "demo");
  EXPECT_EQ(records[0].ip, "");
  EXPECT_EQ(records[0].start.size(), 19u);
  EXPECT_EQ(records[0].end, records[0].start);
  EXPECT_EQ(records[0].error, "连接失败(691)");
  EXPECT_TRUE(m_client->IsToolbarButtonEnabled(ID_CONNECT));
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_DISCONNECT));
  EXPECT_EQ(SessionCount(), 0u);
  EXPECT_TRUE(driver::Screenshot(driver::BuildDir() + "/tests/programs/login-wrong.png"));
}

// A connect command whose line no access concentrator answers: the hint, then the offer of the
// network diagnosis, whose Yes opens it.
TEST_F(LoginTest, ALineThatDoesNotAnswerOffersTheDiagnosisAndYesOpensIt) {
  ASSERT_NO_FATAL_FAILURE(StartClient("login-no-answer"));
  ASSERT_TRUE(m_server.Ctl("FAIL 678 1"));
  Connect("demo", "demo1234");
  const std::string expected =
      std::string("连接错误!\r\n") + SystemErrorText(678) + "请检查网线是否插好，或稍后再试";
  EXPECT_TRUE(WaitText(IDC_MESSAGE_TEXT, expected)) << m_client->Text(IDC_MESSAGE_TEXT);
  HWND box = m_client->WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::WindowText(box), "提示");
  EXPECT_EQ(driver::CClient::MessageBoxText(box),
            "连接失败：网络线路没有应答（错误 678）。\r\n是否现在进行宽带故障检测？");
  driver::CClient::Answer(box, IDYES);
  HWND diagnosis = driver::WaitForDialog(m_client->ProcessId(), "宽带故障检测");
  ASSERT_NE(diagnosis, nullptr) << "Yes did not open the diagnosis";
  driver::CClient::Answer(diagnosis, IDCANCEL);
  ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(diagnosis); }, 5000));
  EXPECT_EQ(m_server.Counts("demo").Refused(678), 1u);
  ASSERT_NO_FATAL_FAILURE(ExitClient());
}

}  // namespace
