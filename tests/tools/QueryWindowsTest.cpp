// The record query, the statistics window and user management of the running client, against the
// access server, used through their windows as a subscriber would.
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/XmlDoc.h"
#include "client/tools/RecordQuery.h"

namespace {

constexpr char kQueryCaption[] = "上网记录查询(只查询通过本软件拨号上网的记录)";
constexpr char kAll[] = "所有";

void Idle(DWORD milliseconds) {
  driver::WaitFor([] { return false; }, milliseconds);
}

std::string Shot(const std::string& name) {
  return driver::BuildDir() + "/tests/programs/" + name + ".png";
}

std::string Item(const std::string& user, const std::string& start, const std::string& end,
                 const std::string& send, const std::string& recv) {
  return "<ITEM user=\"" + user + "\" start_time=\"" + start + "\" end_time=\"" + end +
         "\" ip=\"10.0.0.9\" error_code=\"正常断开\" send=\"" + send + "\" recv=\"" + recv + "\"/>\r\n";
}

std::string MonthFile(const std::vector<std::string>& items) {
  std::string text = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<record>\r\n";
  for (const std::string& item : items) text += item;
  return text + "</record>\r\n";
}

// The records of a month file of the program folder: user, start, end, ip, end cause, send, recv.
std::vector<std::vector<std::string>> FileRecords(const driver::CClient& client, const std::string& month) {
  std::vector<std::vector<std::string>> records;
  CXmlDoc doc;
  if (!doc.LoadFile((client.Folder() + "data\\record\\" + month + ".xml").c_str()) ||
      !doc.FindElement("record") || !doc.EnterElement()) {
    return records;
  }
  while (doc.FindElement("ITEM")) {
    std::vector<std::string> fields;
    for (const char* name : {"user", "start_time", "end_time", "ip", "error_code", "send", "recv"}) {
      fields.push_back(doc.GetAttribute(name));
    }
    records.push_back(fields);
  }
  return records;
}

long long Moment(const std::string& text) {
  std::tm parts = {};
  std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
              &parts.tm_hour, &parts.tm_min, &parts.tm_sec);
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  parts.tm_isdst = -1;
  return static_cast<long long>(std::mktime(&parts));
}

unsigned long long Ungrouped(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits.empty() ? 0 : std::stoull(digits);
}

std::string ExportOf(const std::vector<std::vector<std::string>>& rows) {
  std::string text;
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) text += row[i] + (i + 1 < row.size() ? "\t" : "\r\n");
  }
  return text;
}

int RowOf(const std::vector<std::vector<std::string>>& rows, const std::string& user) {
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i][kColumnUser] == user) return static_cast<int>(i);
  }
  return -1;
}

struct NotepadSearch {
  HWND found;
};

BOOL CALLBACK FindNotepad(HWND window, LPARAM data) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof(name));
  if (lstrcmpiA(name, "Notepad") != 0 || !IsWindowVisible(window)) return TRUE;
  reinterpret_cast<NotepadSearch*>(data)->found = window;
  return FALSE;
}

BOOL CALLBACK FindEdit(HWND window, LPARAM data) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof(name));
  if (lstrcmpiA(name, "Edit") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

HWND FirstEdit(HWND dialog) {
  HWND found = nullptr;
  EnumChildWindows(dialog, FindEdit, reinterpret_cast<LPARAM>(&found));
  return found;
}

BOOL CALLBACK ListChild(HWND window, LPARAM data) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  *reinterpret_cast<std::string*>(data) +=
      std::string(name) + "#" + std::to_string(GetDlgCtrlID(window)) + " ";
  return TRUE;
}

std::string ChildList(HWND dialog) {
  std::string list;
  EnumChildWindows(dialog, ListChild, reinterpret_cast<LPARAM>(&list));
  return list;
}

// The saved users and whether "LastUser" is there, read from the bytes of the client's
// "config.xml" without writing anything (a store object would repair a file caught mid-save).
struct UsersInFile {
  std::vector<std::string> names;
  bool hasLast = false;
  bool operator==(const UsersInFile& other) const { return names == other.names && hasLast == other.hasLast; }
};

