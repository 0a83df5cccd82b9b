// What a diagnosis concludes from the machine: the card check over a fake machine (rows, result
// texts, pictures, messages), and the provider stages' decisions and lines.
#include "client/tools/DiagnosisRules.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace diagnosis;
using Rows = std::vector<std::vector<std::string>>;

struct FakeDevice {
  std::string description;
  bool descriptionRead = true;
  bool statusRead = true;
  unsigned long status = 0x0180a;  // started, no problem
  unsigned long problem = 0;
};

// A machine that answers the card check from its fields and records what was asked.
class FakeMachine : public CDiagnosisSource {
 public:
  bool deviceSet = true;
  std::vector<FakeDevice> devices;
  bool adaptersRead = true;
  std::vector<Adapter> adapters;
  bool rasAllocationFails = false;
  std::vector<RasDevice> ras;

  std::vector<std::string> messages;
  int adapterReads = 0;
  int rasReads = 0;
  bool setOpen = false;

  bool OpenDevices() override {
    setOpen = deviceSet;
    return deviceSet;
  }
  bool HasDevice(int index) override {
    EXPECT_TRUE(setOpen) << "a device asked for outside the set's life";
    return index >= 0 && index < static_cast<int>(devices.size());
  }
  bool DeviceDescription(int index, std::string* description) override {
    if (!devices[index].descriptionRead) return false;
    *description = devices[index].description;
    return true;
  }
  bool NodeStatus(int index, unsigned long* status, unsigned long* problem) override {
    if (!devices[index].statusRead) return false;
    *status = devices[index].status;
    *problem = devices[index].problem;
    return true;
  }
  void CloseDevices() override {
    EXPECT_TRUE(setOpen) << "a set released that was never had";
    setOpen = false;
  }
  bool ReadAdapters(std::vector<Adapter>* list) override {
    ++adapterReads;
    if (adaptersRead) *list = adapters;
    return adaptersRead;
  }
  RasListing ReadRasDevices(std::vector<RasDevice>* list) override {
    ++rasReads;
    if (rasAllocationFails) return RasListing::kAllocationFailed;
    *list = ras;
    return RasListing::kListed;
  }
  void ShowError(const char* text) override { messages.push_back(text); }
};

const char kCardName[] = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
const char kSecondCardName[] = "Intel(R) PRO/100 VE Network Connection";
const char kMiniport[] = "WAN Miniport (PPPOE)";
const unsigned long kDisabledStatus = 0x01802400;  // has a problem, ...
const char kEarlierText[] = "an earlier result";

Adapter MakeAdapter(const std::string& ip, const std::string& gateway = "") {
  Adapter adapter;
  adapter.ip = ip;
  adapter.address = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  adapter.description = kCardName;
  adapter.gateway = gateway;
  return adapter;
}

FakeDevice Enabled(const char* name) {
  FakeDevice device;
  device.description = name;
  return device;
}

FakeDevice Disabled(const char* name) {
  FakeDevice device;
  device.description = name;
  device.status = kDisabledStatus;
  device.problem = kProblemDisabled;
  return device;
}

// One card, cable in, a "pppoe" device among others.
FakeMachine WorkingMachine() {
  FakeMachine machine;
  machine.devices = {Enabled(kCardName)};
  // Only the last adapter's address speaks for the cable.
  machine.adapters = {MakeAdapter("0.0.0.0"), MakeAdapter("192.168.1.20", "192.168.1.1")};
  machine.ras = {{"modem", "Standard 56000 bps Modem"}, {"pppoe", kMiniport}, {"vpn", "WAN Miniport (PPTP)"}};
  return machine;
}

Rows DeviceRows(const DiagnosisState& state) {
  Rows rows;
  for (const DeviceRow& row : state.devices)
    rows.push_back({row.number, row.state, row.cable, row.description});
  return rows;
}

Rows NumberedRows(const std::vector<NumberedRow>& list) {
  Rows rows;
  for (const NumberedRow& row : list) rows.push_back({row.number, row.text});
  return rows;
}

Rows InterfaceRows(const DiagnosisState& state) {
  Rows rows;
  for (const InterfaceRow& row : state.interfaces)
    rows.push_back({row.number, row.ip, row.mac, row.description});
  return rows;
}

