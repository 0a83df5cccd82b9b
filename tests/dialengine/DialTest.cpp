// Dialling, the connected test and the network check, seen through the host window and the system.
#include <windows.h>

#include <wininet.h>

#include <string>
#include <vector>

#include "EngineFixture.h"
#include "dialengine/ConnectManage.h"
#include "dialengine/DialerCount.h"
#include "dialengine/HostWindow.h"
#include "dialengine/RasDial.h"

namespace {

const char kEntry[] = "pppoe_vorlan_default_entry";

struct Controls {
  bool connect;
  bool disconnect;
  bool dialItem;
  bool hangUpItem;
  bool statisticsItem;
};

Controls Read(const TestHost& host) {
  return {host.ButtonEnabled(32781), host.ButtonEnabled(32782), host.MenuItemEnabled(0, 0),
          host.MenuItemEnabled(0, 2), host.MenuItemEnabled(1, 2)};
}

void ExpectControls(const TestHost& host, const Controls& expected) {
  Controls actual = Read(host);
  EXPECT_EQ(actual.connect, expected.connect) << "button 32781";
  EXPECT_EQ(actual.disconnect, expected.disconnect) << "button 32782";
  EXPECT_EQ(actual.dialItem, expected.dialItem) << "menu 0 item 0";
  EXPECT_EQ(actual.hangUpItem, expected.hangUpItem) << "menu 0 item 2";
  EXPECT_EQ(actual.statisticsItem, expected.statisticsItem) << "menu 1 item 2";
}

class DialTest : public EngineTest {};

TEST_F(DialTest, SuccessfulDialWritesProgressAndTheAddress) {
  Fake().connectedFlags = INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN;
  Fake().dialAddress = "172.16.5.20";
  CConnectManage manager;
  manager.SetConnectType(kConnectTypeRas);
  char user[] = "demo";
  char password[] = "secret";
  char entry[] = "pppoe_vorlan_default_entry";
  manager.SetConnectInfo(user, password, entry);
  host->SetMenuItem(1, 2, false);

  std::string textDuringDial;
  Controls controlsDuringDial = {};
  Fake().onDial = [&] {
    textDuringDial = host->Text(1016);
    controlsDuringDial = Read(*host);
  };
  EXPECT_EQ(manager.Connect(), 1);

  EXPECT_EQ(textDuringDial, "正在连接拨号网络,请稍候...");
  EXPECT_FALSE(controlsDuringDial.connect);
  EXPECT_FALSE(controlsDuringDial.disconnect);
  EXPECT_FALSE(controlsDuringDial.dialItem);
  EXPECT_FALSE(controlsDuringDial.hangUpItem);
  EXPECT_FALSE(controlsDuringDial.statisticsItem);

  EXPECT_TRUE(Fake().dialPlainCall);
  EXPECT_EQ(Fake().dialParams.dwSize, sizeof(RASDIALPARAMSA));
  EXPECT_STREQ(Fake().dialParams.szEntryName, kEntry);
  EXPECT_STREQ(Fake().dialParams.szUserName, "demo");
  EXPECT_STREQ(Fake().dialParams.szPassword, "secret");
  EXPECT_STREQ(Fake().dialParams.szPhoneNumber, "");
  EXPECT_STREQ(Fake().dialParams.szCallbackNumber, "");
  EXPECT_STREQ(Fake().dialParams.szDomain, "");

  EXPECT_EQ(host->Text(1016), "已经成功地建立了连接");
  EXPECT_EQ(host->Text(1013), "172.16.5.20");
  EXPECT_EQ(host->Text(1014), kEntry);
  EXPECT_EQ(host->Text(1015), "采用RAS拨号连接上网");
  ExpectControls(*host, {false, true, false, true, true});
}

// Copies of the manager share its dialer: destroying a copy, or giving it a dialer of its own, leaves
// the others a working dialer, and the last holder destroys it.
TEST_F(DialTest, CopiesShareTheDialerAndTheLastHolderDestroysIt) {
  const int before = LiveDialerCount();
  {
    CConnectManage* original = new CConnectManage();
    original->SetConnectType(kConnectTypeRas);
    char user[] = "demo";
    char password[] = "secret";
    char entry[] = "pppoe_vorlan_default_entry";
    original->SetConnectInfo(user, password, entry);
    {
      CConnectManage copy(*original);
      CConnectManage assigned;
      assigned = *original;
      assigned = assigned;
      EXPECT_EQ(LiveDialerCount(), before + 1) << "shared, not duplicated";
      copy.SetConnectType(kConnectTypeRas);
      EXPECT_EQ(LiveDialerCount(), before + 2);
    }
    EXPECT_EQ(LiveDialerCount(), before + 1);
    EXPECT_EQ(original->Connect(), 1);
    CConnectManage survivor(*original);
    delete original;
    EXPECT_EQ(LiveDialerCount(), before + 1);
    EXPECT_EQ(survivor.Connect(), 1);
    EXPECT_STREQ(Fake().dialParams.szUserName, "demo");
  }
  EXPECT_EQ(LiveDialerCount(), before);
}

TEST_F(DialTest, DialerStateFollowsTheDial) {
  CRasDial dialer;
  EXPECT_EQ(dialer.Connection(), nullptr);
  char user[] = "demo";
  dialer.SetUserInfo(user, nullptr);
  int connectingDuringDial = -1;
  Fake().onDial = [&] { connectingDuringDial = dialer.IsConnecting(); };
  EXPECT_EQ(dialer.Connect(), 1);
  EXPECT_EQ(connectingDuringDial, 1);
  EXPECT_EQ(dialer.IsConnecting(), 0);
  EXPECT_EQ(dialer.IsConnected(), 1);
  EXPECT_EQ(dialer.ConnectCount(), 1);
  EXPECT_EQ(dialer.IpAddress(), "10.0.0.7");
  EXPECT_NE(dialer.Connection(), nullptr);

  Fake().dialAddress = "10.0.0.8";
  EXPECT_EQ(dialer.Connect(), 1);
  EXPECT_EQ(dialer.ConnectCount(), 2);
  EXPECT_EQ(dialer.IpAddress(), "10.0.0.8");
}

TEST_F(DialTest, FailedDialReportsTheSystemTextAndReenablesOnlyConnect) {
  struct Case {
    DWORD error;
    bool leavesHandle;
  };
  for (const Case& c : {Case{691, false}, Case{691, true}, Case{678, true}, Case{629, false}}) {
    InstallFakeSystem();
    host->Reset();
    host->SetMenuItem(1, 2, false);
    Fake().dialResult = c.error;
    Fake().dialLeavesHandle = c.leavesHandle;
    CRasDial dialer;
    SCOPED_TRACE(testing::Message() << c.error << (c.leavesHandle ? " with handle" : " without handle"));
    EXPECT_EQ(dialer.Connect(), 0);
    EXPECT_EQ(host->Text(1016), "连接错误!\r\nsystem text for " + std::to_string(c.error));
    ExpectControls(*host, {true, false, true, false, false});
    EXPECT_EQ(host->Text(1013), "ip?");
    EXPECT_EQ(host->Text(1015), "status?");
    EXPECT_EQ(dialer.IsConnecting(), 0);
    EXPECT_EQ(dialer.IsConnected(), 0);
    EXPECT_EQ(dialer.ConnectCount(), 0);
    EXPECT_EQ(dialer.Connection(), nullptr);
    if (c.leavesHandle) {
      ASSERT_EQ(Fake().hangUps.size(), 1u);
      EXPECT_EQ(Fake().hangUps[0], Fake().connections[0].handle);
    } else {
      EXPECT_TRUE(Fake().hangUps.empty());
    }
  }
}

TEST_F(DialTest, FailedDialLeavesTheErrorCodeAsTheThreadsLastError) {
  for (DWORD error : {691u, 678u, 629u}) {
    InstallFakeSystem();
    Fake().dialResult = error;
    Fake().dialLeavesHandle = error == 678;
    CConnectManage manager;
    manager.SetConnectType(kConnectTypeRas);
    SetLastError(0);
    EXPECT_EQ(manager.Connect(), 0) << error;
    EXPECT_EQ(GetLastError(), error);
  }
  // A manager without a dialer leaves the last error alone.
  CConnectManage empty;
  SetLastError(1234);
  EXPECT_EQ(empty.Connect(), 0);
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(DialTest, LongSystemTextIsCutToTheMessageBuffer) {
  Fake().dialResult = 691;
  Fake().errorTextPrefix = std::string(400, 'x');
  CRasDial dialer;
  EXPECT_EQ(dialer.Connect(), 0);
  EXPECT_EQ(host->Text(1016), "连接错误!\r\n" + std::string(255, 'x'));
}

TEST_F(DialTest, FailedProjectionStillCountsAsDialled) {
  Fake().dialProjectionFails = true;
  DefaultEntryDialer dialer;
  EXPECT_EQ(dialer.Connect(), 1);
  EXPECT_EQ(dialer.IpAddress(), "");
  EXPECT_EQ(dialer.ConnectCount(), 1);
  EXPECT_EQ(host->Text(1016), "已经成功地建立了连接");
  EXPECT_EQ(host->Text(1013), "");
}

TEST_F(DialTest, OverlongCredentialsAreCutToTheirBuffers) {
  struct Case {
    size_t user;
    size_t password;
    size_t entry;
  };
  for (const Case& c : {Case{49, 49, 99}, Case{50, 50, 100}, Case{300, 1000, 400}}) {
    InstallFakeSystem();
    std::string user(c.user, 'u');
    std::string password(c.password, 'p');
    std::string entry(c.entry, 'e');
    CConnectManage manager;
    manager.SetConnectType(kConnectTypeRas);
    manager.SetConnectInfo(&user[0], &password[0], &entry[0]);
    manager.Connect();
    SCOPED_TRACE(c.user);
    EXPECT_EQ(std::string(Fake().dialParams.szUserName), std::string(49, 'u'));
    EXPECT_EQ(std::string(Fake().dialParams.szPassword), std::string(49, 'p'));
    EXPECT_EQ(std::string(Fake().dialParams.szEntryName), std::string(99, 'e'));
  }
}

TEST_F(DialTest, NullArgumentsKeepTheirFields) {
  CRasDial dialer;
  char user[] = "first";
  char password[] = "pw";
  dialer.SetUserInfo(user, password);
  char other[] = "second";
  dialer.SetUserInfo(other, nullptr);
  EXPECT_STREQ(dialer.UserName(), "second");
  EXPECT_STREQ(dialer.Password(), "pw");
  dialer.SetUserInfo(nullptr, other);
  EXPECT_STREQ(dialer.UserName(), "second");
  EXPECT_STREQ(dialer.Password(), "second");

  CConnectManage manager;
  manager.SetConnectType(kConnectTypeRas);
  char entry[] = "custom";
  manager.SetConnectInfo(user, password, entry);
  manager.SetConnectInfo(nullptr, nullptr, nullptr);
  manager.Connect();
  EXPECT_STREQ(Fake().dialParams.szUserName, "first");
  EXPECT_STREQ(Fake().dialParams.szPassword, "pw");
  EXPECT_STREQ(Fake().dialParams.szEntryName, "custom");
}

TEST_F(DialTest, ConnectedTestJudgesTheFirstListedConnectionOnly) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, RASCONNSTATE>> connections;
    DWORD enumError;
    int expected;
  };
  const Case cases[] = {
      {"none listed", {}, 0, 0},
      {"default entry connected", {{kEntry, RASCS_Connected}}, 0, 1},
      {"other entry connected", {{"office vpn", RASCS_Connected}}, 0, 1},
      {"still authenticating", {{kEntry, RASCS_Authenticate}}, 0, 0},
      {"two connections", {{kEntry, RASCS_Connected}, {"office vpn", RASCS_Connected}}, 0, 0},
      {"listing fails", {{kEntry, RASCS_Connected}}, 87, 0},
  };
  for (const Case& c : cases) {
    InstallFakeSystem();
    for (const auto& connection : c.connections) Fake().AddConnection(connection.first, connection.second);
    Fake().enumConnectionsError = c.enumError;
    CConnectManage manager;
    manager.SetConnectType(kConnectTypeRas);
    EXPECT_EQ(manager.GetConnectState(), c.expected) << c.name;
  }
}