UsersInFile ReadUsersInFile(const driver::CClient& client) {
  UsersInFile users;
  CXmlDoc doc;
  if (!doc.SetDocText(client.ReadFile("config.xml").c_str()) || !doc.FindElement("CONFIG") ||
      !doc.EnterElement()) {
    users.names.push_back("(no config)");
    return users;
  }
  if (doc.FindElement(e2e::kDefaultEntry) && doc.EnterElement()) {
    while (doc.FindElement("User")) users.names.push_back(doc.GetAttribute("NAME"));
    doc.LeaveElement();
  }
  doc.RewindLevel();
  users.hasLast = doc.FindElement("LastUser");
  return users;
}

std::vector<int> SelectedRows(HWND list) {
  std::vector<int> rows;
  DWORD_PTR row = static_cast<DWORD_PTR>(-1);
  while (SendMessageTimeoutA(list, LVM_GETNEXTITEM, row, MAKELPARAM(LVNI_SELECTED, 0), SMTO_ABORTIFHUNG, 5000,
                             &row) &&
         static_cast<int>(row) >= 0) {
    rows.push_back(static_cast<int>(row));
  }
  return rows;
}

// Selects the rows once the dialog has settled (its first focus given), and sees that they are.
bool Select(HWND list, const std::vector<int>& rows) {
  GUITHREADINFO info;
  const DWORD thread = GetWindowThreadProcessId(list, nullptr);
  driver::WaitFor(
      [&] {
        ZeroMemory(&info, sizeof(info));
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr;
      },
      5000);
  return driver::ListViewSelect(list, rows) &&
         driver::WaitFor([&] { return SelectedRows(list) == rows; }, 5000);
}

class QueryWindowsTest : public e2e::ConnectionTest {
 protected:
  HWND OpenDialog(int command, const char* caption) {
    m_client->SendCommand(command);
    return driver::WaitForDialog(m_client->ProcessId(), caption);
  }

  static void Press(HWND dialog, int id) { driver::CClient::Answer(dialog, id); }

  // Presses the button and answers the message box it brings up; returns the box's text.
  std::string PressAndAnswer(HWND dialog, int id, int answer) {
    Press(dialog, id);
    HWND box = m_client->WaitForMessageBox();
    if (box == nullptr) return "(no message box)";
    const std::string text = driver::CClient::MessageBoxText(box);
    EXPECT_EQ(driver::WindowText(box), "提示");
    driver::CClient::Answer(box, answer);
    driver::WaitFor([&] { return !IsWindow(box); }, 5000);
    return text;
  }

  void Close(HWND dialog, int id) {
    Press(dialog, id);
    EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(dialog); }, 5000));
  }

  void ConnectAndDisconnect(size_t records) {
    Connect("demo", "demo1234");
    ASSERT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);
    Idle(1500);
    ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
    ASSERT_TRUE(WaitNoSession());
    ASSERT_TRUE(driver::WaitFor(
        [&] {
          const std::vector<e2e::RecordItem> items = Records();
          return items.size() == records && !items[0].end.empty();
        },
        10000));
  }
};

