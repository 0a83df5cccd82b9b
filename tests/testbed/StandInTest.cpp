// The stand-in rasapi32.dll in one process: devices, phone book, dialling against the live
// access server with its states, refusals and tear-down, every structure version, buffer sizing,
// error texts and statistics.
#include "tests/testbed/StandInFixture.h"

#include <shlobj.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>

namespace testbed {
namespace {

TEST_F(StandIn, TheStandInIsLoadedFromTheProgramsFolder) {
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(GetModuleHandleA("rasapi32.dll"), path, sizeof(path)), 0u);
  EXPECT_EQ(lstrcmpiA(path, (ProgramFolder() + "rasapi32.dll").c_str()), 0)
      << path << ": WINEDLLOVERRIDES must hold rasapi32=n";
}

TEST_F(StandIn, TheDefaultMachineHasOnePppoeDevice) {
  DWORD size = 0, count = 0;
  ASSERT_EQ(RasEnumDevicesA(nullptr, &size, &count), static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
  EXPECT_EQ(size, sizeof(DeviceInfo));
  EXPECT_EQ(count, 1u);
  DeviceInfo device;
  device.dwSize = sizeof(device);
  ASSERT_EQ(RasEnumDevicesA(&device, &size, &count), 0u);
  EXPECT_STREQ(device.szDeviceType, "pppoe");
  EXPECT_STREQ(device.szDeviceName, "WAN Miniport (PPPOE)");
}

TEST_F(StandIn, DevicesFollowTheEnvironmentAndAreSizedTheWindowsWay) {
  SetEnvironmentVariableA("RASEMU_DEVICES", "pppoe:WAN Miniport (PPPOE);PPPoE:Other;modem:Modem");
  std::vector<DeviceInfo> devices(2);
  devices[0].dwSize = sizeof(DeviceInfo);
  DWORD size = static_cast<DWORD>(2 * sizeof(DeviceInfo)), count = 0;
  ASSERT_EQ(RasEnumDevicesA(devices.data(), &size, &count), static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
  EXPECT_EQ(size, 3 * sizeof(DeviceInfo));
  EXPECT_EQ(count, 3u);
  devices.resize(3);
  ASSERT_EQ(RasEnumDevicesA(devices.data(), &size, &count), 0u);
  EXPECT_STREQ(devices[1].szDeviceType, "PPPoE");
  EXPECT_STREQ(devices[2].szDeviceName, "Modem");
  EXPECT_EQ(devices[2].dwSize, sizeof(DeviceInfo));

  SetEnvironmentVariableA("RASEMU_DEVICES", "");
  size = 0;
  EXPECT_EQ(RasEnumDevicesA(nullptr, &size, &count), 0u) << "no device is not an error";
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(count, 0u);
}

TEST_F(StandIn, DeviceEnumerationChecksItsArgumentsAndTakesInjectedErrors) {
  DeviceInfo device;
  DWORD size = sizeof(device), count = 0;
  for (DWORD wrong :
       {DWORD{0}, static_cast<DWORD>(sizeof(device) - 1), static_cast<DWORD>(sizeof(device) + 4)}) {
    device.dwSize = wrong;
    EXPECT_EQ(RasEnumDevicesA(&device, &size, &count), static_cast<DWORD>(ERROR_INVALID_SIZE)) << wrong;
  }
  device.dwSize = sizeof(device);
  EXPECT_EQ(RasEnumDevicesA(&device, nullptr, &count), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetEnvironmentVariableA("RASEMU_ENUM_ERROR", "621");
  size = 0;
  EXPECT_EQ(RasEnumDevicesA(nullptr, &size, &count), 621u);
  size = sizeof(device);
  EXPECT_EQ(RasEnumDevicesA(&device, &size, &count), 621u);
}

TEST_F(StandIn, EntriesAreCreatedReadAndDeleted) {
  const char name[] = "testbed entry";
  EXPECT_EQ(RasValidateEntryNameA(nullptr, name), 0u);
  ASSERT_EQ(CreateEntry(name, "pppoe", "Other Miniport"), 0u);
  EXPECT_EQ(RasValidateEntryNameA(nullptr, name), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(RasValidateEntryNameA(nullptr, "TESTBED ENTRY"), static_cast<DWORD>(ERROR_ALREADY_EXISTS))
      << "entry names compare without regard to case";

  Entry entry;
  ZeroMemory(&entry, sizeof(entry));
  entry.dwSize = sizeof(entry);
  DWORD size = sizeof(entry);
  ASSERT_EQ(RasGetEntryPropertiesA(nullptr, name, &entry, &size, nullptr, nullptr), 0u);
  EXPECT_EQ(entry.dwfOptions, static_cast<DWORD>(RASEO_RemoteDefaultGateway | RASEO_SwCompression));
  EXPECT_EQ(entry.dwfNetProtocols, static_cast<DWORD>(RASNP_Ip));
  EXPECT_EQ(entry.dwFramingProtocol, static_cast<DWORD>(RASFP_Ppp));
  EXPECT_EQ(entry.dwType, static_cast<DWORD>(RASET_Broadband));
  EXPECT_STREQ(entry.szDeviceType, "pppoe");
  EXPECT_STREQ(entry.szDeviceName, "Other Miniport");
  EXPECT_STREQ(entry.szLocalPhoneNumber, "");

  // Every field comes back as it was stored.
  lstrcpyA(entry.szLocalPhoneNumber, "phone=1%2");
  entry.ipaddrDns.a = 203;
  entry.ipaddrDns.d = 53;
  entry.guidId.Data1 = 0x12345678;
  entry.dwRedialCount = 7;
  ASSERT_EQ(RasSetEntryPropertiesA(nullptr, name, &entry, sizeof(entry), nullptr, 0), 0u);
  Entry back;
  ZeroMemory(&back, sizeof(back));
  back.dwSize = sizeof(back);
  ASSERT_EQ(RasGetEntryPropertiesA(nullptr, name, &back, &size, nullptr, nullptr), 0u);
  EXPECT_EQ(std::memcmp(&back, &entry, sizeof(entry)), 0);

  EXPECT_EQ(RasDeleteEntryA(nullptr, name), 0u);
  EXPECT_EQ(RasValidateEntryNameA(nullptr, name), 0u);
  EXPECT_EQ(RasDeleteEntryA(nullptr, name), static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
  EXPECT_EQ(RasGetEntryPropertiesA(nullptr, name, &back, &size, nullptr, nullptr),
            static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
  EXPECT_EQ(RasValidateEntryNameA(nullptr, kEntry), static_cast<DWORD>(ERROR_ALREADY_EXISTS))
      << "other entries stay";
}

TEST_F(StandIn, EntryPropertiesAreSizedTheWindowsWay) {
  DWORD size = 0;
  EXPECT_EQ(RasGetEntryPropertiesA(nullptr, kEntry, nullptr, &size, nullptr, nullptr),
            static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
  EXPECT_EQ(size, 3480u) << "without a structure, the size of the newest version";
  Entry entry;
  entry.dwSize = sizeof(entry);
  size = sizeof(entry) - 1;
  EXPECT_EQ(RasGetEntryPropertiesA(nullptr, kEntry, &entry, &size, nullptr, nullptr),
            static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
  EXPECT_EQ(size, sizeof(Entry)) << "room for the caller's version";
  entry.dwSize = 0;
  EXPECT_EQ(RasGetEntryPropertiesA(nullptr, kEntry, &entry, &size, nullptr, nullptr),
            static_cast<DWORD>(ERROR_INVALID_SIZE));
  EXPECT_EQ(RasGetEntryPropertiesA(nullptr, kEntry, &entry, nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  entry.dwSize = sizeof(entry);
  DWORD deviceInfoSize = 99;
  EXPECT_EQ(RasGetEntryPropertiesA(nullptr, kEntry, &entry, &size, nullptr, &deviceInfoSize), 0u);
  EXPECT_EQ(deviceInfoSize, 0u);
  EXPECT_EQ(RasGetEntryPropertiesA(nullptr, "", &entry, &size, nullptr, nullptr), 0u)
      << "defaults of a new entry";
  EXPECT_EQ(entry.dwFramingProtocol, static_cast<DWORD>(RASFP_Ppp));
}

TEST_F(StandIn, EntryWritesCheckSizesAndNames) {
  Entry entry;
  ZeroMemory(&entry, sizeof(entry));
  entry.dwSize = sizeof(entry) - 4;
  EXPECT_EQ(RasSetEntryPropertiesA(nullptr, "x", &entry, sizeof(entry), nullptr, 0),
            static_cast<DWORD>(ERROR_INVALID_SIZE));
  entry.dwSize = sizeof(entry);
  EXPECT_EQ(RasSetEntryPropertiesA(nullptr, "x", &entry, sizeof(entry) - 1, nullptr, 0),
            static_cast<DWORD>(ERROR_INVALID_SIZE));
  EXPECT_EQ(RasSetEntryPropertiesA(nullptr, "x", nullptr, sizeof(entry), nullptr, 0),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  const std::string tooLong(RAS_MaxEntryName + 1, 'n');
  for (const char* name : {"", ".hidden", "a\\b", "a/b", "a:b", "tab\there", tooLong.c_str()}) {
    EXPECT_EQ(RasSetEntryPropertiesA(nullptr, name, &entry, sizeof(entry), nullptr, 0),
              static_cast<DWORD>(ERROR_INVALID_NAME))
        << name;
    EXPECT_EQ(RasValidateEntryNameA(nullptr, name), static_cast<DWORD>(ERROR_INVALID_NAME)) << name;
  }
  EXPECT_EQ(RasValidateEntryNameA(nullptr, nullptr), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(RasValidateEntryNameA(nullptr, "宽带连接"), 0u) << "Chinese names are fine";
}

TEST_F(StandIn, InjectedPhoneBookErrorsReachEveryCaller) {
  SetEnvironmentVariableA("RASEMU_PBK_ERROR", "624");
  EXPECT_EQ(CreateEntry("another"), 624u);
  EXPECT_EQ(RasValidateEntryNameA(nullptr, kEntry), 624u);
  EXPECT_EQ(RasDeleteEntryA(nullptr, kEntry), 624u);
  HRASCONN handle = nullptr;
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 624u);
  EXPECT_EQ(handle, nullptr);
  SetEnvironmentVariableA("RASEMU_PBK_ERROR", nullptr);
  EXPECT_EQ(RasValidateEntryNameA(nullptr, "another"), 0u) << "the failed write wrote nothing";
}

TEST_F(StandIn, TheDefaultPhoneBookLiesWhereWindowsKeepsItsOwn) {
  SetEnvironmentVariableA("RASEMU_PHONEBOOK", nullptr);
  char folder[MAX_PATH] = {};
  ASSERT_TRUE(
      SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)));
  const std::string path = std::string(folder) + "\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk";
  char name[64];
  snprintf(name, sizeof(name), "quillon-testbed-%lu", GetCurrentProcessId());
  ASSERT_EQ(CreateEntry(name), 0u);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  std::string text(1 << 16, '\0');
  DWORD got = 0;
  ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(file);
  text.resize(got);
  EXPECT_NE(text.find(std::string("[") + name + "]"), std::string::npos) << text;
  EXPECT_EQ(RasDeleteEntryA(nullptr, name), 0u);
  EXPECT_EQ(RasValidateEntryNameA(m_phoneBook.c_str(), kEntry), static_cast<DWORD>(ERROR_ALREADY_EXISTS))
      << "a caller's phone-book path names its own file";
}

TEST_F(StandIn, DialConnectsAndHangUpTearsDownForTheTimeAsked) {
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", "1500");
  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  ASSERT_NE(handle, nullptr);

  ConnectionStatus status;
  ASSERT_EQ(StatusOf(handle, &status), 0u);
  EXPECT_EQ(status.rasconnstate, RASCS_Connected);
  EXPECT_EQ(status.dwError, 0u);
  EXPECT_STREQ(status.szDeviceType, "pppoe");
  EXPECT_STREQ(status.szDeviceName, "WAN Miniport (PPPOE)");

  PppIp ip;
  ip.dwSize = sizeof(ip);
  DWORD size = sizeof(ip);
  ASSERT_EQ(RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size), 0u);
  EXPECT_EQ(std::string(ip.szIpAddress).substr(0, 11), "203.0.113.1") << ip.szIpAddress;
  EXPECT_STREQ(ip.szServerIpAddress, "203.0.113.1");
  EXPECT_EQ(ip.dwError, 0u);
  EXPECT_EQ(RasGetProjectionInfoA(handle, RASP_PppIpx, &ip, &size),
            static_cast<DWORD>(ERROR_PROTOCOL_NOT_CONFIGURED));

  const std::vector<Connection> connections = Connections();
  ASSERT_EQ(connections.size(), 1u);
  EXPECT_EQ(connections[0].hrasconn, handle);
  EXPECT_STREQ(connections[0].szEntryName, kEntry);
  EXPECT_STREQ(connections[0].szDeviceType, "pppoe");
  EXPECT_EQ(Server().Sessions().at(0).user, "demo");

  // The handle stays valid and listed while the connection tears down; a dial of the entry meanwhile
  // finds its port not available, and gets no handle.
  const DWORD hungUp = GetTickCount();
  EXPECT_EQ(RasHangUpA(handle), 0u);
  ASSERT_EQ(StatusOf(handle, &status), 0u);
  EXPECT_EQ(status.rasconnstate, RASCS_Disconnected);
  EXPECT_TRUE(Listed(handle));
  EXPECT_TRUE(Server().Sessions().empty()) << "the account is offline at once";
  HRASCONN again = reinterpret_cast<HRASCONN>(1);
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &again), static_cast<DWORD>(ERROR_PORT_NOT_AVAILABLE));
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size),
            static_cast<DWORD>(ERROR_PROJECTION_NOT_COMPLETE));
  EXPECT_EQ(RasHangUpA(handle), 0u) << "hanging up a connection that tears down is fine";
  ASSERT_TRUE(WaitGone(handle));
  EXPECT_GE(GetTickCount() - hungUp, 1400u) << "RASEMU_TEARDOWN_MS sets the tear-down time";

  EXPECT_TRUE(Connections().empty());
  EXPECT_EQ(RasHangUpA(handle), static_cast<DWORD>(ERROR_INVALID_HANDLE))
      << "a handle dies with its connection";
  EXPECT_EQ(RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  RAS_STATS statistics;
  statistics.dwSize = sizeof(statistics);
  EXPECT_EQ(RasGetConnectionStatistics(handle, &statistics), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(Server().Counts("demo").Refused(ERROR_PORT_NOT_AVAILABLE), 1u);

  // Without the variable a tear-down takes a second.
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", nullptr);
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  const DWORD start = GetTickCount();
  EXPECT_EQ(RasHangUpA(handle), 0u);
  ASSERT_TRUE(WaitGone(handle));
  EXPECT_GE(GetTickCount() - start, 900u);
}

// A dial is the machine's connection from its first moment: listed, its handle the caller's while
// RasDialA still blocks, walked through the states of a PPPoE dial, and not to be dialled again.
TEST_F(StandIn, ADialIsListedAtOnceAndWalksItsStatesBeforeConnected) {
  ASSERT_TRUE(Server().Ctl("DELAY 1500"));
  struct Dialling {
    HRASCONN handle = nullptr;
    DWORD result = 0;
  } dialling;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* context) -> DWORD {
        auto* d = static_cast<Dialling*>(context);
        d->result = Dial(kEntry, "demo", "demo1234", &d->handle);
        return 0;
      },
      &dialling, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Connections().size() == 1; }, 5000));
  const HRASCONN handle = Connections()[0].hrasconn;
  ASSERT_TRUE(WaitUntil([&] { return *static_cast<HRASCONN volatile*>(&dialling.handle) == handle; }, 5000))
      << "the caller's handle is set while the dial runs";

  HRASCONN second = reinterpret_cast<HRASCONN>(1);
  EXPECT_EQ(Dial(kEntry, "alice", "secret", &second), static_cast<DWORD>(ERROR_DIAL_ALREADY_IN_PROGRESS));
  EXPECT_EQ(second, nullptr);
  PppIp ip;
  ip.dwSize = sizeof(ip);
  DWORD size = sizeof(ip);
  EXPECT_EQ(RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size),
            static_cast<DWORD>(ERROR_PROJECTION_NOT_COMPLETE));

  std::vector<RASCONNSTATE> seen;
  ConnectionStatus status;
  while (StatusOf(handle, &status) == 0 && status.rasconnstate != RASCS_Connected) {
    if (seen.empty() || seen.back() != status.rasconnstate) seen.push_back(status.rasconnstate);
    EXPECT_EQ(status.dwError, 0u);
    Sleep(5);
  }
  EXPECT_EQ(status.rasconnstate, RASCS_Connected);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(dialling.result, 0u);
  EXPECT_EQ(dialling.handle, handle);

  const std::vector<RASCONNSTATE> walk = {
      RASCS_OpenPort,        RASCS_PortOpened,          RASCS_ConnectDevice,
      RASCS_DeviceConnected, RASCS_AllDevicesConnected, RASCS_Authenticate,
      RASCS_AuthNotify,      RASCS_AuthProject,         RASCS_Authenticated,
      RASCS_Projected};
  ASSERT_GE(seen.size(), 5u) << "the intermediate states are there to be seen";
  std::size_t at = 0;
  for (RASCONNSTATE state : seen) {
    while (at < walk.size() && walk[at] != state) ++at;
    EXPECT_LT(at, walk.size()) << "state " << state << " out of order";
  }
  EXPECT_LE(seen.front(), RASCS_ConnectDevice);
  const AccountCounts counts = Server().Counts("demo");
  EXPECT_EQ(counts.dials, 1u);
  EXPECT_EQ(counts.sessions, 1u);
  EXPECT_EQ(Server().Counts("alice").Refused(ERROR_DIAL_ALREADY_IN_PROGRESS), 1u);
}

TEST_F(StandIn, HangingUpADialInProgressEndsItAtOnce) {
  ASSERT_TRUE(Server().Ctl("DELAY 20000"));
  struct Dialling {
    HRASCONN handle = nullptr;
    DWORD result = 0;
  } dialling;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* context) -> DWORD {
        auto* d = static_cast<Dialling*>(context);
        d->result = Dial(kEntry, "demo", "demo1234", &d->handle);
        return 0;
      },
      &dialling, 0, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return *static_cast<HRASCONN volatile*>(&dialling.handle) != nullptr; }, 5000));
  EXPECT_EQ(RasHangUpA(dialling.handle), 0u);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0) << "RasDialA returns when its dial is hung up";
  CloseHandle(thread);
  EXPECT_EQ(dialling.result, static_cast<DWORD>(ERROR_USER_DISCONNECTION));
  EXPECT_TRUE(WaitGone(dialling.handle));
  EXPECT_TRUE(Server().Sessions().empty());
  EXPECT_EQ(Server().Counts("demo").aborted, 1u);
}