struct CardCase {
  const char* name;
  std::function<FakeMachine()> machine;
  // What the dialog showed before the check.
  std::function<void(DiagnosisState&)> before;
  Picture card, driver;
  std::string result;
  Rows devices;
  Rows drivers;
  size_t interfaces;
  Rows pppoe;
  std::vector<std::string> messages;
  CardOutcome outcome;
};

TEST(CardCheckTest, TheMachineDecidesRowsTextsPicturesAndMessages) {
  const std::string plugged = kPluggedText;
  const std::vector<CardCase> cases = {
      {"one enabled card with its cable and a pppoe device",
       WorkingMachine,
       nullptr,
       Picture::kWorking,
       Picture::kWorking,
       kWorkingText,
       Rows{{"1", kEnabledText, plugged, kCardName}},
       Rows{{"1", kCardName}},
       2,
       Rows{{"1", kMiniport}},
       {},
       CardOutcome::kWorking},
      {"a device type spelled in capitals is not the pppoe driver",
       [] {
         FakeMachine m = WorkingMachine();
         m.ras = {{"PPPoE", kMiniport}, {"vpn", "WAN Miniport (PPTP)"}};
         return m;
       },
       nullptr,
       Picture::kWorking,
       Picture::kFaulty,
       kPppoeMissingText,
       Rows{{"1", kEnabledText, plugged, kCardName}},
       Rows{{"1", kCardName}},
       2,
       Rows{{"1", ""}},
       {},
       CardOutcome::kPppoeMissing},
      {"no remote-access device at all leaves pictures and text as they were",
       [] {
         FakeMachine m = WorkingMachine();
         m.ras.clear();
         return m;
       },
       [](DiagnosisState& s) { s.result = kEarlierText; },
       Picture::kNeutral,
       Picture::kNeutral,
       kEarlierText,
       Rows{{"1", kEnabledText, plugged, kCardName}},
       Rows{{"1", kCardName}},
       2,
       Rows{{"1", ""}},
       {},
       CardOutcome::kNoRasDevice},
      {"the last adapter without an address means the cable is out",
       [] {
         FakeMachine m = WorkingMachine();
         m.adapters = {MakeAdapter("192.168.1.20"), MakeAdapter("0.0.0.0")};
         return m;
       },
       [](DiagnosisState& s) { s.driver = Picture::kWorking; },
       Picture::kFaulty,
       Picture::kNeutral,
       kCableUnpluggedText,
       Rows{{"1", kEnabledText, kUnpluggedText, kCardName}},
       Rows{{"1", kCardName}},
       2,
       Rows{},
       {},
       CardOutcome::kUnplugged},
      {"a disabled card",
       [] {
         FakeMachine m = WorkingMachine();
         m.devices = {Disabled(kCardName)};
         return m;
       },
       [](DiagnosisState& s) { s.driver = Picture::kFaulty; },
       Picture::kFaulty,
       Picture::kNeutral,
       kCardDisabledText,
       Rows{{"1", kDisabledText, kCableUnknownText, kCardName}},
       Rows{{"1", kCardName}},
       0,
       Rows{},
       {},
       CardOutcome::kDisabled},
      {"two cards: the second, disabled, decides",
       [] {
         FakeMachine m = WorkingMachine();
         m.devices = {Enabled(kCardName), Disabled(kSecondCardName)};
         return m;
       },
       nullptr,
       Picture::kFaulty,
       Picture::kNeutral,
       kCardDisabledText,
       Rows{{"1", kEnabledText, plugged, kCardName},
            {"2", kDisabledText, kCableUnknownText, kSecondCardName}},
       Rows{{"1", kCardName}, {"2", kSecondCardName}},
       2,
       Rows{{"1", kMiniport}},
       {},
       CardOutcome::kDisabled},
      {"two cards: the second, with a problem other than disabled, counts as enabled and decides",
       [] {
         FakeMachine m = WorkingMachine();
         FakeDevice troubled = Enabled(kSecondCardName);
         troubled.status = kDisabledStatus;
         troubled.problem = 28;
         m.devices = {Disabled(kCardName), troubled};
         return m;
       },
       nullptr,
       Picture::kWorking,
       Picture::kWorking,
       kWorkingText,
       Rows{{"1", kDisabledText, kCableUnknownText, kCardName},
            {"2", kEnabledText, plugged, kSecondCardName}},
       Rows{{"1", kCardName}, {"2", kSecondCardName}},
       2,
       Rows{{"1", kMiniport}},
       {},
       CardOutcome::kWorking},
      {"an unreadable node status is reported once per device, which then counts as enabled",
       [] {
         FakeMachine m = WorkingMachine();
         m.devices = {Enabled(kCardName), Enabled(kSecondCardName)};
         m.devices[0].statusRead = false;
         m.devices[1].statusRead = false;
         m.devices[1].descriptionRead = false;
         return m;
       },
       nullptr,
       Picture::kWorking,
       Picture::kWorking,
       kWorkingText,
       Rows{{"1", kEnabledText, plugged, kCardName}, {"2", kEnabledText, plugged, ""}},
       Rows{{"1", kCardName}},
       4,
       Rows{{"1", kMiniport}},
       {kNodeStatusText, kNodeStatusText},
       CardOutcome::kWorking},
      {"no device set: a message, pages emptied, pictures and text kept",
       [] {
         FakeMachine m = WorkingMachine();
         m.deviceSet = false;
         return m;
       },
       [](DiagnosisState& s) {
         s.result = kEarlierText;
         s.card = Picture::kWorking;
         s.drivers = {{"1", "old"}};
         s.devices = {{"1", kEnabledText, kPluggedText, "old"}};
         s.interfaces = {{"1", "10.0.0.1", "", "old"}};
         s.pppoe = {{"1", "kept"}};
       },
       Picture::kWorking,
       Picture::kNeutral,
       kEarlierText,
       Rows{},
       Rows{},
       0,
       Rows{{"1", "kept"}},
       {kNoDeviceSetText},
       CardOutcome::kNone},
      {"the device list cannot be allocated: a message, an empty page, pictures kept",
       [] {
         FakeMachine m = WorkingMachine();
         m.rasAllocationFails = true;
         return m;
       },
       [](DiagnosisState& s) {
         s.pppoe = {{"1", "old"}};
       },
       Picture::kNeutral,
       Picture::kNeutral,
       "",
       Rows{{"1", kEnabledText, plugged, kCardName}},
       Rows{{"1", kCardName}},
       2,
       Rows{},
       {kRasMemoryText},
       CardOutcome::kNone},
      {"an unreadable adapter table leaves the cable state empty without a message",
       [] {
         FakeMachine m = WorkingMachine();
         m.adaptersRead = false;
         return m;
       },
       nullptr,
       Picture::kNeutral,
       Picture::kNeutral,
       "",
       Rows{{"1", kEnabledText, "", kCardName}},
       Rows{{"1", kCardName}},
       0,
       Rows{},
       {},
       CardOutcome::kAdaptersUnreadable},
  };
  for (const CardCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMachine machine = c.machine();
    DiagnosisState state;
    if (c.before) c.before(state);
    RunCardCheck(machine, state);
    EXPECT_EQ(state.card, c.card);
    EXPECT_EQ(state.driver, c.driver);
    EXPECT_EQ(state.result, c.result);
    EXPECT_EQ(DeviceRows(state), c.devices);
    EXPECT_EQ(NumberedRows(state.drivers), c.drivers);
    EXPECT_EQ(state.interfaces.size(), c.interfaces);
    EXPECT_EQ(NumberedRows(state.pppoe), c.pppoe);
    EXPECT_EQ(machine.messages, c.messages);
    EXPECT_EQ(state.outcome, c.outcome);
    EXPECT_FALSE(machine.setOpen) << "the device set was not released";
  }
}