TEST_F(QueryWindowsTest, QueryAfterTwoConnectionsListsBothRowsAndTheTotals) {
  ASSERT_NO_FATAL_FAILURE(StartClient("query-two"));
  ASSERT_NO_FATAL_FAILURE(ConnectAndDisconnect(1));
  ASSERT_NO_FATAL_FAILURE(ConnectAndDisconnect(2));
  const std::vector<e2e::RecordItem> records = Records();

  HWND query = OpenDialog(ID_RECORD_QUERY, kQueryCaption);
  ASSERT_NE(query, nullptr);
  HWND list = driver::FindDescendant(query, IDC_RECORD_LIST);
  EXPECT_EQ(driver::ComboItems(driver::FindDescendant(query, IDC_FILTER_USER)),
            (std::vector<std::string>{kAll, "demo"}));
  const std::vector<std::string> years = driver::ComboItems(driver::FindDescendant(query, IDC_FILTER_YEAR));
  ASSERT_GE(years.size(), 13u);
  EXPECT_EQ(years[0], kAll);
  EXPECT_EQ(years[1], "2009");
  EXPECT_EQ(years.back(), std::max(std::string("2020"), records[0].start.substr(0, 4)));
  EXPECT_EQ(driver::ComboItems(driver::FindDescendant(query, IDC_FILTER_MONTH)).size(), 13u);
  EXPECT_EQ(driver::ComboItems(driver::FindDescendant(query, IDC_FILTER_DAY)).size(), 32u);
  for (int id : {IDC_FILTER_USER, IDC_FILTER_YEAR, IDC_FILTER_MONTH, IDC_FILTER_DAY}) {
    EXPECT_EQ(driver::WindowText(driver::FindDescendant(query, id)), kAll);
  }
  EXPECT_EQ(driver::WindowText(driver::FindDescendant(query, IDC_RECORD_NOTICE)),
            "此处提供的上网记录仅供参考，真实的上网记录应以服务提供商（ISP）为准。");
  EXPECT_TRUE(driver::ListViewRows(list, kRecordColumns).empty()) << "nothing is listed before a query";
  EXPECT_EQ(driver::WindowText(driver::FindDescendant(query, IDC_RECORD_TOTALS)), "");

  Press(query, IDC_RECORD_QUERY);
  HWND totals = driver::FindDescendant(query, IDC_RECORD_TOTALS);
  ASSERT_TRUE(driver::WaitFor([&] { return !driver::WindowText(totals).empty(); }, 10000));
  const std::vector<std::vector<std::string>> rows = driver::ListViewRows(list, kRecordColumns);
  ASSERT_EQ(rows.size(), 2u);
  long long seconds = 0;
  unsigned long long bytes = 0;
  for (size_t i = 0; i < 2; ++i) {
    const long long duration = Moment(records[i].end) - Moment(records[i].start);
    seconds += duration;
    bytes += std::stoull(records[i].send) + std::stoull(records[i].recv);
    EXPECT_EQ(rows[i], (std::vector<std::string>{std::to_string(i + 1), "demo", records[i].start,
                                                 DurationText(duration), records[i].ip, "正常断开",
                                                 records[i].send, records[i].recv}));
  }
  EXPECT_EQ(driver::WindowText(totals), "总计      次数：2      时间：" + DurationText(seconds) +
                                            "      总流量：" + GroupDigits(static_cast<long long>(bytes)) +
                                            "字节");
  EXPECT_TRUE(driver::ScreenshotOf(query, Shot("record-query")));
  Close(query, IDCANCEL);
}

