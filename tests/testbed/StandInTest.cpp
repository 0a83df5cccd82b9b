// The stand-in rasapi32.dll in one process: devices, phone book, dialling against the live
// access server, size checks, buffer sizing, error texts and statistics.
#include "tests/testbed/StandInFixture.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

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
  EXPECT_EQ(size, sizeof(Entry));
  Entry entry;
  entry.dwSize = sizeof(entry);
  size = sizeof(entry) - 1;
  EXPECT_EQ(RasGetEntryPropertiesA(nullptr, kEntry, &entry, &size, nullptr, nullptr),
            static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
  EXPECT_EQ(size, sizeof(Entry));
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

TEST_F(StandIn, DialConnectsAndHangUpEnds) {
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

  EXPECT_EQ(RasHangUpA(handle), 0u);
  EXPECT_EQ(StatusOf(handle), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(Connections().empty());
  EXPECT_EQ(RasHangUpA(handle), static_cast<DWORD>(ERROR_INVALID_HANDLE))
      << "a handle dies with its connection";
  EXPECT_EQ(RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  RAS_STATS statistics;
  statistics.dwSize = sizeof(statistics);
  EXPECT_EQ(RasGetConnectionStatistics(handle, &statistics), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(StandIn, RefusedCredentialsGive691AndAHandleToHangUp) {
  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "wrong", &handle), static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));
  ASSERT_NE(handle, nullptr) << "Windows hands back a handle that the caller must hang up";
  ConnectionStatus status;
  ASSERT_EQ(StatusOf(handle, &status), 0u);
  EXPECT_EQ(status.rasconnstate, RASCS_Disconnected);
  EXPECT_EQ(status.dwError, static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));
  EXPECT_TRUE(Connections().empty());
  EXPECT_EQ(RasHangUpA(handle), 0u);
  EXPECT_EQ(StatusOf(handle), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  EXPECT_EQ(Dial(kEntry, "nobody", "demo1234", &handle), static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));
  RasHangUpA(handle);
}

TEST_F(StandIn, AnAccountAlreadyOnlineIsRefused) {
  ASSERT_EQ(CreateEntry(kOtherEntry), 0u);
  HRASCONN first = nullptr, second = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &first), 0u);
  EXPECT_EQ(Dial(kOtherEntry, "demo", "demo1234", &second), static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));
  RasHangUpA(second);
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

TEST_F(StandIn, NoServerMeans678AndNoConnections) {
  const std::string dead = "127.0.0.1:" + std::to_string(UnusedPort());
  SetEnvironmentVariableA("RASEMU_SERVER", dead.c_str());
  HRASCONN handle = nullptr;
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), static_cast<DWORD>(ERROR_NO_ANSWER));
  ASSERT_NE(handle, nullptr);
  ConnectionStatus status;
  EXPECT_EQ(StatusOf(handle, &status), 0u);
  EXPECT_EQ(status.dwError, static_cast<DWORD>(ERROR_NO_ANSWER));
  EXPECT_EQ(RasHangUpA(handle), 0u);
  EXPECT_TRUE(Connections().empty());
  SetEnvironmentVariableA("RASEMU_SERVER", "not an address");
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), static_cast<DWORD>(ERROR_NO_ANSWER));
  RasHangUpA(handle);
}

TEST_F(StandIn, InjectedFailuresComeBackWithTheirCodes) {
  ASSERT_TRUE(Server().Ctl("FAIL 718 2"));
  HRASCONN handle = nullptr;
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 718u) << attempt;
    EXPECT_EQ(RasHangUpA(handle), 0u);
  }
  EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  RasHangUpA(handle);
  for (DWORD code : {678u, 651u, 769u}) {
    ASSERT_TRUE(Server().Ctl("FAIL " + std::to_string(code)));
    EXPECT_EQ(Dial(kEntry, "demo", "demo1234", &handle), code);
    RasHangUpA(handle);
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

TEST_F(StandIn, WrongSizeFieldsAre632) {
  HRASCONN live = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &live), 0u);
  struct Case {
    const char* what;
    DWORD (*call)(HRASCONN live, DWORD size);
    DWORD right;
  } cases[] = {
      {"RasDialA",
       [](HRASCONN, DWORD size) {
         DialParams params;
         ZeroMemory(&params, sizeof(params));
         params.dwSize = size;
         lstrcpyA(params.szEntryName, kEntry);
         HRASCONN handle = nullptr;
         return RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle);
       },
       sizeof(DialParams)},
      {"RasGetConnectStatusA",
       [](HRASCONN handle, DWORD size) {
         ConnectionStatus status;
         status.dwSize = size;
         return RasGetConnectStatusA(handle, &status);
       },
       sizeof(ConnectionStatus)},
      {"RasEnumConnectionsA",
       [](HRASCONN, DWORD size) {
         Connection connections[4];
         connections[0].dwSize = size;
         DWORD bytes = sizeof(connections), count = 0;
         return RasEnumConnectionsA(connections, &bytes, &count);
       },
       sizeof(Connection)},
      {"RasGetProjectionInfoA",
       [](HRASCONN handle, DWORD size) {
         PppIp ip;
         ip.dwSize = size;
         DWORD bytes = sizeof(ip);
         return RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &bytes);
       },
       sizeof(PppIp)},
      {"RasGetConnectionStatistics",
       [](HRASCONN handle, DWORD size) {
         RAS_STATS statistics;
         statistics.dwSize = size;
         return RasGetConnectionStatistics(handle, &statistics);
       },
       sizeof(RAS_STATS)},
  };
  for (const Case& c : cases) {
    for (DWORD wrong : {DWORD{0}, c.right - 1, c.right + 1, c.right * 2}) {
      EXPECT_EQ(c.call(live, wrong), static_cast<DWORD>(ERROR_INVALID_SIZE))
          << c.what << " with size " << wrong;
    }
    EXPECT_EQ(c.call(live, c.right), 0u) << c.what;
  }
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
  EXPECT_EQ(size, 2 * sizeof(Connection));
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
  EXPECT_EQ(two[0].hrasconn, a) << "in the order the connections came up";
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

TEST_F(StandIn, ErrorTextsAreTheChineseWindowsTexts) {
  char text[256];
  ASSERT_EQ(RasGetErrorStringA(691, text, sizeof(text)), 0u);
  EXPECT_STREQ(text, "由于用户名和/或密码在此域上无效，访问被拒绝。");
  ASSERT_EQ(RasGetErrorStringA(678, text, sizeof(text)), 0u);
  EXPECT_STREQ(text, "远程计算机没有响应。");
  ASSERT_EQ(RasGetErrorStringA(623, text, sizeof(text)), 0u);
  EXPECT_STREQ(text, "系统无法找到此连接的电话簿项。");
  ASSERT_EQ(RasGetErrorStringA(54321, text, sizeof(text)), 0u);
  EXPECT_NE(std::string(text).find("54321"), std::string::npos) << "an unknown code still gets a text";
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