TEST_F(StandIn, FailedDialsStayListedWithTheirErrorUntilHungUp) {
  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "wrong", &handle), static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));
  ASSERT_NE(handle, nullptr) << "Windows hands back a handle that the caller must hang up";
  ConnectionStatus status;
  ASSERT_EQ(StatusOf(handle, &status), 0u);
  EXPECT_EQ(status.rasconnstate, RASCS_Authenticate) << "where the dial stopped";
  EXPECT_EQ(status.dwError, static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));
  EXPECT_TRUE(Listed(handle));
  HRASCONN again = reinterpret_cast<HRASCONN>(1);
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &again), static_cast<DWORD>(ERROR_PORT_ALREADY_OPEN))
      << "the port stays open until the failed dial is hung up";
  EXPECT_EQ(again, nullptr);
  ASSERT_TRUE(HangUpAndWait(handle));
  EXPECT_FALSE(Listed(handle));

  ASSERT_EQ(Dial(kEntry, "nobody", "demo1234", &handle), static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));
  EXPECT_TRUE(HangUpAndWait(handle));
  const AccountCounts demo = Server().Counts("demo");
  EXPECT_EQ(demo.Refused(ERROR_AUTHENTICATION_FAILURE), 1u);
  EXPECT_EQ(demo.Refused(ERROR_PORT_ALREADY_OPEN), 1u);
  EXPECT_EQ(Server().Counts("nobody").Refused(ERROR_AUTHENTICATION_FAILURE), 1u);
}

