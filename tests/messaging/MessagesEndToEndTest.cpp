// The provider's messages in the running client, against the testbed: datagrams sent back to the
// port the client's presence notices come from, as the message server would, land in
// "MessageInfo.xml" and in the message window; malformed ones leave no trace.
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/core/AppTexts.h"
#include "client/messaging/MessageStore.h"
#include "client/resources/Resource.h"
#include "tests/messaging/MessageDatagram.h"

namespace {

const char kMessagesCaption[] = "历史消息";

std::string Shot(const std::string& name) {
  return driver::BuildDir() + "/tests/programs/" + name + ".png";
}

bool IsMoment(const std::string& date, const std::string& time) {
  return date.size() == 10 && date[4] == '-' && date[7] == '-' && time.size() == 8 && time[2] == ':' &&
         time[5] == ':';
}

class MessagesEndToEndTest : public e2e::ConnectionTest {
 protected:
  // A virtual desktop draws the frames and captions, as Windows does, for the screenshot.
  static void SetUpTestSuite() { s_desktop = driver::UseVirtualDesktop("QuillonMessages", 1024, 768); }

  void SetUp() override {
    ASSERT_TRUE(s_desktop) << "no virtual desktop";
    ConnectionTest::SetUp();
  }

  std::vector<ProviderMessage> Stored() {
    CMessageStore store;
    store.Open(m_client->Folder());
    return store.ReadMessages();
  }

  HWND OpenMessageWindow() {
    m_client->SendCommand(ID_MESSAGES);
    return driver::WaitForDialog(m_client->ProcessId(), kMessagesCaption);
  }

  void Close(HWND dialog) {
    driver::CClient::Answer(dialog, IDCANCEL);
    ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(dialog); }, 5000));
  }

  static bool s_desktop;
};

bool MessagesEndToEndTest::s_desktop = false;

TEST_F(MessagesEndToEndTest, MessagesLandInTheStoreAndTheWindowNewestFirstAndMalformedOnesDoNot) {
  ASSERT_NO_FATAL_FAILURE(StartClient("messages"));
  e2e::CTimeline timeline;
  std::string error;
  ASSERT_TRUE(timeline.Start(m_server.Port(), &error)) << error;
  // Every dial attempt sends the presence notices, a refused one too; no line stays up, so none can
  // be lost while the driver reads the client's list view from outside.
  Connect("demo", "wrong");
  ASSERT_TRUE(driver::WaitFor([&] { return timeline.ClientPort() != 0; }, 15000)) << "no presence notice";

  const std::string withLink = MessageDatagram(100, "停机维护通知", 1, "http://www.vorlan.net/notice/7",
                                               "尊敬的用户：本周六凌晨2:00至4:00进行网络设备维护，期间"
                                               "可能断线，敬请谅解。\r\n详情请点击链接查看。");
  const std::string plain =
      MessageDatagram(101, "宽带资费调整公告", 0, "", "自下月起，10M包月资费下调为每月60元，无需办理。");
  std::string oversized = plain;
  oversized.push_back('\0');
  std::string unterminated = plain;
  for (size_t i = 288; i < 1312; ++i) unterminated[i] = 'x';
  const std::vector<std::string> dropped = {
      plain.substr(0, 1311),
      oversized,
      plain + std::string(700, '\0'),
      MessageDatagram(103, "p2p", 0, "", "trash"),
      MessageDatagram(100, std::string(24, 'T'), 0, "", "no terminator in the title"),
      MessageDatagram(100, "链接", 1, "file:///C:/Windows/system32/cmd.exe", "not a web page"),
      MessageDatagram(100, "控制字符", 0, "", "bell\x07"),
      unterminated,
  };
  for (const std::string& datagram : dropped) ASSERT_TRUE(timeline.SendToClient(datagram));
  ASSERT_TRUE(timeline.SendToClient(withLink));
  ASSERT_TRUE(timeline.SendToClient(plain));

  // The client takes datagrams in the order they came: once the last is stored, every one before it
  // has been looked at.
  std::vector<ProviderMessage> stored;
  ASSERT_TRUE(driver::WaitFor([&] { return (stored = Stored()).size() >= 2; }, 10000)) << stored.size();
  ASSERT_EQ(stored.size(), 2u) << "a malformed datagram was stored";
  EXPECT_EQ(stored[0].category, "通知");
  EXPECT_EQ(stored[0].title, "停机维护通知");
  EXPECT_EQ(stored[0].url, "http://www.vorlan.net/notice/7");
  EXPECT_EQ(stored[0].content.substr(stored[0].content.size() - 20), "详情请点击链接查看。");
  EXPECT_EQ(stored[1].category, "公告");
  EXPECT_EQ(stored[1].title, "宽带资费调整公告");
  EXPECT_EQ(stored[1].url, "");
  for (const ProviderMessage& message : stored) EXPECT_TRUE(IsMoment(message.date, message.time));

  // The window lists them newest first; the newest is selected and shown, and only a message with a
  // link may open one.
  HWND dialog = OpenMessageWindow();
  ASSERT_NE(dialog, nullptr);
  HWND list = GetDlgItem(dialog, IDC_MESSAGE_LIST);
  HWND content = GetDlgItem(dialog, IDC_MESSAGE_CONTENT);
  HWND open = GetDlgItem(dialog, IDC_MESSAGE_OPEN);
  const std::vector<std::vector<std::string>> rows = driver::ListViewRows(list, 2);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], stored[1].date + " " + stored[1].time);
  EXPECT_EQ(rows[0][1], "宽带资费调整公告");
  EXPECT_EQ(rows[1][1], "停机维护通知");
  EXPECT_EQ(driver::WindowText(content), stored[1].content);
  EXPECT_FALSE(IsWindowEnabled(open));

  ASSERT_TRUE(driver::ListViewSelect(list, {1}));
  ASSERT_TRUE(driver::WaitFor([&] { return driver::WindowText(content) == stored[0].content; }, 5000));
  EXPECT_TRUE(IsWindowEnabled(open));
  EXPECT_TRUE(driver::ScreenshotOf(dialog, Shot("messages")));

  // A message that comes while the window is open joins the list at its top.
  ASSERT_TRUE(
      timeline.SendToClient(MessageDatagram(102, "新用户优惠", 0, "", "推荐好友办理宽带，双方各得一个月。")));
  ASSERT_TRUE(driver::WaitFor([&] { return driver::ListViewRows(list, 2).size() == 3; }, 10000));
  EXPECT_EQ(driver::ListViewRows(list, 2)[0][1], "新用户优惠");
  EXPECT_EQ(driver::WindowText(content), stored[0].content) << "the selection moved";
  ASSERT_NO_FATAL_FAILURE(Close(dialog));

  // Its balloon, clicked, opens the message window: the message has no link.
  PostMessageA(m_client->MainWindow(), app::kTrayCallbackMessage, app::kTrayIconId, NIN_BALLOONUSERCLICK);
  dialog = driver::WaitForDialog(m_client->ProcessId(), kMessagesCaption);
  ASSERT_NE(dialog, nullptr);
  ASSERT_NO_FATAL_FAILURE(Close(dialog));

  EXPECT_EQ(Stored().size(), 3u);
  ASSERT_NO_FATAL_FAILURE(ExitClient());
}

}  // namespace
