// The shortcut page and its bar in this process, with the real profile file, shell and dialogs:
// what a person does with the mouse, the dialogs and the menu, and what the file holds afterwards.
// Modal windows are answered from a helper thread while the page's thread runs their loop.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "client/launcher/ShortcutPage.h"
#include "client/resources/Resource.h"
#include "tests/support/Driver.h"

namespace {

constexpr int kMessageBoxText = 0xFFFF;

std::string ReadAll(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// Runs a script on another thread: it waits for the modal windows that the page's thread opens
// meanwhile and answers them.
class CHelper {
 public:
  explicit CHelper(std::function<void(CHelper&)> script) : m_thread([this, script] { script(*this); }) {}
  ~CHelper() { Join(); }
  void Join() {
    if (m_thread.joinable()) m_thread.join();
  }

  HWND Wait(const char* caption) {
    HWND found = nullptr;
    driver::WaitFor([&] { return (found = driver::FindDialog(GetCurrentProcessId(), caption)) != nullptr; },
                    10000);
    if (found == nullptr) log.push_back(std::string("<no window ") + caption + ">");
    return found;
  }
  static void Field(HWND dialog, int id, const std::string& text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  static void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  }
  // Waits for a message box, writes its text into the log and answers it.
  void Box(int answer) {
    HWND box = Wait("提示");
    if (box == nullptr) return;
    log.push_back(driver::WindowText(GetDlgItem(box, kMessageBoxText)));
    Press(box, answer);
    driver::WaitFor([&] { return !IsWindow(box); }, 5000);
  }

  std::vector<std::string> log;

 private:
  std::thread m_thread;
};

class ShortcutPageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    CoInitialize(nullptr);
  }

  void SetUp() override {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    char folder[MAX_PATH] = {};
    snprintf(folder, sizeof(folder), "%sshortcut_page_%lu_%lu", temp, GetCurrentProcessId(), GetTickCount());
    m_folder = folder;
    CreateDirectoryA(m_folder.c_str(), nullptr);
    m_settings = m_folder + "\\Settings.ini";
    GetCurrentDirectoryA(sizeof(m_directory), m_directory);
    m_host = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 220, 360, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    Open();
  }