// A line dropped at the provider tears down as a hung-up one does, then stays held by the handle
// that dialled it: the entry cannot be dialled until the application hangs that handle up.
TEST_F(StandIn, ADroppedLineTearsDownAndMustStillBeHungUp) {
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", "700");
  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  HANDLE ended = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_EQ(RasConnectionNotificationA(handle, ended, RASCN_Disconnection), 0u);
  ASSERT_TRUE(Server().Ctl("DROP demo"));
  EXPECT_EQ(WaitForSingleObject(ended, 5000), WAIT_OBJECT_0);
  CloseHandle(ended);
  ConnectionStatus status;
  ASSERT_EQ(StatusOf(handle, &status), 0u);
  EXPECT_EQ(status.rasconnstate, RASCS_Disconnected);
  EXPECT_EQ(status.dwError, static_cast<DWORD>(ERROR_REMOTE_DISCONNECTION));
  EXPECT_TRUE(Listed(handle)) << "listed while it tears down";
  HRASCONN again = nullptr;
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &again), static_cast<DWORD>(ERROR_PORT_NOT_AVAILABLE));

  ASSERT_TRUE(WaitUntil([&] { return !Listed(handle); }, 5000));
  ASSERT_EQ(StatusOf(handle, &status), 0u) << "torn down, but its handle is not hung up yet";
  EXPECT_EQ(status.rasconnstate, RASCS_Disconnected);
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &again), static_cast<DWORD>(ERROR_PORT_ALREADY_OPEN));
  EXPECT_EQ(again, nullptr);

  EXPECT_EQ(RasHangUpA(handle), 0u);
  EXPECT_EQ(StatusOf(handle), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "torn down already";
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &again), 0u);
  const AccountCounts counts = Server().Counts("demo");
  EXPECT_EQ(counts.sessions, 2u);
  EXPECT_EQ(counts.Refused(ERROR_PORT_NOT_AVAILABLE), 1u);
  EXPECT_EQ(counts.Refused(ERROR_PORT_ALREADY_OPEN), 1u);
}