TEST(CardCheckTest, TheInterfacePageShowsEachAdapterAndTheDisabledCardReadsNothingMore) {
  FakeMachine machine = WorkingMachine();
  DiagnosisState state;
  RunCardCheck(machine, state);
  const Rows expected = {{"1", "0.0.0.0", "00-1A-2B-3C-4D-5E", kCardName},
                         {"2", "192.168.1.20", "00-1A-2B-3C-4D-5E", kCardName}};
  EXPECT_EQ(InterfaceRows(state), expected);
  EXPECT_EQ(state.cardGateway, "192.168.1.1");

  // A second check starts the pages afresh.
  RunCardCheck(machine, state);
  EXPECT_EQ(InterfaceRows(state), expected);
  EXPECT_EQ(DeviceRows(state).size(), 1u);

  FakeMachine disabled = WorkingMachine();
  disabled.devices = {Disabled(kCardName)};
  RunCardCheck(disabled, state);
  EXPECT_EQ(disabled.adapterReads, 0);
  EXPECT_EQ(disabled.rasReads, 0);
  // Six leading blanks for the disabled card, four for the other texts.
  EXPECT_EQ(std::string(kCardDisabledText).find_first_not_of(' '), 6u);
  for (const char* text : {kCableUnpluggedText, kWorkingText, kPppoeMissingText}) {
    EXPECT_EQ(std::string(text).find_first_not_of(' '), 4u) << text;
  }
}