TEST_F(QueryWindowsTest, AddByHandDeleteAndExport) {
  ASSERT_NO_FATAL_FAILURE(StartClient("query-edit", [&](CConfigStore&) {
    const std::string records = m_client->Folder() + "data\\record";
    CreateDirectoryA((m_client->Folder() + "data").c_str(), nullptr);
    CreateDirectoryA(records.c_str(), nullptr);
    m_client->WriteFile("data\\record\\2009-03.xml",
                        MonthFile({Item("alice", "2009-03-10 08:00:00", "2009-03-10 08:00:59", "100", "200"),
                                   Item("bob", "2009-03-10 08:00:00", "2009-03-10 09:00:00", "1", "2"),
                                   Item("carol", "2009-03-05 08:00:00", "2009-03-05 08:01:01", "5", "6")}));
    m_client->WriteFile("data\\record\\2009-04.xml",
                        MonthFile({Item("dave", "2009-04-02 08:00:00", "2009-04-02 08:00:01", "7", "8")}));
  }));
  const std::vector<std::vector<std::string>> march = FileRecords(*m_client, "2009-03");
  ASSERT_EQ(march.size(), 3u);

  HWND query = OpenDialog(ID_RECORD_QUERY, kQueryCaption);
  ASSERT_NE(query, nullptr);
  HWND list = driver::FindDescendant(query, IDC_RECORD_LIST);
  HWND totals = driver::FindDescendant(query, IDC_RECORD_TOTALS);

  // By hand, for April: the record goes to the top of April's file and the list shows everything.
  Press(query, IDC_RECORD_ADD);
  HWND add = driver::WaitForDialog(m_client->ProcessId(), "添加上网记录");
  ASSERT_NE(add, nullptr);
  ASSERT_TRUE(SendMessageA(driver::FindDescendant(add, IDC_ADD_USER), WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>("手工")));
  SendMessageA(driver::FindDescendant(add, IDC_ADD_IP), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 1, 2, 3));
  const SYSTEMTIME start = {2009, 4, 1, 20, 10, 0, 0, 0};
  const SYSTEMTIME end = {2009, 4, 1, 20, 11, 1, 1, 0};
  ASSERT_TRUE(driver::SetDateTime(driver::FindDescendant(add, IDC_ADD_START_DATE), start));
  ASSERT_TRUE(driver::SetDateTime(driver::FindDescendant(add, IDC_ADD_START_TIME), start));
  ASSERT_TRUE(driver::SetDateTime(driver::FindDescendant(add, IDC_ADD_END_DATE), end));
  ASSERT_TRUE(driver::SetDateTime(driver::FindDescendant(add, IDC_ADD_END_TIME), end));
  HWND sent = driver::FindDescendant(add, IDC_ADD_SENT);
  SendMessageA(sent, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("300"));
  SendMessageA(sent, WM_CHAR, 'x', 0);
  EXPECT_EQ(driver::WindowText(sent), "300") << "the byte counts take digits only";
  SendMessageA(driver::FindDescendant(add, IDC_ADD_RECEIVED), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("400"));
  EXPECT_TRUE(driver::ScreenshotOf(add, Shot("add-record")));
  Close(add, IDOK);

  std::vector<std::vector<std::string>> rows;
  ASSERT_TRUE(driver::WaitFor([&] { return (rows = driver::ListViewRows(list, kRecordColumns)).size() == 5; },
                              10000));
  const std::vector<std::vector<std::string>> april = FileRecords(*m_client, "2009-04");
  ASSERT_EQ(april.size(), 2u);
  EXPECT_EQ(april[0], (std::vector<std::string>{"手工", "2009-04-20 10:00:00", "2009-04-20 11:01:01",
                                                "10.1.2.3", "正常断开", "300", "400"}));
  const int byHand = RowOf(rows, "手工");
  ASSERT_GE(byHand, 0);
  EXPECT_EQ(rows[byHand][kColumnDuration], "1小时1分钟1秒");
  EXPECT_EQ(driver::WindowText(totals), "总计      次数：5      时间：2小时3分钟2秒      总流量：1,029字节");
  const std::vector<std::string> users = driver::ComboItems(driver::FindDescendant(query, IDC_FILTER_USER));
  EXPECT_NE(std::find(users.begin(), users.end(), "手工"), users.end());

  // "删除" with nothing selected refuses; a "No" to the question keeps everything.
  ASSERT_TRUE(Select(list, {}));
  EXPECT_EQ(PressAndAnswer(query, IDC_RECORD_DELETE, IDOK), "请选择待删除的记录！");
  ASSERT_TRUE(Select(list, {RowOf(rows, "alice")}));
  EXPECT_EQ(PressAndAnswer(query, IDC_RECORD_DELETE, IDNO), "确定要删除？");
  EXPECT_EQ(FileRecords(*m_client, "2009-03"), march);
  EXPECT_EQ(driver::ListViewRows(list, kRecordColumns).size(), 5u);

  // "Yes": every record of March with alice's start time goes, bob's too, from file and list.
  EXPECT_EQ(PressAndAnswer(query, IDC_RECORD_DELETE, IDYES), "确定要删除？");
  EXPECT_EQ(FileRecords(*m_client, "2009-03"), std::vector<std::vector<std::string>>{march[2]});
  ASSERT_TRUE(
      driver::WaitFor([&] { return (rows = driver::ListViewRows(list, kRecordColumns)).size() == 3; }, 5000));
  EXPECT_EQ(RowOf(rows, "bob"), -1);
  EXPECT_EQ(driver::WindowText(totals), "总计      次数：3      时间：1小时2分钟3秒      总流量：726字节");

  // The list's menu: a right click on the selected row offers "删除信息".
  const int carol = RowOf(rows, "carol");
  ASSERT_TRUE(Select(list, {carol}));
  RECT row = {};
  ASSERT_TRUE(driver::ListViewRowRect(list, carol, &row));
  const LPARAM at = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
  PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
  PostMessageA(list, WM_RBUTTONUP, 0, at);
  HWND menu = nullptr;
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        menu = FindWindowA("#32768", nullptr);
        return menu != nullptr && IsWindowVisible(menu);
      },
      5000));
  PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  HWND box = m_client->WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::CClient::MessageBoxText(box), "确定要删除？");
  driver::CClient::Answer(box, IDYES);
  ASSERT_TRUE(
      driver::WaitFor([&] { return (rows = driver::ListViewRows(list, kRecordColumns)).size() == 2; }, 5000));
  EXPECT_TRUE(FileRecords(*m_client, "2009-03").empty());

  // Export: the rows as listed, tab-separated, CR LF, no header and no totals; then shown by the
  // shell's text viewer.
  // Windows opens ".txt" files with its text viewer; a fresh Wine prefix lacks that mapping, so the
  // test gives it (to this build's prefix) as Windows has it.
  HKEY classes = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &classes, nullptr),
      ERROR_SUCCESS);
  RegSetValueExA(classes, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("txtfile"), sizeof("txtfile"));
  RegCloseKey(classes);
  Press(query, IDC_RECORD_EXPORT);
  HWND save = driver::WaitForDialog(m_client->ProcessId(), "保存用户记录文件");
  ASSERT_NE(save, nullptr);
  HWND name = nullptr;  // the file name box: the dialog's one edit box
  ASSERT_TRUE(driver::WaitFor([&] { return (name = FirstEdit(save)) != nullptr; }, 5000)) << ChildList(save);
  const std::string target = m_client->Folder() + "export";
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()));
  Press(save, IDOK);
  std::string exported;
  ASSERT_TRUE(driver::WaitFor([&] { return !(exported = m_client->ReadFile("export.txt")).empty(); }, 10000));
  EXPECT_EQ(exported, ExportOf(rows));
  EXPECT_NE(exported.find("\t手工\t2009-04-20 10:00:00\t1小时1分钟1秒\t10.1.2.3\t正常断开\t300\t400\r\n"),
            std::string::npos);
  NotepadSearch viewer = {nullptr};
  EXPECT_TRUE(driver::WaitFor(
      [&] {
        EnumWindows(FindNotepad, reinterpret_cast<LPARAM>(&viewer));
        return viewer.found != nullptr;
      },
      15000))
      << "the exported file is opened with the shell";
  if (viewer.found != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(viewer.found, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process != nullptr) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  Close(query, IDCANCEL);
}

