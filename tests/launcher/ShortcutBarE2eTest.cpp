// The shortcut bar of the running client, used from outside as a person would: the three small
// dialogs, the context menu's commands, the view switch, and what survives a restart.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "client/resources/Resource.h"
#include "tests/support/Driver.h"

namespace {

using driver::CClient;

// The second tab's icon, in the column of 38-pixel tabs.
constexpr int kShortcutTabY = 4 + 38 + 19;

class ShortcutBarE2eTest : public ::testing::Test {
 protected:
  void Launch() {
    std::string error;
    ASSERT_TRUE(m_client.Launch(&error)) << error;
    ASSERT_NE(m_client.WaitForMainWindow(), nullptr) << "no main window";
    ASSERT_TRUE(m_client.ClickAt(IDC_TABS, 20, kShortcutTabY));
    ASSERT_TRUE(driver::WaitFor([&] { return Bar() != nullptr && IsWindowVisible(Bar()); }, 10000));
  }

  HWND Bar() const { return m_client.Control(IDC_SHORTCUT_BAR); }
  HWND Page() const { return GetParent(Bar()); }
  std::string Ini() const { return m_client.ReadFile("Settings.ini"); }
  static std::string Shot(const std::string& name) {
    return driver::BuildDir() + "/tests/programs/" + name + ".png";
  }

