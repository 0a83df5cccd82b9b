// The diagnosis dialog in this process, on a faked machine: the system calls answer as Windows
// does (buffer sizes, size fields, error codes), the dialog runs as the user sees it, and its
// pictures, texts, pages and buttons are read where they are.
#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>
#include <raserror.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "client/resources/Resource.h"
#include "client/tools/DiagnosisRules.h"
#include "client/tools/DiagnosisSystem.h"
#include "client/tools/NetDiagnoseDlg.h"
#include "common/ui/Controls.h"
#include "tests/support/Driver.h"

namespace {

using diagnosis::Picture;

const GUID kNetworkClass = {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
HDEVINFO const kSet = reinterpret_cast<HDEVINFO>(0x5E7);
HANDLE const kIcmp = reinterpret_cast<HANDLE>(0x1C3);
HRASCONN const kDialHandle = reinterpret_cast<HRASCONN>(0xD1A1);
constexpr DEVINST kFirstNode = 100;

struct Card {
  std::string description;
  bool statusRead = true;
  bool disabled = false;
};

struct AdapterEntry {
  std::string ip, gateway;
};

// The machine the fakes answer from. Pings and dials come from a worker thread.
struct Machine {
  bool setValid = true;
  std::vector<Card> cards;
  std::vector<AdapterEntry> adapters;
  std::vector<std::pair<std::string, std::string>> ras;  // type, name
  std::string defaultGateway;
  std::set<std::string> answering;
  DWORD dialError = 691;
  HANDLE pingGate = nullptr;  // while unsignalled, pings wait

  std::mutex lock;
  std::vector<std::string> messages;
  std::vector<std::string> pinged;
  std::vector<std::string> dialledUsers;
  int setsOpened = 0;
  int setsOpen = 0;
  int hangUps = 0;

  std::vector<std::string> Pinged() {
    std::lock_guard<std::mutex> hold(lock);
    return pinged;
  }
};

Machine* g_machine = nullptr;

HDEVINFO WINAPI FakeGetClassDevs(const GUID* guid, PCSTR enumerator, HWND, DWORD flags) {
  EXPECT_TRUE(guid != nullptr && IsEqualGUID(*guid, kNetworkClass));
  EXPECT_STREQ(enumerator, "PCI");
  EXPECT_EQ(flags, static_cast<DWORD>(DIGCF_PRESENT));
  if (!g_machine->setValid) {
    SetLastError(ERROR_INVALID_DATA);
    return INVALID_HANDLE_VALUE;
  }
  ++g_machine->setsOpened;
  ++g_machine->setsOpen;
  return kSet;
}

BOOL WINAPI FakeEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
  if (set != kSet || device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (index >= g_machine->cards.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  device->DevInst = kFirstNode + index;
  return TRUE;
}

BOOL WINAPI FakeGetProperty(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type, PBYTE buffer,
                            DWORD size, PDWORD needed) {
  if (set != kSet || device == nullptr || property != SPDRP_DEVICEDESC) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string& text = g_machine->cards.at(device->DevInst - kFirstNode).description;
  if (needed != nullptr) *needed = static_cast<DWORD>(text.size() + 1);
  if (type != nullptr) *type = REG_SZ;
  if (buffer == nullptr || size < text.size() + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return TRUE;
}

BOOL WINAPI FakeDestroyList(HDEVINFO set) {
  EXPECT_EQ(set, kSet);
  --g_machine->setsOpen;
  return TRUE;
}

CONFIGRET WINAPI FakeNodeStatus(PULONG status, PULONG problem, DEVINST node, ULONG) {
  const Card& card = g_machine->cards.at(node - kFirstNode);
  if (!card.statusRead) return CR_NO_SUCH_DEVNODE;
  *status = card.disabled ? (DN_HAS_PROBLEM | DN_DRIVER_LOADED) : (DN_STARTED | DN_DRIVER_LOADED);
  *problem = card.disabled ? CM_PROB_DISABLED : 0;
  return CR_SUCCESS;
}

ULONG WINAPI FakeGetAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size) {
  const std::vector<AdapterEntry>& list = g_machine->adapters;
  if (list.empty()) return ERROR_NO_DATA;
  const ULONG needed = static_cast<ULONG>(list.size() * sizeof(IP_ADAPTER_INFO));
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    return ERROR_BUFFER_OVERFLOW;
  }
  std::memset(buffer, 0, needed);
  for (size_t i = 0; i < list.size(); ++i) {
    IP_ADAPTER_INFO& entry = buffer[i];
    entry.Next = i + 1 < list.size() ? &buffer[i + 1] : nullptr;
    snprintf(entry.Description, sizeof(entry.Description), "Adapter %u", static_cast<unsigned>(i + 1));
    entry.AddressLength = 6;
    const BYTE mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, static_cast<BYTE>(0x50 + i)};
    std::memcpy(entry.Address, mac, sizeof(mac));
    snprintf(entry.IpAddressList.IpAddress.String, sizeof(entry.IpAddressList.IpAddress.String), "%s",
             list[i].ip.c_str());
    snprintf(entry.GatewayList.IpAddress.String, sizeof(entry.GatewayList.IpAddress.String), "%s",
             list[i].gateway.c_str());
  }
  return NO_ERROR;
}

DWORD WINAPI FakeGetIpForwardTable(PMIB_IPFORWARDTABLE table, PULONG size, BOOL) {
  std::vector<MIB_IPFORWARDROW> rows(1);
  rows[0].dwForwardDest = inet_addr("192.168.1.0");
  rows[0].dwForwardMask = inet_addr("255.255.255.0");
  rows[0].dwForwardMetric1 = 1;
  if (!g_machine->defaultGateway.empty()) {
    MIB_IPFORWARDROW route = {};
    route.dwForwardNextHop = inet_addr(g_machine->defaultGateway.c_str());
    route.dwForwardMetric1 = 20;
    rows.push_back(route);
  }
  const ULONG needed = static_cast<ULONG>(sizeof(DWORD) + rows.size() * sizeof(MIB_IPFORWARDROW));
  if (table == nullptr || *size < needed) {
    *size = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  table->dwNumEntries = static_cast<DWORD>(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) table->table[i] = rows[i];
  return NO_ERROR;
}

HANDLE WINAPI FakeIcmpCreate() {
  return kIcmp;
}

DWORD WINAPI FakeIcmpSendEcho(HANDLE icmp, IPAddr destination, LPVOID, WORD, PIP_OPTION_INFORMATION,
                              LPVOID replies, DWORD repliesSize, DWORD) {
  EXPECT_EQ(icmp, kIcmp);
  in_addr address;
  address.s_addr = destination;
  const std::string text = inet_ntoa(address);
  {
    std::lock_guard<std::mutex> hold(g_machine->lock);
    g_machine->pinged.push_back(text);
  }
  if (g_machine->pingGate != nullptr) WaitForSingleObject(g_machine->pingGate, 20000);
  if (g_machine->answering.count(text) == 0 || repliesSize < sizeof(ICMP_ECHO_REPLY)) {
    SetLastError(IP_REQ_TIMED_OUT);
    return 0;
  }
  ICMP_ECHO_REPLY* reply = static_cast<ICMP_ECHO_REPLY*>(replies);
  std::memset(reply, 0, sizeof(*reply));
  reply->Address = destination;
  reply->Status = IP_SUCCESS;
  return 1;
}

BOOL WINAPI FakeIcmpClose(HANDLE icmp) {
  return icmp == kIcmp;
}

DWORD WINAPI FakeRasEnumDevices(LPRASDEVINFOA devices, LPDWORD size, LPDWORD count) {
  if (devices != nullptr && devices->dwSize != sizeof(RASDEVINFOA)) return ERROR_INVALID_SIZE;
  const auto& list = g_machine->ras;
  const DWORD needed = static_cast<DWORD>(list.size() * sizeof(RASDEVINFOA));
  if (*size < needed || (devices == nullptr && needed > 0)) {
    *size = needed;
    *count = static_cast<DWORD>(list.size());
    return ERROR_BUFFER_TOO_SMALL;
  }
  for (size_t i = 0; i < list.size(); ++i) {
    devices[i].dwSize = sizeof(RASDEVINFOA);
    snprintf(devices[i].szDeviceType, sizeof(devices[i].szDeviceType), "%s", list[i].first.c_str());
    snprintf(devices[i].szDeviceName, sizeof(devices[i].szDeviceName), "%s", list[i].second.c_str());
  }
  *size = needed;
  *count = static_cast<DWORD>(list.size());
  return 0;
}

DWORD WINAPI FakeRasEnumConnections(LPRASCONNA connections, LPDWORD size, LPDWORD count) {
  if (connections == nullptr || connections->dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE;
  *size = 0;
  *count = 0;
  return 0;
}

DWORD WINAPI FakeRasDial(LPRASDIALEXTENSIONS, LPCSTR, LPRASDIALPARAMSA params, DWORD, LPVOID notifier,
                         LPHRASCONN connection) {
  if (params == nullptr || params->dwSize != sizeof(RASDIALPARAMSA) || notifier != nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  EXPECT_STREQ(params->szEntryName, "pppoe_vorlan_default_entry");
  {
    std::lock_guard<std::mutex> hold(g_machine->lock);
    g_machine->dialledUsers.push_back(params->szUserName);
  }
  *connection = kDialHandle;
  return g_machine->dialError;
}

DWORD WINAPI FakeRasHangUp(HRASCONN connection) {
  EXPECT_EQ(connection, kDialHandle);
  std::lock_guard<std::mutex> hold(g_machine->lock);
  ++g_machine->hangUps;
  return 0;
}

DWORD WINAPI FakeRasConnectStatus(HRASCONN, LPRASCONNSTATUSA) {
  return ERROR_INVALID_HANDLE;
}

int WINAPI FakeMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  EXPECT_STREQ(caption, "提示");
  EXPECT_EQ(type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  g_machine->messages.push_back(text);
  return IDOK;
}

// One enabled card with its cable, a "pppoe" device, and a provider side that answers.
void WorkingMachine(Machine& m) {
  m.cards = {{"Realtek RTL8139 Family PCI Fast Ethernet NIC"}};
  m.adapters = {{"0.0.0.0", ""}, {"192.168.1.20", "192.168.1.1"}};
  m.ras = {{"modem", "Standard 56000 bps Modem"}, {"pppoe", "WAN Miniport (PPPOE)"}};
  m.defaultGateway = "192.168.1.1";
  m.answering = {"192.168.100.1", "192.168.1.1"};
}

// Delivers this thread's messages as they come (timers included) until condition holds or
// timeoutMs passes; returns whether it held. A condition that another thread makes true is looked
// at again at least every 20 ms.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    driver::PumpMessages();
    if (condition()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeoutMs) return false;
    const DWORD left = timeoutMs - spent;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 20 ? left : 20, QS_ALLINPUT);
  }
}

class NetDiagnoseDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_machine = &m_machine;
    DiagnosisSystem& api = DiagnosisCalls();
    api.setupDiGetClassDevs = FakeGetClassDevs;
    api.setupDiEnumDeviceInfo = FakeEnumDeviceInfo;
    api.setupDiGetDeviceRegistryProperty = FakeGetProperty;
    api.setupDiDestroyDeviceInfoList = FakeDestroyList;
    api.cmGetDevNodeStatus = FakeNodeStatus;
    api.getAdaptersInfo = FakeGetAdaptersInfo;
    api.getIpForwardTable = FakeGetIpForwardTable;
    api.icmpCreateFile = FakeIcmpCreate;
    api.icmpSendEcho = FakeIcmpSendEcho;
    api.icmpCloseHandle = FakeIcmpClose;
    api.rasEnumDevices = FakeRasEnumDevices;
    api.rasEnumConnections = FakeRasEnumConnections;
    api.rasDial = FakeRasDial;
    api.rasHangUp = FakeRasHangUp;
    api.rasGetConnectStatus = FakeRasConnectStatus;
    api.messageBox = FakeMessageBox;
  }

  void TearDown() override {
    if (m_machine.pingGate != nullptr) SetEvent(m_machine.pingGate);
    PumpUntil([] { return CNetDiagnoseDlg::ProbesRunning() == 0; }, 30000);
    m_dialog.reset();
    driver::PumpMessages();
    DiagnosisCalls() = RealDiagnosisSystem();
    if (m_machine.pingGate != nullptr) CloseHandle(m_machine.pingGate);
    g_machine = nullptr;
  }

  // The dialog is never put on the display: under Wine without a window manager each window
  // taken off it again costs seconds. What it shows is read from its controls' own visibility.
  void Open() {
    m_dialog.reset(new CNetDiagnoseDlg());
    m_window = m_dialog->Create(nullptr);
    ASSERT_NE(m_window, nullptr);
    driver::PumpMessages();
  }

  // Presses "开始" and waits until the run has ended.
  void Run() {
    ASSERT_TRUE(driver::ClickButton(m_window, IDC_DIAG_START));
    ASSERT_TRUE(PumpUntil([&] { return m_dialog->Running(); }, 5000));
    ASSERT_TRUE(PumpUntil([&] { return !m_dialog->Running(); }, 30000));
  }

  HWND Item(int id) { return GetDlgItem(m_window, id); }
  bool Visible(int id) { return (GetWindowLongPtrA(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
  bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
  std::string Text(int id) { return ui::GetText(Item(id)); }

  // The one picture of a stack on show; fails when not exactly one shows.
  Picture Shown(int neutral, int working, int faulty) {
    const int ids[3] = {neutral, working, faulty};
    const Picture pictures[3] = {Picture::kNeutral, Picture::kWorking, Picture::kFaulty};
    int shown = -1, count = 0;
    for (int i = 0; i < 3; ++i) {
      if (Visible(ids[i])) {
        shown = i;
        ++count;
      }
    }
    EXPECT_EQ(count, 1) << "pictures on show in the stack of " << neutral;
    return shown < 0 ? Picture::kNeutral : pictures[shown];
  }
  Picture Card() { return Shown(IDC_DIAG_CARD, IDC_DIAG_CARD_WORKING, IDC_DIAG_CARD_FAULTY); }
  Picture Driver() { return Shown(IDC_DIAG_DRIVER, IDC_DIAG_DRIVER_WORKING, IDC_DIAG_DRIVER_FAULTY); }
  Picture Modem() { return Shown(IDC_DIAG_MODEM, IDC_DIAG_MODEM_WORKING, IDC_DIAG_MODEM_FAULTY); }
  Picture Gateway() { return Shown(IDC_DIAG_GATEWAY, IDC_DIAG_GATEWAY_WORKING, IDC_DIAG_GATEWAY_FAULTY); }
  Picture Server() { return Shown(IDC_DIAG_SERVER, IDC_DIAG_SERVER_WORKING, IDC_DIAG_SERVER_FAULTY); }

  // The rows of a detail page's list view.
  std::vector<std::vector<std::string>> Rows(int page) {
    HWND list = GetDlgItem(m_dialog->Pages().PageWindow(page), IDC_DIAG_PAGE_LIST);
    const int columns = Header_GetItemCount(ListView_GetHeader(list));
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < ui::ListCount(list); ++r) {
      rows.emplace_back();
      for (int c = 0; c < columns; ++c) rows.back().push_back(ui::ListText(list, r, c));
    }
    return rows;
  }

  Machine m_machine;
  std::unique_ptr<CNetDiagnoseDlg> m_dialog;
  HWND m_window = nullptr;
};

TEST_F(NetDiagnoseDlgTest, AWorkingMachineRunsToTicksOnEveryStageWithItsRowsInTheDetailPages) {
  WorkingMachine(m_machine);
  ASSERT_NO_FATAL_FAILURE(Open());
  // A new dialog: neutral pictures, no text, the pages hidden, only start and configure usable.
  EXPECT_EQ(Card(), Picture::kNeutral);
  EXPECT_EQ(Driver(), Picture::kNeutral);
  EXPECT_EQ(Text(IDC_DIAG_RESULT), "");
  EXPECT_FALSE(Visible(IDC_DIAG_PAGES));
  EXPECT_TRUE(Enabled(IDC_DIAG_START));
  EXPECT_FALSE(Enabled(IDC_DIAG_STOP));
  EXPECT_FALSE(Enabled(IDC_DIAG_DETAIL));
  EXPECT_FALSE(Enabled(IDC_DIAG_PROGRESS2));

  m_dialog->modem.address = "192.168.100.1";
  ASSERT_TRUE(driver::ClickButton(m_window, IDC_DIAG_START));
  ASSERT_TRUE(PumpUntil([&] { return SendMessageA(Item(IDC_DIAG_PROGRESS), PBM_GETPOS, 0, 0) > 0; }, 5000));
  EXPECT_TRUE(Enabled(IDC_DIAG_STOP));
  EXPECT_FALSE(Enabled(IDC_DIAG_START));
  ASSERT_TRUE(PumpUntil([&] { return !m_dialog->Running(); }, 30000));

  EXPECT_EQ(Card(), Picture::kWorking);
  EXPECT_EQ(Driver(), Picture::kWorking);
  EXPECT_EQ(Modem(), Picture::kWorking);
  EXPECT_EQ(Gateway(), Picture::kWorking);
  EXPECT_EQ(Server(), Picture::kWorking);
  EXPECT_TRUE(Visible(IDC_DIAG_LINK));
  EXPECT_EQ(Text(IDC_DIAG_RESULT), diagnosis::kWorkingText);
  EXPECT_EQ(
      Text(IDC_DIAG_PROVIDER_RESULT),
      "Kavrin "
      "Modem（192.168.100.1）：应答正常。\n网关（192.168.1.1）：应答正常。\n认证计费服务器：应答正常。");
  EXPECT_EQ(SendMessageA(Item(IDC_DIAG_PROGRESS), PBM_GETPOS, 0, 0), 100);
  EXPECT_FALSE(Enabled(IDC_DIAG_STOP));
  EXPECT_TRUE(Enabled(IDC_DIAG_START));
  EXPECT_TRUE(Enabled(IDC_DIAG_DETAIL));
  EXPECT_FALSE(ui::IsChecked(Item(IDC_DIAG_DETAIL)));
  EXPECT_FALSE(Visible(IDC_DIAG_PAGES));
  // The run checks the cards twice (the summary comes back with a fresh check) and releases the
  // device set each time; the server was asked with a name no subscriber has, and hung up.
  EXPECT_EQ(m_machine.setsOpened, 2);
  EXPECT_EQ(m_machine.setsOpen, 0);
  EXPECT_EQ(m_machine.Pinged(), (std::vector<std::string>{"192.168.100.1", "192.168.1.1"}));
  ASSERT_EQ(m_machine.dialledUsers.size(), 1u);
  EXPECT_FALSE(m_machine.dialledUsers[0].empty());
  EXPECT_EQ(m_machine.hangUps, 1);

  // The details: the four pages in their order, with the run's rows.
  ASSERT_TRUE(driver::ClickButton(m_window, IDC_DIAG_DETAIL));
  ASSERT_TRUE(PumpUntil([&] { return Visible(IDC_DIAG_PAGES); }, 5000));
  for (int id : {IDC_DIAG_CARD, IDC_DIAG_CARD_WORKING, IDC_DIAG_DRIVER_WORKING, IDC_DIAG_MODEM_WORKING,
                 IDC_DIAG_LINK, IDC_DIAG_RESULT, IDC_DIAG_RESULT_CAPTION, IDC_DIAG_PROGRESS,
                 IDC_DIAG_LOCAL_GROUP, IDC_DIAG_PROVIDER_GROUP, IDC_DIAG_LABEL_SERVER}) {
    EXPECT_FALSE(Visible(id)) << id;
  }
  const CPageTabCtrl& pages = m_dialog->Pages();
  ASSERT_EQ(pages.PageCount(), 4);
  const char* const captions[] = {"网卡驱动程序", "网卡设备", "网卡接口", "虚拟PPPOE网卡"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pages.PageCaption(i), captions[i]);
  const std::string card = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
  EXPECT_EQ(Rows(0), (std::vector<std::vector<std::string>>{{"1", card}}));
  EXPECT_EQ(Rows(1), (std::vector<std::vector<std::string>>{{"1", "已启用", "已插上", card}}));
  EXPECT_EQ(Rows(2),
            (std::vector<std::vector<std::string>>{{"1", "0.0.0.0", "00-1A-2B-3C-4D-50", "Adapter 1"},
                                                   {"2", "192.168.1.20", "00-1A-2B-3C-4D-51", "Adapter 2"}}));
  EXPECT_EQ(Rows(3), (std::vector<std::vector<std::string>>{{"1", "WAN Miniport (PPPOE)"}}));

  // Each page's list: its columns and widths, its look.
  const std::vector<std::vector<std::pair<std::string, int>>> columns = {
      {{"序号", 58}, {"驱动描述", 530}},
      {{"序号", 40}, {"设备状态", 60}, {"网线状态", 70}, {"网卡设备描述", 600}},
      {{"序号", 40}, {"IP地址", 100}, {"MAC地址", 120}, {"描述", 600}},
      {{"序号", 58}, {"PPPOE虚拟网卡描述", 530}},
  };
  for (int page = 0; page < 4; ++page) {
    HWND list = GetDlgItem(pages.PageWindow(page), IDC_DIAG_PAGE_LIST);
    ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(list)), static_cast<int>(columns[page].size()));
    for (size_t c = 0; c < columns[page].size(); ++c) {
      char header[64] = {};
      LVCOLUMNA column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.pszText = header;
      column.cchTextMax = sizeof(header);
      ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(&column)));
      EXPECT_EQ(header, columns[page][c].first);
      EXPECT_EQ(column.cx, columns[page][c].second);
    }
    EXPECT_EQ(ListView_GetBkColor(list), RGB(212, 243, 255));
    EXPECT_EQ(ListView_GetTextBkColor(list), RGB(212, 243, 255));
    EXPECT_EQ(ListView_GetTextColor(list), RGB(0, 0, 0));
    const DWORD extended = ListView_GetExtendedListViewStyle(list);
    EXPECT_TRUE((extended & LVS_EX_GRIDLINES) && (extended & LVS_EX_FULLROWSELECT));
    const LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(style & LVS_SINGLESEL);
  }

  // Clearing the switch checks the cards again before the summary comes back.
  ASSERT_TRUE(driver::ClickButton(m_window, IDC_DIAG_DETAIL));
  ASSERT_TRUE(PumpUntil([&] { return !Visible(IDC_DIAG_PAGES); }, 5000));
  EXPECT_EQ(m_machine.setsOpened, 3);
  EXPECT_EQ(Card(), Picture::kWorking);
  EXPECT_EQ(Server(), Picture::kWorking);
  EXPECT_TRUE(Visible(IDC_DIAG_RESULT));
  EXPECT_EQ(Text(IDC_DIAG_RESULT), diagnosis::kWorkingText);
}