TEST_F(StandIn, OnlyPppoeEntriesWithPppFramingReachTheProvider) {
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", "0");
  ASSERT_TRUE(Server().Ctl("FAIL 718"));
  struct Case {
    const char* entry;
    const char* deviceType;
    DWORD framing;
    DWORD result;
  } cases[] = {
      {"on a modem", "modem", RASFP_Ppp, ERROR_NO_ANSWER},
      {"with SLIP framing", "pppoe", RASFP_Slip, ERROR_NO_ANSWER},
      {"with RAS framing", "pppoe", RASFP_Ras, ERROR_NO_ANSWER},
      {"on a PPPoE device named in capitals", "PPPoE", RASFP_Ppp, 718},
      {"on the PPPoE device", "pppoe", RASFP_Ppp, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(CreateEntry(c.entry, c.deviceType, "device", c.framing), 0u) << c.entry;
    HRASCONN handle = nullptr;
    EXPECT_EQ(Dial(c.entry, "demo", "demo1234", &handle), c.result) << c.entry;
    ConnectionStatus status;
    ASSERT_EQ(StatusOf(handle, &status), 0u) << c.entry;
    if (c.result == ERROR_NO_ANSWER) {
      EXPECT_EQ(status.rasconnstate, RASCS_ConnectDevice) << "a line that never answers: " << c.entry;
    }
    EXPECT_TRUE(HangUpAndWait(handle)) << c.entry;
  }
  const AccountCounts counts = Server().Counts("demo");
  EXPECT_EQ(counts.Refused(ERROR_NO_ANSWER), 3u);
  EXPECT_EQ(counts.Refused(718), 1u) << "the injected failure waited for a dial that reached the provider";
  EXPECT_EQ(counts.sessions, 1u);
}

TEST_F(StandIn, AnAccountAlreadyOnlineIsRefused) {
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", "0");
  ASSERT_EQ(CreateEntry(kOtherEntry), 0u);
  HRASCONN first = nullptr, second = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &first), 0u);
  EXPECT_EQ(Dial(kOtherEntry, "demo", "demo1234", &second), static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));
  EXPECT_TRUE(HangUpAndWait(second));
  EXPECT_EQ(Dial(kOtherEntry, "alice", "secret", &second), 0u) << "another account may be online beside it";
  EXPECT_EQ(Connections().size(), 2u);
}