  // A click on a folder button of count folders: those up to the current one are stacked from
  // the top, the others at the bottom. The bar's text is the current folder's name.
  void OpenFolder(int folder, int count, int current, const char* name) {
    RECT client;
    GetClientRect(Bar(), &client);
    const int top = folder <= current ? 22 * folder - 1 : client.bottom - 22 * (count - folder);
    const LPARAM at = MAKELPARAM(40, top + 11);
    PostMessageA(Bar(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(Bar(), WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(driver::WaitFor([&] { return driver::WindowText(Bar()) == name; }, 5000)) << name;
  }

  // A context-menu command, handled before this returns unless it opens a window.
  void Command(int id, bool opensWindow) {
    if (opensWindow) {
      PostMessageA(Page(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    } else {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(Page(), WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    }
  }

  HWND WaitForDialog(const char* caption) {
    HWND dialog = nullptr;
    driver::WaitFor([&] { return (dialog = driver::FindDialog(m_client.ProcessId(), caption)) != nullptr; },
                    10000);
    return dialog;
  }

  static void SetField(HWND dialog, int id, const std::string& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
  }

  // The message box a button of the dialog brings up: its text, after it has been answered.
  std::string RefusalOf(HWND dialog, int button) {
    CClient::Answer(dialog, button);
    HWND box = m_client.WaitForMessageBox();
    if (box == nullptr) return "<no message>";
    const std::string text = CClient::MessageBoxText(box);
    EXPECT_EQ(driver::WindowText(box), "提示");
    CClient::Answer(box, IDOK);
    driver::WaitFor([&] { return !IsWindow(box); }, 5000);
    return text;
  }

  void Close(HWND dialog, int button) {
    CClient::Answer(dialog, button);
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(dialog); }, 5000));
  }

  // Right-clicks item n of the small-icon view and closes the menu it opens; the page keeps the
  // place for the next command.
  bool RightClickItem(int n) {
    const LPARAM at = MAKELPARAM(13, 43 + 5 + 26 * n + 8);
    PostMessageA(Bar(), WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageA(Bar(), WM_RBUTTONUP, 0, at);
    HWND menu = nullptr;
    driver::WaitFor(
        [&] {
          menu = FindWindowA("#32768", nullptr);
          return menu != nullptr && IsWindowVisible(menu);
        },
        5000);
    if (menu == nullptr) return false;
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    return driver::WaitFor([&] { return !IsWindowVisible(menu); }, 5000);
  }

  // A command that asks first: the question, answered.
  std::string Question(int command, int answer) {
    Command(command, true);
    HWND box = m_client.WaitForMessageBox();
    if (box == nullptr) return "<no question>";
    const std::string text = CClient::MessageBoxText(box);
    CClient::Answer(box, answer);
    driver::WaitFor([&] { return !IsWindow(box); }, 5000);
    return text;
  }

  CClient m_client{"shortcuts"};
};

TEST_F(ShortcutBarE2eTest, AWebPageAndAFileAddedThroughTheDialogsAreThereAfterARestart) {
  std::string error;
  ASSERT_TRUE(m_client.Prepare(&error)) << error;
  ASSERT_TRUE(m_client.WriteFile("notes.txt", "shortcut target\r\n"));
  const std::string file = m_client.Folder() + "notes.txt";
  ASSERT_NO_FATAL_FAILURE(Launch());
  // The first start writes the file with the default folders.
  EXPECT_NE(Ini().find("FolderCount=2"), std::string::npos) << Ini();
  EXPECT_EQ(driver::WindowText(Bar()), "我的电脑");
  ASSERT_NO_FATAL_FAILURE(OpenFolder(1, 2, 0, "常用软件"));

  Command(ID_SHORTCUT_ADD_WEB_PAGE, true);
  HWND web = WaitForDialog("增加网页");
  ASSERT_NE(web, nullptr);
  EXPECT_EQ(RefusalOf(web, IDOK), "请填写网站名称！");
  SetField(web, IDC_ADD_WEB_NAME, "远岸门户");
  EXPECT_EQ(RefusalOf(web, IDOK), "请填写网站地址！");
  SetField(web, IDC_ADD_WEB_ADDRESS, "www.vorlan.net");
  EXPECT_TRUE(driver::Screenshot(Shot("add-web-page")));
  Close(web, IDOK);
  EXPECT_TRUE(
      driver::WaitFor([&] { return Ini().find("1n=http://www.vorlan.net") != std::string::npos; }, 5000))
      << Ini();

  Command(ID_SHORTCUT_ADD_FILE, true);
  HWND add = WaitForDialog("增加文件");
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(RefusalOf(add, IDC_SHORTCUT_OK), "文件路径不能为空！");
  SetField(add, IDC_ADD_FILE_PATH, file);
  EXPECT_TRUE(driver::Screenshot(Shot("add-file")));
  Close(add, IDC_SHORTCUT_OK);
  EXPECT_TRUE(driver::WaitFor([&] { return Ini().find("2n=" + file) != std::string::npos; }, 5000)) << Ini();
  EXPECT_NE(Ini().find("2=notes.txt"), std::string::npos) << Ini();

  Command(ID_SHORTCUT_ADD_GROUP, true);
  HWND group = WaitForDialog("添加组");
  ASSERT_NE(group, nullptr);
  SetField(group, IDC_ADD_GROUP_NAME, "   ");
  EXPECT_EQ(RefusalOf(group, IDOK), "输入的组名不能为空！");
  SetField(group, IDC_ADD_GROUP_NAME, "游戏");
  EXPECT_TRUE(driver::Screenshot(Shot("add-group")));
  Close(group, IDOK);
  EXPECT_TRUE(driver::WaitFor([&] { return Ini().find("2=游戏") != std::string::npos; }, 5000)) << Ini();
  // The folder that was current stays current.
  EXPECT_EQ(driver::WindowText(Bar()), "常用软件");
  EXPECT_TRUE(driver::Screenshot(Shot("shortcuts-small")));

  Command(ID_SHORTCUT_LARGE_ICONS, false);
  EXPECT_TRUE(driver::Screenshot(Shot("shortcuts-large")));

  m_client.Stop();
  EXPECT_NE(Ini().find("IsSmallIconView=0"), std::string::npos) << Ini();
  ASSERT_NO_FATAL_FAILURE(Launch());
  EXPECT_EQ(driver::WindowText(Bar()), "我的电脑");
  ASSERT_NO_FATAL_FAILURE(OpenFolder(1, 3, 0, "常用软件"));
  Command(ID_SHORTCUT_SMALL_ICONS, false);
  ASSERT_TRUE(RightClickItem(0));
  EXPECT_EQ(Question(ID_SHORTCUT_DELETE_FILE, IDNO), "确定要删除\"常用软件\"分组中的\n\"远岸门户\"栏目吗?");
  ASSERT_TRUE(RightClickItem(1));
  EXPECT_EQ(Question(ID_SHORTCUT_DELETE_FILE, IDNO), "确定要删除\"常用软件\"分组中的\n\"notes.txt\"栏目吗?");

  // A label edited in place ends with Enter, even inside the main window, which keeps Enter from
  // its own controls; the new name is saved when the client ends.
  ASSERT_TRUE(RightClickItem(1));
  EXPECT_EQ(Question(ID_SHORTCUT_RENAME, IDYES), "是否重新命名该栏目？");
  HWND edit = nullptr;
  ASSERT_TRUE(driver::WaitFor(
      [&] { return (edit = FindWindowExA(Bar(), nullptr, "Edit", nullptr)) != nullptr; }, 5000));
  EXPECT_EQ(driver::WindowText(edit), "notes.txt");
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("笔记"), SMTO_ABORTIFHUNG, 5000,
                      &ignored);
  PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(edit); }, 5000));
  ASSERT_NO_FATAL_FAILURE(OpenFolder(2, 3, 1, "游戏"));
  m_client.Stop();
  EXPECT_NE(Ini().find("2=笔记\r\n2n=" + file), std::string::npos) << Ini();
}

}  // namespace