struct RunCase {
  const char* name;
  std::function<void(Machine&, diagnosis::ModemSetting&)> setUp;
  std::vector<std::string> messages;
  std::string result;
  Picture card, driver, modem, gateway, server;
  std::vector<std::string> pinged;
  size_t dials;
  std::string providerText;
  std::vector<std::vector<std::string>> pppoeRows;
};

TEST_F(NetDiagnoseDlgTest, EachFaultShowsItsTextPicturesAndMessagesOncePerRun) {
  const std::string unreachable = diagnosis::kProviderUnreachableText;
  const std::vector<RunCase> cases = {
      {"no device set",
       [](Machine& m, diagnosis::ModemSetting&) {
         WorkingMachine(m);
         m.setValid = false;
       },
       {diagnosis::kNoDeviceSetText},
       "",
       Picture::kNeutral,
       Picture::kNeutral,
       Picture::kNeutral,
       Picture::kWorking,
       Picture::kWorking,
       {"192.168.1.1"},
       1,
       "Kavrin Modem：不知道它的地址，没有检测。您可以在“配置”中输入Modem的IP地址。\n网关（192.168.1.1）："
       "应答正常。\n认证计费服务器：应答正常。",
       {}},
      {"node status unreadable on two cards",
       [](Machine& m, diagnosis::ModemSetting&) {
         WorkingMachine(m);
         m.cards = {{"card one", false}, {"card two", false}};
       },
       {diagnosis::kNodeStatusText, diagnosis::kNodeStatusText},
       diagnosis::kWorkingText,
       Picture::kWorking,
       Picture::kWorking,
       Picture::kWorking,
       Picture::kWorking,
       Picture::kWorking,
       {"192.168.1.1", "192.168.1.1"},
       1,
       "",
       {{"1", "WAN Miniport (PPPOE)"}}},
      {"a disabled card keeps the provider side unchecked",
       [](Machine& m, diagnosis::ModemSetting&) {
         WorkingMachine(m);
         m.cards[0].disabled = true;
       },
       {},
       diagnosis::kCardDisabledText,
       Picture::kFaulty,
       Picture::kNeutral,
       Picture::kNeutral,
       Picture::kNeutral,
       Picture::kNeutral,
       {},
       0,
       unreachable,
       {}},
      {"the cable is out",
       [](Machine& m, diagnosis::ModemSetting&) {
         WorkingMachine(m);
         m.adapters = {{"192.168.1.20", "192.168.1.1"}, {"0.0.0.0", ""}};
       },
       {},
       diagnosis::kCableUnpluggedText,
       Picture::kFaulty,
       Picture::kNeutral,
       Picture::kNeutral,
       Picture::kNeutral,
       Picture::kNeutral,
       {},
       0,
       unreachable,
       {}},
      {"silent provider: the modem found by itself and the server do not answer, no default route",
       [](Machine& m, diagnosis::ModemSetting& modem) {
         WorkingMachine(m);
         modem.autoDetect = true;
         modem.address = "10.1.1.1";
         m.answering.clear();
         m.defaultGateway.clear();
         m.dialError = 678;
       },
       {},
       diagnosis::kWorkingText,
       Picture::kWorking,
       Picture::kWorking,
       Picture::kFaulty,
       Picture::kNeutral,
       Picture::kFaulty,
       {"192.168.1.1", "192.168.1.1"},
       1,
       "Kavrin "
       "Modem（192.168.1.1）：没有应答，请检查Modem的电源和连线。\n网关：没有找到默认网关，没有检测。\n"
       "认证计费服务器：没有应答（错误代码 678）。",
       {{"1", "WAN Miniport (PPPOE)"}}},
      {"no remote-access device: one empty row, no server check",
       [](Machine& m, diagnosis::ModemSetting&) {
         WorkingMachine(m);
         m.ras.clear();
       },
       {},
       "",
       Picture::kNeutral,
       Picture::kNeutral,
       Picture::kWorking,
       Picture::kWorking,
       Picture::kNeutral,
       {"192.168.1.1", "192.168.1.1"},
       0,
       "",
       {{"1", ""}}},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    m_machine.messages.clear();
    m_machine.pinged.clear();
    m_machine.dialledUsers.clear();
    m_machine.setValid = true;
    m_machine.dialError = 691;
    diagnosis::ModemSetting modem;
    c.setUp(m_machine, modem);
    ASSERT_NO_FATAL_FAILURE(Open());
    m_dialog->modem = modem;
    ASSERT_NO_FATAL_FAILURE(Run());
    EXPECT_EQ(m_machine.messages, c.messages);
    EXPECT_EQ(Text(IDC_DIAG_RESULT), c.result);
    EXPECT_EQ(Card(), c.card);
    EXPECT_EQ(Driver(), c.driver);
    EXPECT_EQ(Modem(), c.modem);
    EXPECT_EQ(Gateway(), c.gateway);
    EXPECT_EQ(Server(), c.server);
    EXPECT_EQ(m_machine.Pinged(), c.pinged);
    EXPECT_EQ(m_machine.dialledUsers.size(), c.dials);
    if (!c.providerText.empty()) {
      EXPECT_EQ(Text(IDC_DIAG_PROVIDER_RESULT), c.providerText);
    }
    EXPECT_EQ(Rows(3), c.pppoeRows);
    EXPECT_EQ(m_machine.setsOpen, 0);
    m_dialog.reset();
  }
}