TEST_F(StandIn, DiallingAConnectedEntryHandsBackItsConnection) {
  HRASCONN first = nullptr, again = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &first), 0u);
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &again), 0u);
  EXPECT_EQ(again, first);
  EXPECT_EQ(Server().Sessions().size(), 1u);
}

TEST_F(StandIn, NoServerMeans678AndAConnectionOfThisProcessOnly) {
  const std::string dead = "127.0.0.1:" + std::to_string(UnusedPort());
  SetEnvironmentVariableA("RASEMU_SERVER", dead.c_str());
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", "300");
  HRASCONN handle = nullptr;
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), static_cast<DWORD>(ERROR_NO_ANSWER));
  ASSERT_NE(handle, nullptr);
  ConnectionStatus status;
  EXPECT_EQ(StatusOf(handle, &status), 0u);
  EXPECT_EQ(status.dwError, static_cast<DWORD>(ERROR_NO_ANSWER));
  EXPECT_TRUE(Listed(handle)) << "listed until it is hung up";
  HRASCONN again = nullptr;
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &again), static_cast<DWORD>(ERROR_PORT_ALREADY_OPEN));
  EXPECT_EQ(RasHangUpA(handle), 0u);
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &again), static_cast<DWORD>(ERROR_PORT_NOT_AVAILABLE));
  EXPECT_TRUE(WaitGone(handle));
  EXPECT_TRUE(Connections().empty());
  SetEnvironmentVariableA("RASEMU_SERVER", "not an address");
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), static_cast<DWORD>(ERROR_NO_ANSWER));
  EXPECT_TRUE(HangUpAndWait(handle));
}

