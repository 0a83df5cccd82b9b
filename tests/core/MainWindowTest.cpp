// The running client, used from outside as a person would: start-up, the single instance, the
// tray, the about box, the help message and the way out.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"
#include "tests/support/Driver.h"

namespace {

using driver::CClient;

class MainWindowTest : public ::testing::Test {
 protected:
  void Start(const std::string& name) {
    m_client = new CClient(name);
    std::string error;
    ASSERT_TRUE(m_client->Start(&error)) << error;
    ASSERT_NE(m_client->WaitForMainWindow(), nullptr) << "no main window";
    ASSERT_TRUE(driver::WaitFor([&] { return IsWindowVisible(m_client->MainWindow()) != FALSE; }, 10000));
  }

  void TearDown() override { delete m_client; }

  bool WaitHidden(bool hidden) {
    return driver::WaitFor([&] { return (IsWindowVisible(m_client->MainWindow()) == FALSE) == hidden; },
                           10000);
  }

  CClient* m_client = nullptr;
};

TEST_F(MainWindowTest, ShowsItsInitialTextsAndToolbarStates) {
  ASSERT_NO_FATAL_FAILURE(Start("initial"));
  struct Case {
    int id;
    const char* text;
  };
  const Case cases[] = {
      {IDC_IP_LABEL, "当前IP："},
      {IDC_NAME_LABEL, "连接名："},
      {IDC_STATE_LABEL, "当前状态："},
      {IDC_IP_TEXT, "未连接因特网"},
      {IDC_NAME_TEXT, ""},
      {IDC_STATE_TEXT, "网络未连接"},
      {IDC_MESSAGE_TEXT, "欢迎使用远岸宽带拨号客户端"},
      {IDC_CONTACT_SLOGAN, "有线宽带，无限沟通！"},
      {IDC_REMEMBER_PASSWORD, "记住密码"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(m_client->Control(c.id), nullptr) << c.id;
    EXPECT_EQ(m_client->Text(c.id), c.text) << c.id;
  }
  EXPECT_EQ(driver::WindowText(m_client->MainWindow()), "远岸宽带拨号客户端");
  EXPECT_TRUE(m_client->IsToolbarButtonEnabled(ID_CONNECT));
  EXPECT_FALSE(m_client->IsToolbarButtonEnabled(ID_DISCONNECT));
  EXPECT_TRUE(m_client->IsToolbarButtonEnabled(ID_SETTINGS));
  EXPECT_TRUE(m_client->IsToolbarButtonEnabled(ID_UPDATE));

  // The login page takes typed input; the device list stays hidden.
  EXPECT_TRUE(m_client->Type(IDC_USER_NAME, "subscriber01"));
  EXPECT_EQ(m_client->Text(IDC_USER_NAME), "subscriber01");
  EXPECT_FALSE(IsWindowVisible(m_client->Control(IDC_DEVICE_LIST)));
  // The advertisement view stays quiet: no dialog of any kind came up.
  EXPECT_EQ(driver::FindDialog(m_client->ProcessId()), nullptr);

  const std::string shot = driver::BuildDir() + "/tests/programs/initial.png";
  EXPECT_TRUE(driver::Screenshot(shot));
}

TEST_F(MainWindowTest, ClickingATabShowsItsPageOnly) {
  ASSERT_NO_FATAL_FAILURE(Start("tabs"));
  // One control of each page: the login page's password box, the shortcut page itself (empty), a
  // link of the navigation page and the contact page's slogan.
  const int controls[] = {IDC_PASSWORD, IDC_NAV_LINK_FIRST, IDC_CONTACT_SLOGAN};
  const int tabOf[] = {0, 2, 3};
  const int order[] = {3, 2, 1, 0};
  for (int tab : order) {
    // The icon tabs are 38 pixels high, stacked down the left of the tab control.
    ASSERT_TRUE(m_client->ClickAt(IDC_TABS, 20, 4 + 38 * tab + 19));
    for (int i = 0; i < 3; ++i) {
      const bool shown = tabOf[i] == tab;
      EXPECT_TRUE(driver::WaitFor(
          [&] { return (IsWindowVisible(m_client->Control(controls[i])) != FALSE) == shown; }, 5000))
          << "tab " << tab << " control " << controls[i];
    }
    EXPECT_TRUE(
        driver::Screenshot(driver::BuildDir() + "/tests/programs/tab" + std::to_string(tab) + ".png"));
  }
  EXPECT_EQ(m_client->Text(IDC_NAV_LINK_FIRST), "远岸宽带门户");
}

TEST_F(MainWindowTest, EscapeEnterAndCloseHideNothingButCloseHidesToTheTray) {
  ASSERT_NO_FATAL_FAILURE(Start("close"));
  HWND main = m_client->MainWindow();
  const int keys[] = {VK_ESCAPE, VK_RETURN};
  for (int key : keys) {
    PostMessageA(main, WM_KEYDOWN, key, 0);
    PostMessageA(m_client->Control(IDC_PASSWORD), WM_KEYDOWN, key, 0);
  }
  // A message posted after the keys is handled after them.
  HWND password = m_client->Control(IDC_PASSWORD);
  PostMessageA(password, WM_SETTEXT, 0, 0);
  driver::WaitFor([] { return false; }, 300);
  EXPECT_TRUE(IsWindowVisible(main));

  EXPECT_TRUE(m_client->Click(IDC_CAPTION_CLOSE));
  EXPECT_TRUE(WaitHidden(true));
  EXPECT_TRUE(m_client->IsRunning());
  EXPECT_TRUE(IsWindow(main));

  m_client->SendCommand(ID_TRAY_SHOW);
  EXPECT_TRUE(WaitHidden(false));
}

TEST_F(MainWindowTest, ASecondStartShowsTheFirstFromTheTrayAndEnds) {
  ASSERT_NO_FATAL_FAILURE(Start("single"));
  PostMessageA(m_client->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitHidden(true));

  HANDLE second = m_client->StartAnother();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(WaitForSingleObject(second, 15000), WAIT_OBJECT_0) << "the second instance did not end";
  DWORD code = 1;
  GetExitCodeProcess(second, &code);
  CloseHandle(second);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitHidden(false));
  EXPECT_FALSE(IsIconic(m_client->MainWindow()));
  EXPECT_TRUE(m_client->IsRunning());
}

// An instance that is still ending holds the instance mutex without a window: a new start waits for
// it and then comes up, instead of ending silently; one that never lets go is waited for 10 s.
TEST_F(MainWindowTest, AStartWaitsForAnInstanceThatIsStillEnding) {
  HANDLE ending = CreateMutexA(nullptr, TRUE, app::kInstanceMutex);
  ASSERT_NE(ending, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  m_client = new CClient("ending");
  std::string error;
  ASSERT_TRUE(m_client->Start(&error)) << error;
  // Still waiting while the mutex is held: no window, the process runs.
  EXPECT_EQ(m_client->WaitForMainWindow(1500), nullptr);
  EXPECT_TRUE(m_client->IsRunning());
  ReleaseMutex(ending);
  CloseHandle(ending);
  EXPECT_NE(m_client->WaitForMainWindow(), nullptr) << "the start gave up";

  ending = nullptr;
  ASSERT_NO_FATAL_FAILURE(m_client->Stop());
  ending = CreateMutexA(nullptr, TRUE, app::kInstanceMutex);
  ASSERT_NE(ending, nullptr);
  CClient held("ending-held");
  ASSERT_TRUE(held.Start(&error)) << error;
  DWORD code = 1;
  EXPECT_TRUE(held.WaitForExit(20000, &code)) << "waited without end";
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(held.MainWindow(), nullptr);
  ReleaseMutex(ending);
  CloseHandle(ending);
}

TEST_F(MainWindowTest, HelpWithoutItsFileSaysSo) {
  ASSERT_NO_FATAL_FAILURE(Start("help"));
  m_client->SendCommand(ID_HELP_TOPICS);
  HWND box = m_client->WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(CClient::MessageBoxText(box), "远岸宽带拨号客户端帮助文件没找到！请确定帮助文件是否存在！");
  EXPECT_EQ(driver::WindowText(box), "提示");
  CClient::Answer(box, IDOK);
  EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(box); }, 5000));
  EXPECT_TRUE(m_client->IsRunning());
}

