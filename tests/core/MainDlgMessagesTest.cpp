// The provider's messages in the main window of this process: what a black-box test cannot read
// across processes under Wine (the tray record with its balloon) and what it must not do (open a
// browser when a balloon is clicked).
#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/core/MainDlg.h"
#include "client/messaging/MessageClient.h"
#include "client/messaging/MessageStore.h"
#include "client/store/ConfigStore.h"
#include "client/tools/MessagesDlg.h"
#include "dialengine/ConnectManage.h"
#include "tests/core/MainDlgProbe.h"
#include "tests/messaging/MessageDatagram.h"
#include "tests/support/Driver.h"

namespace {

std::string TempFolder() {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof(folder), folder);
  char path[MAX_PATH] = {};
  snprintf(path, sizeof(path), "%smain_dlg_messages_%lu\\", folder, GetCurrentProcessId());
  return path;
}

std::vector<std::string> g_opened;

void RecordOpened(HWND, const char* address) {
  g_opened.push_back(address);
}

class MainDlgMessagesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES;
    InitCommonControlsEx(&controls);
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  static void TearDownTestSuite() { WSACleanup(); }

  void SetUp() override {
    g_opened.clear();
    MessageLinkCalls().openWebPage = RecordOpened;
    CreateDirectoryA(TempFolder().c_str(), nullptr);
    DeleteFileA((TempFolder() + "config.xml").c_str());
    DeleteFileA((TempFolder() + "MessageInfo.xml").c_str());
    m_server = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(m_server, reinterpret_cast<sockaddr*>(&local), sizeof(local)), 0);
  }

  void TearDown() override {
    m_dialog.reset();
    m_connection.reset();
    m_manager.reset();
    m_config.reset();
    m_store.reset();
    closesocket(m_server);
    DeleteFileA((TempFolder() + "config.xml").c_str());
    DeleteFileA((TempFolder() + "MessageInfo.xml").c_str());
    RemoveDirectoryA(TempFolder().c_str());
    MessageLinkCalls() = RealMessageLinkSystem();
    driver::PumpMessages();
  }

  // The main window with "MsgPop" as given, its store in the temporary folder, and a message
  // client whose server is 127.0.0.1.
  void OpenWindow(bool msgPop) {
    m_config.reset(new CConfigStore(TempFolder() + "config.xml"));
    m_config->SetMsgPop(msgPop);
    m_store.reset(new CMessageStore());
    m_store->Open(TempFolder());
    m_manager.reset(new CConnectManage());
    m_connection.reset(new CConnection(*m_config, *m_manager));
    m_dialog.reset(new CMainDlg(*m_config, *m_connection, m_store.get()));
    m_dialog->ReplaceMessageClient(
        std::unique_ptr<CMessageClient>(new CMessageClient(m_store.get(), "127.0.0.1", 3360)));
    m_window = m_dialog->Create(nullptr);
    ASSERT_NE(m_window, nullptr);
    ShowWindow(m_window, SW_SHOW);
    ASSERT_TRUE(CMainDlgProbe(*m_dialog).MessageClient().IsReceiving());
  }

  void Send(const std::string& datagram) {
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(CMainDlgProbe(*m_dialog).MessageClient().GetLocalPort());
    sendto(m_server, datagram.data(), static_cast<int>(datagram.size()), 0, reinterpret_cast<sockaddr*>(&to),
           sizeof(to));
  }

  bool WaitStored(size_t count) {
    return driver::WaitFor([&] { return m_store->ReadMessages().size() == count; }, 10000);
  }

  void ClickBalloon() {
    SendMessageA(m_window, app::kTrayCallbackMessage, app::kTrayIconId, NIN_BALLOONUSERCLICK);
  }

  const NOTIFYICONDATAA& Tray() const { return CMainDlgProbe(*m_dialog).Tray().Data(); }

  SOCKET m_server = INVALID_SOCKET;
  std::unique_ptr<CConfigStore> m_config;
  std::unique_ptr<CMessageStore> m_store;
  std::unique_ptr<CConnectManage> m_manager;
  std::unique_ptr<CConnection> m_connection;
  std::unique_ptr<CMainDlg> m_dialog;
  HWND m_window = nullptr;
};

TEST_F(MainDlgMessagesTest, AMessageIsKeptPoppedUpAndItsBalloonOpensItsLinkOnce) {
  ASSERT_NO_FATAL_FAILURE(OpenWindow(true));
  Send(MessageDatagram(100, "停机维护通知", 1, "http://www.vorlan.net/notice", "本周六凌晨停机维护。"));
  ASSERT_TRUE(WaitStored(1));
  EXPECT_EQ(m_store->ReadMessages()[0].url, "http://www.vorlan.net/notice");
  EXPECT_STREQ(Tray().szInfoTitle, "停机维护通知");
  EXPECT_STREQ(Tray().szInfo, "本周六凌晨停机维护。");

  ClickBalloon();
  EXPECT_EQ(g_opened, std::vector<std::string>{"http://www.vorlan.net/notice"});
  ClickBalloon();
  EXPECT_EQ(g_opened.size(), 1u) << "a balloon is clicked once";

  // A content longer than the balloon holds is cut between two characters.
  std::string content;
  for (int i = 0; i < 200; ++i) content += "长";
  Send(MessageDatagram(102, "优惠", 1, "https://www.vorlan.net/offer", content));
  ASSERT_TRUE(WaitStored(2));
  EXPECT_EQ(m_store->ReadMessages()[1].content, content);
  EXPECT_EQ(std::string(Tray().szInfo), content.substr(0, 252) + "...");

  // The connection's balloon replaces the message's: clicking it opens nothing.
  SendMessageA(m_window, app::kDialConnectedMessage, 0, 0);
  ClickBalloon();
  EXPECT_EQ(g_opened.size(), 1u);
}

TEST_F(MainDlgMessagesTest, WithMsgPopOffAMessageIsKeptButNotPoppedUp) {
  ASSERT_NO_FATAL_FAILURE(OpenWindow(false));
  Send(MessageDatagram(101, "公告", 1, "http://www.vorlan.net/", "内容"));
  ASSERT_TRUE(WaitStored(1));
  EXPECT_STREQ(Tray().szInfoTitle, "");
  EXPECT_STREQ(Tray().szInfo, "");
  ClickBalloon();
  EXPECT_TRUE(g_opened.empty());
}

}  // namespace