TEST_F(StandIn, InjectedFailuresComeBackWithTheirCodes) {
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", "0");
  ASSERT_TRUE(Server().Ctl("FAIL 718 2"));
  HRASCONN handle = nullptr;
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 718u) << attempt;
    EXPECT_TRUE(HangUpAndWait(handle));
  }
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  EXPECT_TRUE(HangUpAndWait(handle));
  for (DWORD code : {678u, 651u, 769u}) {
    ASSERT_TRUE(Server().Ctl("FAIL " + std::to_string(code)));
    EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), code);
    EXPECT_TRUE(HangUpAndWait(handle));
  }
}

TEST_F(StandIn, DiallingAMissingEntryGives623WithoutAHandle) {
  HRASCONN handle = reinterpret_cast<HRASCONN>(1);
  EXPECT_EQ(Dial("no such entry", "demo", "demo1234", &handle),
            static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
  EXPECT_EQ(handle, nullptr);
}

TEST_F(StandIn, TheDialWaitsForTheNegotiation) {
  ASSERT_TRUE(Server().Ctl("DELAY 400"));
  HRASCONN handle = nullptr;
  const DWORD start = GetTickCount();
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  EXPECT_GE(GetTickCount() - start, 350u);
}

// The sizes that each structure had in the headers of each Windows generation, worked out by hand
// from their layouts (4-byte packing); a program built for any of them is served, any other size is
// ERROR_INVALID_SIZE.
#ifdef _WIN64
const std::vector<DWORD> kConnSizes = {416, 680, 696, 708, 724};
const std::vector<DWORD> kDialParamsSizes = {1052, 1064, 1068, 1076};
#else
const std::vector<DWORD> kConnSizes = {412, 676, 692, 704, 720};
const std::vector<DWORD> kDialParamsSizes = {1052, 1060, 1064, 1068};
#endif
const std::vector<DWORD> kStatusSizes = {160, 288, 332};
const std::vector<DWORD> kEntrySizes = {1768, 1796, 2088, 2884, 2924, 2948, 3476, 3480};
const std::vector<DWORD> kPppIpSizes = {24, 40, 48};
const std::vector<DWORD> kStatisticsSizes = {60};
const std::vector<DWORD> kDeviceInfoSizes = {152};

// Sizes that match no version: next to every version, and well beyond the newest.
std::vector<DWORD> WrongSizes(const std::vector<DWORD>& known) {
  std::vector<DWORD> wrong = {0, 4, known.back() * 2};
  for (DWORD size : known) {
    for (DWORD beside : {size - 4, size - 1, size + 1, size + 4}) {
      if (std::find(known.begin(), known.end(), beside) == known.end()) wrong.push_back(beside);
    }
  }
  return wrong;
}

TEST_F(StandIn, EveryStructureVersionIsServedAndOtherSizesAre632) {
  HRASCONN live = nullptr;
  ASSERT_EQ(CreateEntry(kOtherEntry), 0u);
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &live), 0u);
  HRASCONN other = nullptr;
  ASSERT_EQ(Dial(kOtherEntry, "alice", "secret", &other), 0u);
  // A buffer of 0xcc bytes, its structure (as far as it is plausible) zeroed and sized.
  std::vector<unsigned char> buffer(16384);
  const auto sized = [&buffer](DWORD size) {
    std::fill(buffer.begin(), buffer.end(), 0xcc);
    if (size > sizeof(DWORD) && size < buffer.size()) std::fill(buffer.begin(), buffer.begin() + size, 0);
    std::memcpy(buffer.data(), &size, sizeof(size));
    return buffer.data();
  };
  struct Case {
    const char* what;
    const std::vector<DWORD>* sizes;
    std::function<DWORD(DWORD size)> call;
  } cases[] = {
      {"RasDialA of a connected entry", &kDialParamsSizes,
       [&](DWORD size) {
         auto* params = reinterpret_cast<DialParams*>(sized(size));
         lstrcpyA(params->szEntryName, kEntry);
         lstrcpyA(params->szUserName, "demo");
         lstrcpyA(params->szPassword, "demo1234");
         HRASCONN handle = nullptr;
         const DWORD result = RasDialA(nullptr, nullptr, params, 0, nullptr, &handle);
         EXPECT_TRUE(result != 0 || handle == live) << size;
         return result;
       }},
      {"RasGetConnectStatusA", &kStatusSizes,
       [&](DWORD size) {
         const DWORD result = RasGetConnectStatusA(live, reinterpret_cast<ConnectionStatus*>(sized(size)));
         if (result == 0) {
           EXPECT_EQ(reinterpret_cast<ConnectionStatus*>(buffer.data())->rasconnstate, RASCS_Connected)
               << size;
           EXPECT_EQ(buffer[size], 0xcc) << "nothing written beyond the caller's version: " << size;
         }
         return result;
       }},
      {"RasEnumConnectionsA", &kConnSizes,
       [&](DWORD size) {
         DWORD bytes = 2 * size, count = 0;
         const DWORD result = RasEnumConnectionsA(reinterpret_cast<Connection*>(sized(size)), &bytes, &count);
         if (result == 0) {
           // Records follow each other at the caller's size.
           EXPECT_EQ(count, 2u);
           EXPECT_EQ(bytes, 2 * size);
           HRASCONN second = nullptr;
           std::memcpy(&second, buffer.data() + size + offsetof(RASCONNA, hrasconn), sizeof(second));
           EXPECT_EQ(second, other) << size;
           EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data() + size + offsetof(RASCONNA, szEntryName)),
                        kOtherEntry);
           EXPECT_EQ(buffer[2 * size], 0xcc) << size;
         }
         return result;
       }},
      {"RasGetProjectionInfoA", &kPppIpSizes,
       [&](DWORD size) {
         DWORD bytes = size;
         const DWORD result = RasGetProjectionInfoA(live, RASP_PppIp, sized(size), &bytes);
         if (result == 0) {
           EXPECT_EQ(std::string(reinterpret_cast<PppIp*>(buffer.data())->szIpAddress).substr(0, 10),
                     "203.0.113.");
           EXPECT_EQ(buffer[size], 0xcc) << size;
         }
         return result;
       }},
      {"RasGetConnectionStatistics", &kStatisticsSizes,
       [&](DWORD size) {
         return RasGetConnectionStatistics(live, reinterpret_cast<RAS_STATS*>(sized(size)));
       }},
      {"RasEnumDevicesA", &kDeviceInfoSizes,
       [&](DWORD size) {
         DWORD bytes = size, count = 0;
         return RasEnumDevicesA(reinterpret_cast<DeviceInfo*>(sized(size)), &bytes, &count);
       }},
      {"RasSetEntryPropertiesA and RasGetEntryPropertiesA", &kEntrySizes,
       [&](DWORD size) {
         auto* entry = reinterpret_cast<Entry*>(sized(size));
         entry->dwFramingProtocol = RASFP_Ppp;
         lstrcpyA(entry->szDeviceType, "pppoe");
         // The last field of every version is a DWORD.
         const DWORD last = size >= 2 * sizeof(DWORD) && size < buffer.size() ? size - sizeof(DWORD) : 0;
         if (last != 0) std::memcpy(buffer.data() + last, &size, sizeof(size));
         if (DWORD result = RasSetEntryPropertiesA(nullptr, "versions", entry, size, nullptr, 0))
           return result;
         sized(size);
         DWORD bytes = size;
         if (DWORD result = RasGetEntryPropertiesA(nullptr, "versions", entry, &bytes, nullptr, nullptr)) {
           return result;
         }
         DWORD back = 0;
         std::memcpy(&back, buffer.data() + last, sizeof(back));
         EXPECT_EQ(back, size) << "the last field of the version comes back";
         EXPECT_STREQ(entry->szDeviceType, "pppoe");
         EXPECT_EQ(buffer[size], 0xcc) << size;
         return 0ul;
       }},
  };
  for (const Case& c : cases) {
    for (DWORD size : *c.sizes) EXPECT_EQ(c.call(size), 0u) << c.what << " with size " << size;
    for (DWORD size : WrongSizes(*c.sizes)) {
      EXPECT_EQ(c.call(size), static_cast<DWORD>(ERROR_INVALID_SIZE)) << c.what << " with size " << size;
    }
  }
  EXPECT_EQ(Server().Sessions().size(), 2u) << "dials of a connected entry hand back its connection";
}