TEST_F(MainWindowTest, AboutBoxShowsTitleVersionAndLink) {
  ASSERT_NO_FATAL_FAILURE(Start("about"));
  const int commands[] = {ID_ABOUT, ID_TRAY_ABOUT};
  for (int command : commands) {
    m_client->SendCommand(command);
    HWND about = nullptr;
    ASSERT_TRUE(driver::WaitFor(
        [&] {
          return (about = driver::FindDialog(m_client->ProcessId(), "关于远岸宽带拨号客户端")) != nullptr;
        },
        10000))
        << command;
    EXPECT_EQ(driver::WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)), "Quillon 1.1 版");
    EXPECT_EQ(driver::WindowText(GetDlgItem(about, IDC_ABOUT_LINK)).rfind("http://", 0), 0u);
    EXPECT_EQ(driver::WindowText(GetDlgItem(about, IDOK)), "确定");
    CClient::Answer(about, IDOK);
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(about); }, 5000));
  }
}

TEST_F(MainWindowTest, ExitFromTheMenuAndFromTheTrayEndsTheProcessCleanly) {
  const int commands[] = {ID_MENU_EXIT, ID_TRAY_EXIT};
  for (int command : commands) {
    ASSERT_NO_FATAL_FAILURE(Start(command == ID_MENU_EXIT ? "exit-menu" : "exit-tray"));
    m_client->SendCommand(command);
    DWORD code = 1;
    EXPECT_TRUE(m_client->WaitForExit(15000, &code)) << command;
    EXPECT_EQ(code, 0u) << command;
    delete m_client;
    m_client = nullptr;
  }
}

}  // namespace