TEST_F(QueryWindowsTest, StatisticsWhileConnectedShowTheGrowingTrafficPastFourGigabytes) {
  ASSERT_NO_FATAL_FAILURE(StartClient("stat-connected"));
  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);
  ASSERT_TRUE(driver::WaitFor([&] { return !Records().empty(); }, 10000));
  const std::string address = m_server.Sessions()[0].address;

  HWND stat = OpenDialog(ID_STATISTICS, "统计信息");
  ASSERT_NE(stat, nullptr);
  auto text = [&](int id) { return driver::WindowText(driver::FindDescendant(stat, id)); };
  HWND picture = driver::FindDescendant(stat, IDC_STAT_ACTIVITY);
  auto icon = [&] { return reinterpret_cast<HICON>(SendMessageA(picture, STM_GETICON, 0, 0)); };

  EXPECT_EQ(text(IDC_STAT_IP), address);
  const std::string speed = text(IDC_STAT_SPEED);
  EXPECT_TRUE(speed.size() >= 4 && speed.compare(speed.size() - 4, 4, "Mbps") == 0) << speed;
  ASSERT_TRUE(driver::WaitFor([&] { return Ungrouped(text(IDC_STAT_RECEIVED)) > 0; }, 5000));
  const HICON active = icon();

  // 700 MB a second: the system's 32-bit counter wraps every six seconds; the window goes on.
  ASSERT_TRUE(m_server.Ctl("TRAFFIC 700000000 0"));
  EXPECT_TRUE(driver::WaitFor([&] { return Ungrouped(text(IDC_STAT_RECEIVED)) > 4294967296ull; }, 20000))
      << text(IDC_STAT_RECEIVED);
  EXPECT_EQ(icon(), active);
  ASSERT_TRUE(m_server.Ctl("TRAFFIC 0 0"));
  EXPECT_TRUE(driver::WaitFor([&] { return icon() != active; }, 5000)) << "no bytes: the dark screens";
  const std::string still = text(IDC_STAT_RECEIVED);
  const std::string received = text(IDC_STAT_RECEIVED);
  EXPECT_EQ(received.find(',') != std::string::npos, true) << received;
  const std::string elapsed = text(IDC_STAT_TIME);
  EXPECT_TRUE(elapsed.size() > 2 && elapsed.compare(elapsed.size() - 2, 2, "秒") == 0) << elapsed;
  EXPECT_GE(Ungrouped(text(IDC_STAT_MONTH_TRAFFIC)), Ungrouped(received));
  EXPECT_NE(text(IDC_STAT_MONTH_TIME), "");
  EXPECT_TRUE(driver::ScreenshotOf(stat, Shot("statistics")));
  ASSERT_TRUE(m_server.Ctl("TRAFFIC 20000 5000"));
  EXPECT_TRUE(driver::WaitFor([&] { return icon() == active; }, 5000)) << "bytes again: the lit screens";
  EXPECT_GT(Ungrouped(text(IDC_STAT_RECEIVED)), Ungrouped(still));
  Close(stat, IDOK);
  ASSERT_TRUE(m_client->Click(IDC_DISCONNECT));
  EXPECT_TRUE(WaitNoSession());
}