TEST_F(NetDiagnoseDlgTest, StopEndsTheRunWhereItIsAndALateAnswerIsIgnored) {
  WorkingMachine(m_machine);
  m_machine.pingGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NO_FATAL_FAILURE(Open());
  m_dialog->modem.address = "192.168.100.1";
  ASSERT_TRUE(driver::ClickButton(m_window, IDC_DIAG_START));
  // The modem's ping hangs; the dialog goes on answering meanwhile.
  ASSERT_TRUE(PumpUntil([&] { return !m_machine.Pinged().empty(); }, 10000));
  EXPECT_NE(Text(IDC_DIAG_PROVIDER_RESULT).find("正在检测"), std::string::npos);
  EXPECT_EQ(Card(), Picture::kWorking);
  ASSERT_TRUE(driver::ClickButton(m_window, IDC_DIAG_STOP));
  ASSERT_TRUE(PumpUntil([&] { return !m_dialog->Running(); }, 5000));
  EXPECT_FALSE(Enabled(IDC_DIAG_STOP));
  EXPECT_TRUE(Enabled(IDC_DIAG_START));
  EXPECT_FALSE(Enabled(IDC_DIAG_DETAIL)) << "no run has ended yet";
  EXPECT_EQ(Modem(), Picture::kNeutral);
  EXPECT_EQ(Text(IDC_DIAG_PROVIDER_RESULT), diagnosis::kRunStoppedText);
  const LRESULT stoppedAt = SendMessageA(Item(IDC_DIAG_PROGRESS), PBM_GETPOS, 0, 0);
  EXPECT_LT(stoppedAt, 100);

  // The answer comes after all: the stopped run takes nothing from it and checks nothing more.
  SetEvent(m_machine.pingGate);
  ASSERT_TRUE(PumpUntil([] { return CNetDiagnoseDlg::ProbesRunning() == 0; }, 10000));
  // The worker posted its answer before it ended: it is in the queue now.
  driver::PumpMessages();
  EXPECT_EQ(Modem(), Picture::kNeutral);
  EXPECT_EQ(m_machine.Pinged().size(), 1u);
  EXPECT_TRUE(m_machine.dialledUsers.empty());
  EXPECT_EQ(SendMessageA(Item(IDC_DIAG_PROGRESS), PBM_GETPOS, 0, 0), stoppedAt);

  // The next run goes through.
  ASSERT_NO_FATAL_FAILURE(Run());
  EXPECT_EQ(Modem(), Picture::kWorking);
  EXPECT_EQ(Server(), Picture::kWorking);
  EXPECT_TRUE(Enabled(IDC_DIAG_DETAIL));
  EXPECT_EQ(Text(IDC_DIAG_PROVIDER_RESULT).find(diagnosis::kRunStoppedText), std::string::npos);
}

}  // namespace