TEST_F(DialTest, NetworkCheckClassifiesAndWritesTheStatus) {
  struct Case {
    BOOL connected;
    DWORD flags;
    int result;
    const char* status;
  };
  const Case cases[] = {
      {FALSE, INTERNET_CONNECTION_LAN, 0, "网络未连接"},
      {TRUE, INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_PROXY, 1,
       "采用RAS拨号连接上网"},
      {TRUE, INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_CONFIGURED, 2, "采用网卡通过局域网上网"},
      {TRUE, INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_PROXY, 2, "采用网卡通过局域网上网"},
      {TRUE, INTERNET_CONNECTION_PROXY, 3, "使用代理服务器上网"},
      {TRUE, INTERNET_CONNECTION_CONFIGURED, 4, "status?"},
      {TRUE, 0, 4, "status?"},
  };
  for (const Case& c : cases) {
    InstallFakeSystem();
    host->Reset();
    Fake().connectedResult = c.connected;
    Fake().connectedFlags = c.flags;
    CConnectManage manager;
    manager.SetConnectType(kConnectTypeRas);
    SCOPED_TRACE(c.status);
    EXPECT_EQ(manager.CheckNet(), c.result);
    EXPECT_EQ(host->Text(1015), c.status);

    host->SetText(1015, "untouched");
    const int listings = Fake().enumConnectionsCalls;
    EXPECT_EQ(manager.CheckNetType(), c.result);
    EXPECT_EQ(host->Text(1015), "untouched");
    EXPECT_EQ(Fake().enumConnectionsCalls, listings);
  }
}