TEST_F(QueryWindowsTest, UserManagementDeletesTheLastUserAndTheLoginPageStartsWithoutIt) {
  ASSERT_NO_FATAL_FAILURE(StartClient("users-manage", [](CConfigStore& config) {
    for (const char* user : {"demo", "alice", "bob"}) config.SaveUser(e2e::kDefaultEntry, "", user);
    config.SetLastUser("", "bob");
  }));
  const auto shown = [](HWND dialog) {
    return driver::ListViewRows(driver::FindDescendant(dialog, IDC_USER_LIST), 2);
  };

  HWND users = OpenDialog(ID_USER_MANAGEMENT, "用户管理");
  ASSERT_NE(users, nullptr);
  HWND saveButton = driver::FindDescendant(users, IDC_USER_SAVE);
  EXPECT_EQ(shown(users),
            (std::vector<std::vector<std::string>>{{"1", "demo"}, {"2", "alice"}, {"3", "bob"}}));
  EXPECT_FALSE(IsWindowEnabled(saveButton));
  EXPECT_TRUE(driver::ScreenshotOf(users, Shot("user-management")));
  EXPECT_EQ(PressAndAnswer(users, IDC_USER_DELETE, IDOK), "请选择待删除的记录！");

  // Marked, then closed without saving: the file keeps every user.
  ASSERT_TRUE(Select(driver::FindDescendant(users, IDC_USER_LIST), {1}));
  Press(users, IDC_USER_DELETE);
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        return shown(users) == std::vector<std::vector<std::string>>{{"1", "demo"}, {"3", "bob"}};
      },
      5000));
  EXPECT_TRUE(IsWindowEnabled(saveButton));
  Close(users, IDCANCEL);
  const UsersInFile all = {{"demo", "alice", "bob"}, true};
  EXPECT_TRUE(ReadUsersInFile(*m_client) == all);

  // Two marked and saved, one of them the last user.
  users = OpenDialog(ID_USER_MANAGEMENT, "用户管理");
  ASSERT_NE(users, nullptr);
  ASSERT_TRUE(Select(driver::FindDescendant(users, IDC_USER_LIST), {1, 2}));
  Press(users, IDC_USER_DELETE);
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        return shown(users) == std::vector<std::vector<std::string>>{{"1", "demo"}};
      },
      5000));
  Press(users, IDC_USER_SAVE);
  const UsersInFile left = {{"demo"}, false};
  EXPECT_TRUE(driver::WaitFor([&] { return ReadUsersInFile(*m_client) == left; }, 5000))
      << ReadUsersInFile(*m_client).names.size();
  Close(users, IDCANCEL);

  ASSERT_NO_FATAL_FAILURE(ExitClient());
  ASSERT_NO_FATAL_FAILURE(RestartClient());
  EXPECT_EQ(m_client->Text(IDC_USER_NAME), "demo");
}

}  // namespace