TEST(ProviderRulesTest, StagesAreCheckedWhereTheLocalSideAllowsAndSayWhatTheyFound) {
  struct Reach {
    CardOutcome outcome;
    bool reachable, server;
  };
  const Reach reaches[] = {
      {CardOutcome::kNone, true, true},
      {CardOutcome::kDisabled, false, false},
      {CardOutcome::kAdaptersUnreadable, true, true},
      {CardOutcome::kUnplugged, false, false},
      {CardOutcome::kNoRasDevice, true, false},
      {CardOutcome::kPppoeMissing, true, false},
      {CardOutcome::kWorking, true, true},
  };
  for (const Reach& r : reaches) {
    EXPECT_EQ(ProviderReachable(r.outcome), r.reachable) << static_cast<int>(r.outcome);
    EXPECT_EQ(ServerCheckable(r.outcome), r.server) << static_cast<int>(r.outcome);
  }

  struct Target {
    bool autoDetect;
    const char* address;
    const char* gateway;
    const char* expected;
  };
  const Target targets[] = {
      {false, "192.168.100.1", "192.168.1.1", "192.168.100.1"},
      {true, "192.168.100.1", "192.168.1.1", "192.168.1.1"},  // automatic: the card's gateway
      {false, "", "192.168.1.1", "192.168.1.1"},              // nothing given: the same
      {true, "", "0.0.0.0", ""},
      {false, "", "", ""},
  };
  for (const Target& t : targets) {
    ModemSetting setting;
    setting.autoDetect = t.autoDetect;
    setting.address = t.address;
    EXPECT_EQ(ModemTarget(setting, t.gateway), t.expected) << t.address << " " << t.gateway;
  }

  // A refused dial means the server answered; no answer is a fault, with its code for support.
  EXPECT_EQ(ServerResult(kAuthenticationRefused).picture, Picture::kWorking);
  EXPECT_EQ(ServerResult(0).picture, Picture::kWorking);
  const StageResult silent = ServerResult(678);
  EXPECT_EQ(silent.picture, Picture::kFaulty);
  EXPECT_NE(silent.line.find("678"), std::string::npos);
  EXPECT_EQ(ModemResult("192.168.100.1", false).picture, Picture::kFaulty);
  EXPECT_NE(GatewayResult("10.0.0.1", true).line.find("10.0.0.1"), std::string::npos);
  EXPECT_EQ(StageSkipped(kGatewayStage).picture, Picture::kNeutral);

  const StageResult stages[kProviderStages] = {ModemResult("192.168.100.1", true), StageResult(),
                                               ServerResult(691)};
  EXPECT_EQ(ProviderText(stages), stages[0].line + "\n" + stages[2].line);
}

TEST(AddressTextTest, DottedAddressesAndHardwareAddresses) {
  unsigned long packed = 0;
  ASSERT_TRUE(ParseDotted("192.168.100.1", &packed));
  EXPECT_EQ(packed, 0xC0A86401ul);
  EXPECT_EQ(DottedText(packed), "192.168.100.1");
  for (const char* bad :
       {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "a.b.c.d", "1.2.3.4 ", "0001.2.3.4"}) {
    EXPECT_FALSE(ParseDotted(bad, &packed)) << bad;
  }
  EXPECT_EQ(MacText({}), "");
  EXPECT_EQ(MacText({0x00, 0x0a, 0xFF}), "00-0A-FF");
}

}  // namespace