TEST_F(DialTest, NetworkCheckWritesTheDefaultEntryConnection) {
  struct Case {
    const char* name;
    std::vector<std::string> entries;
    bool projectionFails;
    DWORD enumError;
    const char* address;
    const char* entry;
  };
  const Case cases[] = {
      {"none listed", {}, false, 0, "", ""},
      {"default entry", {"office vpn", kEntry}, false, 0, "10.0.0.9", kEntry},
      {"only another entry", {"office vpn"}, false, 0, "ip?", "name?"},
      {"projection fails", {kEntry}, true, 0, "", kEntry},
      {"listing fails", {kEntry}, false, 87, "ip?", "name?"},
      {"more than ten", std::vector<std::string>(11, kEntry), false, 0, "ip?", "name?"},
  };
  for (const Case& c : cases) {
    InstallFakeSystem();
    host->Reset();
    for (const std::string& entry : c.entries) Fake().AddConnection(entry);
    for (FakeConnection& connection : Fake().connections) connection.projectionFails = c.projectionFails;
    Fake().enumConnectionsError = c.enumError;
    CConnectManage manager;
    manager.CheckNet();
    SCOPED_TRACE(c.name);
    EXPECT_EQ(host->Text(1013), c.address);
    EXPECT_EQ(host->Text(1014), c.entry);
  }
}

TEST_F(DialTest, WithoutADialerNothingIsDialledAndNothingFails) {
  CConnectManage manager;
  char user[] = "demo";
  manager.SetConnectInfo(user, user, user);
  manager.SetHrasconnNull();
  EXPECT_EQ(manager.Connect(), 0);
  EXPECT_EQ(manager.GetConnectState(), 0);
  EXPECT_EQ(Fake().dialCalls, 0);
  manager.NewConnect(9);
  EXPECT_EQ(manager.Connect(), 0);
  manager.SetConnectType(kConnectTypeLan);
  EXPECT_EQ(manager.Connect(), 0);
  EXPECT_EQ(manager.GetConnectState(), 0);
  EXPECT_EQ(Fake().dialCalls, 0);
}

TEST_F(DialTest, WithoutARegisteredHostTheDialStillWorks) {
  LinkwellRegisterHost(nullptr, nullptr);
  CRasDial dialer;
  EXPECT_EQ(dialer.Connect(), 1);
  Fake().dialResult = 691;
  EXPECT_EQ(dialer.Connect(), 0);
  EXPECT_EQ(host->Text(1016), "message?");
  ExpectControls(*host, {true, true, true, true, true});
}

}  // namespace