TEST_F(StandIn, ConnectionListsAreSizedTheWindowsWay) {
  DWORD size = 0, count = 99;
  EXPECT_EQ(RasEnumConnectionsA(nullptr, &size, &count), 0u) << "nothing to list";
  EXPECT_EQ(count, 0u);

  ASSERT_EQ(CreateEntry(kOtherEntry), 0u);
  HRASCONN a = nullptr, b = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &a), 0u);
  ASSERT_EQ(Dial(kOtherEntry, "alice", "secret", &b), 0u);

  size = 0;
  EXPECT_EQ(RasEnumConnectionsA(nullptr, &size, &count), static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
  EXPECT_EQ(size, 2 * kConnSizes.back()) << "without a buffer, room for the newest version";
  EXPECT_EQ(count, 2u);

  Connection one;
  one.dwSize = sizeof(one);
  size = sizeof(one);
  count = 0;
  EXPECT_EQ(RasEnumConnectionsA(&one, &size, &count), static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL))
      << "room for one of two";
  EXPECT_EQ(size, 2 * sizeof(Connection));
  EXPECT_EQ(count, 2u);

  std::vector<Connection> two(2);
  two[0].dwSize = sizeof(Connection);
  size = static_cast<DWORD>(2 * sizeof(Connection));
  ASSERT_EQ(RasEnumConnectionsA(two.data(), &size, &count), 0u);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(two[0].hrasconn, a) << "in the order the connections were dialled";
  EXPECT_EQ(two[1].hrasconn, b);
  EXPECT_STREQ(two[1].szEntryName, kOtherEntry);
  EXPECT_EQ(two[1].dwSize, sizeof(Connection));

  EXPECT_EQ(RasEnumConnectionsA(two.data(), nullptr, &count), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  size = sizeof(Connection);
  EXPECT_EQ(RasEnumConnectionsA(nullptr, &size, &count), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(StandIn, ProjectionBuffersAreSizedTheWindowsWay) {
  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  PppIp ip;
  ip.dwSize = sizeof(ip);
  DWORD size = sizeof(ip) - 1;
  EXPECT_EQ(RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size),
            static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
  EXPECT_EQ(size, sizeof(PppIp));
  size = 0;
  EXPECT_EQ(RasGetProjectionInfoA(handle, RASP_PppIp, nullptr, &size),
            static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
  EXPECT_EQ(size, sizeof(PppIp));
  EXPECT_EQ(RasGetProjectionInfoA(handle, RASP_PppIp, &ip, nullptr),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(StandIn, ErrorTextsAreTheChineseWindowsTextsOfRemoteAccessCodesOnly) {
  char text[256];
  struct Case {
    UINT code;
    const char* text;
  } cases[] = {
      {691, "由于用户名和/或密码在此域上无效，访问被拒绝。"},
      {678, "远程计算机没有响应。"},
      {623, "系统无法找到此连接的电话簿项。"},
      {633, "调制解调器（或其他连接设备）已经在使用或配置不正确。"},
      {756, "已经在拨此连接。"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(RasGetErrorStringA(c.code, text, sizeof(text)), 0u) << c.code;
    EXPECT_STREQ(text, c.text);
  }
  for (UINT other : {0u, 6u, 87u, 183u, 599u, 871u, 54321u}) {
    EXPECT_EQ(RasGetErrorStringA(other, text, sizeof(text)), static_cast<DWORD>(ERROR_INVALID_PARAMETER))
        << other << " is no remote-access error";
  }
  EXPECT_EQ(RasGetErrorStringA(691, text, 5), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(RasGetErrorStringA(691, nullptr, 256), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(StandIn, StatisticsGrowWhileTheConnectionIsUp) {
  ASSERT_TRUE(Server().Ctl("TRAFFIC 100000 20000"));
  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  RAS_STATS first;
  first.dwSize = sizeof(first);
  ASSERT_EQ(RasGetConnectionStatistics(handle, &first), 0u);
  RAS_STATS later = first;
  ASSERT_TRUE(WaitUntil(
      [&] {
        later.dwSize = sizeof(later);
        return RasGetConnectionStatistics(handle, &later) == 0 &&
               later.dwBytesRcved >= first.dwBytesRcved + 100000;
      },
      5000))
      << "received " << first.dwBytesRcved << " then " << later.dwBytesRcved;
  EXPECT_GT(later.dwBytesXmited, first.dwBytesXmited);
  EXPECT_GT(later.dwBytesRcved, later.dwBytesXmited);
  EXPECT_GE(later.dwConnectDuration, first.dwConnectDuration + 1000);
  EXPECT_GT(later.dwFramesRcved, 0u);
  EXPECT_EQ(later.dwBps, 10000000u);
  EXPECT_EQ(later.dwSize, sizeof(RAS_STATS));
}

}  // namespace
}  // namespace testbed
