// The default entry: creation on the first PPPoE device, its messages, and the entry-name callback.
#include <windows.h>

#include <raserror.h>

#include <cstring>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "dialengine/ConnectManage.h"

namespace {

const char kTitle[] = "远岸宽带拨号客户端";
const char kNoDriver[] = "没有检测到PPPOE驱动，请先安装PPPOE驱动!";

struct Reported {
  std::vector<std::string> names;
  std::vector<void*> data;
};

int Record(char* name, void* data) {
  Reported* reported = static_cast<Reported*>(data);
  reported->names.push_back(name);
  reported->data.push_back(data);
  return 7;
}

int Other(char*, void* data) {
  static_cast<Reported*>(data)->names.push_back("other callback");
  return 0;
}

class EntryTest : public EngineTest {};

TEST_F(EntryTest, ExistingEntryIsReportedAndNothingCreated) {
  Fake().validateResult = ERROR_ALREADY_EXISTS;
  Fake().devices = {{"pppoe", "WAN Miniport (PPPOE)"}};
  Reported reported;
  CConnectManage manager;
  manager.InsertEntryName(&Record, nullptr, &reported);
  manager.EnumEntry();
  EXPECT_EQ(Fake().setEntryCalls, 0);
  EXPECT_TRUE(Fake().boxes.empty());
  ASSERT_EQ(reported.names, std::vector<std::string>{"pppoe_vorlan_default_entry"});
  EXPECT_EQ(reported.data[0], &reported);
}

TEST_F(EntryTest, AnyOtherValidationAnswerCreatesTheEntry) {
  for (DWORD answer : {DWORD{0}, DWORD{623}, DWORD{87}, DWORD{5}}) {
    InstallFakeSystem();
    Fake().validateResult = answer;
    Fake().devices = {{"pppoe", "WAN Miniport (PPPOE)"}};
    CConnectManage manager;
    manager.EnumEntry();
    EXPECT_EQ(Fake().setEntryCalls, 1) << "validation answer " << answer;
  }
}

TEST_F(EntryTest, CreatesTheEntryOnTheFirstLowerCasePppoeDevice) {
  Fake().devices = {{"modem", "Standard Modem"},
                    {"PPPoE", "Upper Case Miniport"},
                    {"pppoe", "WAN Miniport (PPPOE)"},
                    {"pppoe", "Second PPPoE Adapter"}};
  CConnectManage manager;
  EXPECT_EQ(manager.CreateDefaultEntry(), 1);
  EXPECT_TRUE(Fake().boxes.empty());
  ASSERT_EQ(Fake().setEntryCalls, 1);
  EXPECT_TRUE(Fake().setEntryPhoneBookNull);
  EXPECT_EQ(Fake().setEntryName, "pppoe_vorlan_default_entry");
  EXPECT_EQ(Fake().setEntrySize, sizeof(RASENTRYA));
  EXPECT_TRUE(Fake().setEntryDeviceInfoNull);
  EXPECT_EQ(Fake().setEntryDeviceInfoSize, 0u);

  // Every field but these stays zero: no phone number, area code, script or name servers.
  RASENTRYA expected = {};
  expected.dwSize = sizeof(RASENTRYA);
  expected.dwfOptions = 0x210;
  expected.dwfNetProtocols = 4;
  expected.dwFramingProtocol = 1;
  strcpy(expected.szDeviceType, "pppoe");
  strcpy(expected.szDeviceName, "WAN Miniport (PPPOE)");
  expected.dwType = 5;
  EXPECT_EQ(memcmp(&Fake().setEntry, &expected, sizeof(expected)), 0);
}

TEST_F(EntryTest, WithoutALowerCasePppoeDeviceTheDriverMessageShowsOnce) {
  const std::vector<std::vector<FakeDevice>> cases = {
      {},
      {{"PPPoE", "Upper Case Miniport"}},
      {{"modem", "Standard Modem"}, {"isdn", "ISDN Adapter"}, {"pppoex", "Almost"}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    InstallFakeSystem();
    Fake().devices = cases[i];
    Reported reported;
    CConnectManage manager;
    manager.InsertEntryName(&Record, nullptr, &reported);
    manager.EnumEntry();
    SCOPED_TRACE(i);
    EXPECT_EQ(Fake().setEntryCalls, 0);
    ASSERT_EQ(Fake().boxes.size(), 1u);
    EXPECT_EQ(Fake().boxes[0].text, kNoDriver);
    EXPECT_EQ(Fake().boxes[0].caption, kTitle);
    EXPECT_EQ(Fake().boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    EXPECT_EQ(reported.names, std::vector<std::string>{"pppoe_vorlan_default_entry"});
  }
}

TEST_F(EntryTest, FailuresShowTheirCodeAndReturnZero) {
  struct Case {
    DWORD enumError;
    DWORD setError;
    const char* text;
    int setCalls;
  };
  const Case cases[] = {
      {610, 0, "RasEnumDevices failed: Error 610", 0},
      {ERROR_BUFFER_TOO_SMALL, 0, "RasEnumDevices failed: Error 603", 0},
      {0, 87, "建立默认拨号连接失败: Error 87", 1},
      {0, 621, "建立默认拨号连接失败: Error 621", 1},
  };
  for (const Case& c : cases) {
    InstallFakeSystem();
    Fake().devices = {{"pppoe", "WAN Miniport (PPPOE)"}};
    Fake().enumDevicesError = c.enumError;
    Fake().setEntryResult = c.setError;
    CConnectManage manager;
    SCOPED_TRACE(c.text);
    EXPECT_EQ(manager.CreateDefaultEntry(), 0);
    EXPECT_EQ(Fake().setEntryCalls, c.setCalls);
    ASSERT_EQ(Fake().boxes.size(), 1u);
    EXPECT_EQ(Fake().boxes[0].text, c.text);
    EXPECT_EQ(Fake().boxes[0].caption, kTitle);
    EXPECT_EQ(Fake().boxes[0].owner, host->Window());
  }
}

TEST_F(EntryTest, EnumEntryStillReportsTheNameWhenCreationFails) {
  Fake().devices = {{"pppoe", "WAN Miniport (PPPOE)"}};
  Fake().setEntryResult = 5;
  Reported reported;
  CConnectManage manager;
  manager.InsertEntryName(&Record, nullptr, &reported);
  manager.EnumEntry();
  EXPECT_EQ(Fake().boxes.size(), 1u);
  EXPECT_EQ(reported.names.size(), 1u);
}

TEST_F(EntryTest, FirstRegistrationOfCallbackAndDataWins) {
  Reported first;
  Reported second;
  CConnectManage manager;
  char name[] = "pppoe_vorlan_default_entry";
  manager.InsertEntryName(nullptr, name, &first);  // no callback yet: ignored, but the data is kept
  manager.InsertEntryName(&Record, nullptr, nullptr);
  manager.InsertEntryName(&Other, nullptr, &second);
  EXPECT_TRUE(first.names.empty());
  manager.InsertEntryName(nullptr, name, nullptr);
  char another[] = "another";
  manager.InsertEntryName(&Other, another, &second);
  EXPECT_EQ(first.names, (std::vector<std::string>{"pppoe_vorlan_default_entry", "another"}));
  EXPECT_EQ(first.data, (std::vector<void*>{&first, &first}));
  EXPECT_TRUE(second.names.empty());
}

TEST_F(EntryTest, WithoutAHostTheMessageHasNoOwnerAndNothingFails) {
  host.reset();
  Fake().devices = {};
  CConnectManage manager;
  EXPECT_EQ(manager.CreateDefaultEntry(), 0);
  ASSERT_EQ(Fake().boxes.size(), 1u);
  EXPECT_EQ(Fake().boxes[0].owner, nullptr);
}

}  // namespace