  void TearDown() override {
    delete m_page;
    DestroyWindow(m_host);
    driver::PumpMessages();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((m_folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((m_folder + "\\" + found.cFileName).c_str());
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(m_folder.c_str());
  }

  // Creates the page as the main window does; a second call is a restart.
  void Open() {
    delete m_page;
    m_page = new CShortcutPage(m_settings);
    HWND window = m_page->Create(m_host);
    ASSERT_NE(window, nullptr);
    SetWindowPos(window, nullptr, 0, 0, 220, 360, SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
    driver::PumpMessages();
  }

  CGfxOutBarCtrl& Bar() { return m_page->Bar(); }
  std::string Ini() const { return ReadAll(m_settings); }

  std::vector<std::string> Items() {
    std::vector<std::string> names;
    for (int i = 0; i < Bar().ItemCount(); ++i) names.push_back(Bar().ItemName(i));
    return names;
  }

  // A file of the temporary folder, with a content that the shell has an icon for.
  std::string MakeFile(const std::string& name) {
    const std::string path = m_folder + "\\" + name;
    WriteAll(path, "shortcut\r\n");
    return path;
  }

  ShortcutItem Shortcut(const std::string& name, const std::string& target) {
    ShortcutItem item;
    item.name = name;
    item.target = item.workDir = target;
    return item;
  }

  POINT Centre(const outbar::Rect& r) {
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return p;
  }

  void Mouse(UINT message, POINT p) {
    SendMessageA(Bar().Handle(), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(p.x, p.y));
  }

  // A right click at p: the menu that opens is closed again by the helper, which keeps the place.
  void RightClick(POINT p) {
    CHelper closer([](CHelper& h) {
      HWND menu = nullptr;
      driver::WaitFor(
          [&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5000);
      if (menu == nullptr) h.log.push_back("<no menu>");
      PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    POINT screen = p;
    ClientToScreen(Bar().Handle(), &screen);
    SendMessageA(m_page->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Bar().Handle()),
                 MAKELPARAM(screen.x, screen.y));
    closer.Join();
    EXPECT_TRUE(closer.log.empty());
  }

  std::string m_folder;
  std::string m_settings;
  char m_directory[MAX_PATH] = {};
  HWND m_host = nullptr;
  CShortcutPage* m_page = nullptr;
};

TEST_F(ShortcutPageTest, GroupsAreRefusedBlankOrPastEightAndDeletingOneLeavesTheLastCurrent) {
  ASSERT_EQ(Bar().FolderCount(), 2);
  EXPECT_EQ(Bar().FolderName(1), "常用软件");
  // Folder 0 current: elsewhere in the bar only the other view and a new group are offered.
  HMENU owner = nullptr;
  HMENU menu = m_page->CreateContextMenu(shortcuts::MenuPlace::kElsewhere, &owner);
  ASSERT_NE(menu, nullptr);
  std::string greyed;
  for (int id :
       {ID_SHORTCUT_LARGE_ICONS, ID_SHORTCUT_SMALL_ICONS, ID_SHORTCUT_ADD_GROUP, ID_SHORTCUT_DELETE_GROUP,
        ID_SHORTCUT_ADD_FILE, ID_SHORTCUT_ADD_WEB_PAGE, ID_SHORTCUT_DELETE_FILE, ID_SHORTCUT_RENAME}) {
    greyed += (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) ? '1' : '0';
  }
  DestroyMenu(owner);
  EXPECT_EQ(greyed, "01011111");

  {
    CHelper helper([](CHelper& h) {
      HWND dialog = h.Wait("添加组");
      h.Field(dialog, IDC_ADD_GROUP_NAME, "   ");
      h.Press(dialog, IDOK);
      h.Box(IDOK);
      // Escape arrives as IDCANCEL and leaves the dialog open.
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      h.Field(dialog, IDC_ADD_GROUP_NAME, "  工作 ");
      h.Press(dialog, IDOK);
    });
    m_page->RunCommand(ID_SHORTCUT_ADD_GROUP);
    helper.Join();
    EXPECT_EQ(helper.log, std::vector<std::string>{"输入的组名不能为空！"});
  }
  ASSERT_EQ(Bar().FolderCount(), 3);
  EXPECT_EQ(Bar().FolderName(2), "工作");
  EXPECT_EQ(Bar().CurrentFolder(), 0);
  EXPECT_NE(Ini().find("2=工作"), std::string::npos) << Ini();

  for (const char* name : {"c", "d", "e", "f", "g"}) Bar().AddFolder(name);
  {
    CHelper helper([](CHelper& h) {
      HWND dialog = h.Wait("添加组");
      h.Field(dialog, IDC_ADD_GROUP_NAME, "九");
      h.Press(dialog, IDOK);
      h.Box(IDOK);
    });
    m_page->RunCommand(ID_SHORTCUT_ADD_GROUP);
    helper.Join();
    EXPECT_EQ(helper.log, std::vector<std::string>{"分组最多不能超过8个！"});
  }
  EXPECT_EQ(Bar().FolderCount(), 8);

  // Deleting: No keeps everything; Yes removes the current folder and the last one is current.
  const struct {
    int current;
    int answer;
    int count;
    int currentAfter;
  } deletions[] = {{3, IDNO, 8, 3}, {3, IDYES, 7, 6}, {6, IDYES, 6, 5}};
  for (const auto& d : deletions) {
    Bar().SetCurrentFolder(d.current);
    CHelper helper([&](CHelper& h) { h.Box(d.answer); });
    m_page->RunCommand(ID_SHORTCUT_DELETE_GROUP);
    helper.Join();
    EXPECT_EQ(helper.log,
              std::vector<std::string>{"删除该分组会将其包含的所有栏目\n一并删除，确定是否继续?"});
    EXPECT_EQ(Bar().FolderCount(), d.count) << d.current;
    EXPECT_EQ(Bar().CurrentFolder(), d.currentAfter) << d.current;
  }
  while (Bar().FolderCount() > 3) Bar().RemoveFolder(3);
  Bar().SetCurrentFolder(2);
  CHelper helper([](CHelper& h) { h.Box(IDYES); });
  m_page->RunCommand(ID_SHORTCUT_DELETE_GROUP);
  helper.Join();
  EXPECT_EQ(Bar().FolderCount(), 2);
  EXPECT_EQ(Bar().CurrentFolder(), 1);
  // Folders 0 and 1 are never deleted.
  m_page->RunCommand(ID_SHORTCUT_DELETE_GROUP);
  EXPECT_EQ(Bar().FolderCount(), 2);
  EXPECT_NE(Ini().find("FolderCount=2"), std::string::npos) << Ini();
}

TEST_F(ShortcutPageTest, TheFileHoldsWhatWasAddedKeepsRemovedKeysAndARestartReadsItBack) {
  EXPECT_NE(Ini().find("[Status]"), std::string::npos) << Ini();
  EXPECT_NE(Ini().find("IsSmallIconView=1"), std::string::npos) << Ini();
  EXPECT_NE(Ini().find("[Folder]\r\n1=常用软件"), std::string::npos) << Ini();
  // Folder 0 holds the drives the shell knows and is never written.
  ASSERT_GE(Bar().ItemCount(), 1);
  EXPECT_EQ(Bar().ItemTarget(0).substr(1), ":\\");
  EXPECT_EQ(Ini().find("[0]"), std::string::npos) << Ini();
  // Probing the drives leaves the program's current folder as it was.
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof(directory), directory);
  EXPECT_STREQ(directory, m_directory);

  Bar().SetCurrentFolder(1);
  const struct {
    const char* name;
    const char* address;
  } pages[] = {{"门户", "http://www.vorlan.net"}, {" 新闻 ", "news.cn"}};
  for (const auto& p : pages) {
    CHelper helper([&](CHelper& h) {
      HWND dialog = h.Wait("增加网页");
      h.Field(dialog, IDC_ADD_WEB_NAME, p.name);
      h.Field(dialog, IDC_ADD_WEB_ADDRESS, p.address);
      h.Press(dialog, IDOK);
    });
    m_page->RunCommand(ID_SHORTCUT_ADD_WEB_PAGE);
  }
  const std::string file = MakeFile("readme.txt");
  {
    CHelper helper([&](CHelper& h) {
      HWND dialog = h.Wait("增加文件");
      // Enter and Escape (IDOK and IDCANCEL) leave it open; its own OK takes the path.
      h.Field(dialog, IDC_ADD_FILE_PATH, file);
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      h.Press(dialog, IDC_SHORTCUT_OK);
    });
    m_page->RunCommand(ID_SHORTCUT_ADD_FILE);
  }
  const std::string other = MakeFile("other.txt");
  ShortcutItem unnamed = Shortcut("", other);
  unnamed.image = Bar().ShellImage(other);
  Bar().AddItem(unnamed);
  ASSERT_TRUE(Bar().Save());
  EXPECT_EQ(Items(), (std::vector<std::string>{"门户", "新闻", "readme.txt", ""}));
  const std::string ini = Ini();
  for (const std::string& line :
       {std::string("[ItemCount]\r\n1=4"), std::string("1=门户\r\n1n=http://www.vorlan.net"),
        std::string("2=新闻\r\n2n=http://news.cn"), "3n=" + file, "4=" + other + "\r\n4n=" + other}) {
    EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;
  }

  // Deleting the right-clicked item asks with the folder's and the item's names.
  RightClick(Centre(Bar().ItemRect(0)));
  {
    CHelper helper([](CHelper& h) { h.Box(IDYES); });
    m_page->RunCommand(ID_SHORTCUT_DELETE_FILE);
    helper.Join();
    EXPECT_EQ(helper.log, std::vector<std::string>{"确定要删除\"常用软件\"分组中的\n\"门户\"栏目吗?"});
  }
  EXPECT_EQ(Items(), (std::vector<std::string>{"新闻", "readme.txt", ""}));
  EXPECT_NE(Ini().find("[ItemCount]\r\n1=3"), std::string::npos) << Ini();
  EXPECT_NE(Ini().find("4n=" + other), std::string::npos) << Ini();

  Bar().SetSmallIconView(false);
  Open();
  EXPECT_EQ(Bar().CurrentFolder(), 0);
  EXPECT_FALSE(Bar().IsSmallIconView());
  Bar().SetCurrentFolder(1);
  EXPECT_EQ(Items(), (std::vector<std::string>{"新闻", "readme.txt", other}));
  EXPECT_EQ(Bar().ItemTarget(0), "http://news.cn");
  EXPECT_EQ(Bar().ItemWorkDir(1), file);
}

TEST_F(ShortcutPageTest, DroppedFilesAndShortcutsBecomeItemsAndAreSaved) {
  const std::string target = MakeFile("target.txt");
  const std::string plain = MakeFile("plain.txt");
  const std::string link = m_folder + "\\link.lnk";
  IShellLinkA* shell = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         reinterpret_cast<void**>(&shell))));
  shell->SetPath(target.c_str());
  IPersistFile* persist = nullptr;
  ASSERT_TRUE(SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))));
  WCHAR wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  ASSERT_TRUE(SUCCEEDED(persist->Save(wide, TRUE)));
  persist->Release();
  shell->Release();

  // A drop handle as the shell makes it: the file names after the header, a double zero at the end.
  auto drop = [&](const std::vector<std::string>& files) {
    std::string names;
    for (const std::string& f : files) names += f + '\0';
    names += '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(memory);
    SendMessageA(Bar().Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  };

  const int drives = Bar().ItemCount();
  drop({plain});
  EXPECT_EQ(Bar().ItemCount(), drives) << "nothing is dropped into folder 0";
  Bar().SetCurrentFolder(1);
  drop({plain, link, m_folder + "\\missing.txt"});
  EXPECT_EQ(Items(), (std::vector<std::string>{"plain.txt", "target.txt"}));
  EXPECT_EQ(Bar().ItemTarget(1), target);
  const std::string ini = Ini();
  EXPECT_NE(ini.find("1=plain.txt\r\n1n=" + plain), std::string::npos) << ini;
  EXPECT_NE(ini.find("2=target.txt\r\n2n=" + target), std::string::npos) << ini;
}

TEST_F(ShortcutPageTest, TheMouseSwitchesScrollsDragsOpensAndRenames) {
  Bar().AddFolder("B");
  Bar().SetCurrentFolder(1);
  for (int i = 0; i < 20; ++i) Bar().AddItem(Shortcut("item" + std::to_string(i), MakeFile("f.txt")));
  EXPECT_EQ(Bar().FolderRect(0).top, -1);
  EXPECT_EQ(Bar().FolderRect(1).top, 21);
  EXPECT_EQ(Bar().FolderRect(2).bottom, 360);
  EXPECT_EQ(Bar().ItemRect(0).top, 43 + 5);
  EXPECT_EQ(Bar().ItemRect(0).left, 5);

  // Scrolling: one item per click; held, one more every 300 ms until released; never past the
  // last item.
  EXPECT_FALSE(Bar().IsUpArrowShown());
  ASSERT_TRUE(Bar().IsDownArrowShown());
  const POINT down = Centre(outbar::DownArrow(Bar().ItemArea()));
  Mouse(WM_LBUTTONDOWN, down);
  Mouse(WM_LBUTTONUP, down);
  EXPECT_EQ(Bar().FirstShownItem(), 1);
  EXPECT_TRUE(Bar().IsUpArrowShown());
  POINT screen = down;
  ClientToScreen(Bar().Handle(), &screen);
  SetCursorPos(screen.x, screen.y);
  Mouse(WM_LBUTTONDOWN, down);
  EXPECT_TRUE(driver::WaitFor([&] { return Bar().FirstShownItem() >= 3; }, 5000));
  Mouse(WM_LBUTTONUP, down);
  for (int i = 0; i < 40 && Bar().IsDownArrowShown(); ++i) {
    Mouse(WM_LBUTTONDOWN, down);
    Mouse(WM_LBUTTONUP, down);
  }
  EXPECT_FALSE(Bar().IsDownArrowShown());
  EXPECT_LE(Bar().ItemRect(19).bottom, Bar().ItemArea().bottom);
  EXPECT_GT(Bar().ItemRect(18).top, Bar().ItemArea().top);

  // A folder button click switches and shows the new folder from its first item.
  Mouse(WM_LBUTTONDOWN, Centre(Bar().FolderRect(0)));
  Mouse(WM_LBUTTONUP, Centre(Bar().FolderRect(0)));
  EXPECT_EQ(Bar().CurrentFolder(), 0);
  EXPECT_EQ(driver::WindowText(Bar().Handle()), "我的电脑");
  Mouse(WM_LBUTTONDOWN, Centre(Bar().FolderRect(1)));
  Mouse(WM_LBUTTONUP, Centre(Bar().FolderRect(1)));
  EXPECT_EQ(Bar().CurrentFolder(), 1);
  EXPECT_EQ(Bar().FirstShownItem(), 0);

  // Dragging item 0 onto item 3 puts it just before item 3; onto free space, at the end.
  POINT from = Centre(Bar().ItemRect(0));
  Mouse(WM_LBUTTONDOWN, from);
  Mouse(WM_MOUSEMOVE, Centre(Bar().ItemRect(3)));
  Mouse(WM_LBUTTONUP, Centre(Bar().ItemRect(3)));
  EXPECT_EQ(Items()[0], "item1");
  EXPECT_EQ(Items()[2], "item0");
  while (Bar().ItemCount() > 3) Bar().RemoveItem(3);
  from = Centre(Bar().ItemRect(0));
  const POINT space = {Bar().ItemArea().right - 30, Bar().ItemArea().bottom - 30};
  Mouse(WM_LBUTTONDOWN, from);
  Mouse(WM_MOUSEMOVE, space);
  Mouse(WM_LBUTTONUP, space);
  EXPECT_EQ(Items(), (std::vector<std::string>{"item2", "item0", "item1"}));

  // A click opens the item through the shell; a target it cannot open is reported.
  ShortcutItem broken = Shortcut("broken", m_folder + "\\missing\\nothing.qqq");
  broken.image = 0;
  Bar().AddItem(broken);
  {
    CHelper helper([](CHelper& h) { h.Box(IDOK); });
    Mouse(WM_LBUTTONDOWN, Centre(Bar().ItemRect(3)));
    Mouse(WM_LBUTTONUP, Centre(Bar().ItemRect(3)));
    helper.Join();
    EXPECT_EQ(helper.log, std::vector<std::string>{"无法打开该文件！"});
  }

  // Labels edited in place: Enter or leaving the edit applies the text, Escape or an empty text
  // changes nothing; in the large view Enter ends the edit instead of starting a line.
  const struct {
    bool folder;
    bool small;
    const char* typed;
    UINT end;
    const char* expected;
  } edits[] = {
      {false, true, "新名", VK_RETURN, "新名"}, {false, false, "大名", VK_RETURN, "大名"},
      {false, true, "不要", VK_ESCAPE, "大名"}, {false, true, "  ", VK_RETURN, "大名"},
      {true, true, "常用", 0, "常用"},
  };
  for (const auto& e : edits) {
    Bar().SetSmallIconView(e.small);
    if (e.folder) {
      Bar().EditFolderLabel(1);
    } else {
      Bar().EditItemLabel(1);
    }
    HWND edit = Bar().LabelEdit();
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, e.typed);
    if (e.end != 0) {
      SendMessageA(edit, WM_KEYDOWN, e.end, 0);
      SendMessageA(edit, WM_CHAR, e.end, 0);
    } else {
      SetFocus(m_page->Handle());
    }
    EXPECT_EQ(Bar().LabelEdit(), nullptr) << e.typed;
    EXPECT_EQ(e.folder ? Bar().FolderName(1) : Bar().ItemName(1), e.expected) << e.typed;
  }
  EXPECT_EQ(driver::WindowText(Bar().Handle()), "常用");
}

}  // namespace
