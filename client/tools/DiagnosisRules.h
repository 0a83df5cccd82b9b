// What a network diagnosis concludes from what the machine reports: the rows of the four detail
// pages, the result text and the picture each stage shows. The machine is read through
// CDiagnosisSource, so the same code runs on the system's answers and on a test's.
// Portable: no Windows header.
#pragma once

#include <string>
#include <vector>

namespace diagnosis {

// Messages of a card check (caption "提示", error icon).
extern const char kNoDeviceSetText[];  // no set of PCI network devices could be had
extern const char kNodeStatusText[];   // a device's node status could not be read
extern const char kRasMemoryText[];    // the remote-access device list could not be allocated

// Result texts: the disabled card's text has six leading blanks, the others four.
extern const char kCardDisabledText[];
extern const char kCableUnpluggedText[];
extern const char kWorkingText[];
extern const char kPppoeMissingText[];

// Cells of the device page.
extern const char kEnabledText[];
extern const char kDisabledText[];
extern const char kPluggedText[];
extern const char kUnpluggedText[];
extern const char kCableUnknownText[];

// The one remote-access device type that counts as the PPPoE driver, compared byte for byte.
extern const char kPppoeDeviceType[];
// The IP address text of an adapter without a link.
extern const char kNoAddress[];

// The node-status bit that says a device has a problem, and the problem number of a disabled one.
constexpr unsigned long kHasProblemBit = 0x400;
constexpr unsigned long kProblemDisabled = 22;

// The picture a stage shows.
enum class Picture { kNeutral, kWorking, kFaulty };

// One entry of the adapter table.
struct Adapter {
  std::string ip;                      // the first IP address string
  std::vector<unsigned char> address;  // the hardware address
  std::string description;
  std::string gateway;  // the first gateway address string; empty when none
};

// One remote-access device.
struct RasDevice {
  std::string type;
  std::string name;
};

// How the remote-access device list was read.
enum class RasListing { kListed, kAllocationFailed };

// The machine as a card check reads it. Devices are addressed by their enumeration index, from 0.
class CDiagnosisSource {
 public:
  virtual ~CDiagnosisSource() = default;
  // Gets the set of present PCI network-class devices; false when none could be had.
  virtual bool OpenDevices() = 0;
  // Whether the set has a device at index.
  virtual bool HasDevice(int index) = 0;
  // The device's description; false when it cannot be read.
  virtual bool DeviceDescription(int index, std::string* description) = 0;
  // The device's node status bits and problem number; false when they cannot be read.
  virtual bool NodeStatus(int index, unsigned long* status, unsigned long* problem) = 0;
  // Releases the set.
  virtual void CloseDevices() = 0;
  // The adapter table in list order; false when it cannot be read.
  virtual bool ReadAdapters(std::vector<Adapter>* adapters) = 0;
  // The remote-access devices in order; kAllocationFailed leaves devices empty.
  virtual RasListing ReadRasDevices(std::vector<RasDevice>* devices) = 0;
  // Shows a message of the card check.
  virtual void ShowError(const char* text) = 0;
};

// Rows of the detail pages; the first cell is the 1-based row number.
struct NumberedRow {
  std::string number;
  std::string text;
};
struct DeviceRow {
  std::string number, state, cable, description;
};
struct InterfaceRow {
  std::string number, ip, mac, description;
};

// What decided the summary: the outcome for the last device a card check looked at.
enum class CardOutcome {
  kNone,                // no device looked at
  kDisabled,            // the device is disabled
  kAdaptersUnreadable,  // enabled, but the adapter table could not be read
  kUnplugged,           // the last adapter has no address
  kNoRasDevice,         // plugged in, but the remote-access service lists no device
  kPppoeMissing,        // plugged in, no device of type "pppoe"
  kWorking,             // plugged in with a "pppoe" device
};

// The dialog's state as the card checks leave it: the two checked stacks, the result text, the
// rows of the four pages, and what decided. A new state is all neutral and empty.
struct DiagnosisState {
  Picture card = Picture::kNeutral;
  Picture driver = Picture::kNeutral;
  std::string result;
  std::vector<NumberedRow> drivers;
  std::vector<DeviceRow> devices;
  std::vector<InterfaceRow> interfaces;
  std::vector<NumberedRow> pppoe;
  CardOutcome outcome = CardOutcome::kNone;
  // The gateway of the last adapter that the last interface step read; empty when none.
  std::string cardGateway;
};

// The card check: empties the interface, device and driver pages, then looks at every present PCI
// network device in order (with the interface step for an enabled one and the PPPoE step after a
// plugged cable). Each device overwrites the result text and pictures of the one before it; what
// nothing writes keeps its earlier value. Messages go through source.ShowError.
void RunCardCheck(CDiagnosisSource& source, DiagnosisState& state);

// The hardware address as upper-case hexadecimal byte pairs joined by "-"; empty for none.
std::string MacText(const std::vector<unsigned char>& address);

// An IPv4 address between dotted text and the packed form of the address control (the first
// field in the highest byte). ParseDotted takes exactly four decimal fields of 0 to 255.
bool ParseDotted(const std::string& text, unsigned long* packed);
std::string DottedText(unsigned long packed);

// The provider side: the cable modem, the gateway and the authentication and accounting server.
enum ProviderStage { kModemStage, kGatewayStage, kServerStage, kProviderStages };

// How the cable-modem address was set in the modem dialog.
struct ModemSetting {
  bool autoDetect = false;
  std::string address;  // dotted text; empty when none was given
};

// The remote-access answer to a dial refused for its user name or password: the server answered.
constexpr unsigned long kAuthenticationRefused = 691;

// One stage's outcome: its picture and one line in plain words.
struct StageResult {
  Picture picture = Picture::kNeutral;
  std::string line;
};

// Whether the provider side is worth checking after this outcome: not when the card is disabled
// or its cable is unplugged.
bool ProviderReachable(CardOutcome outcome);
// Whether the server stage can dial after this outcome: the provider side is reachable and no
// card check found the machine without a "pppoe" device.
bool ServerCheckable(CardOutcome outcome);

// The address the modem stage pings: the one given in the modem dialog, or the card's gateway
// when the dialog was set to detect it or no address was given. Empty when there is none
// ("0.0.0.0" counts as none).
std::string ModemTarget(const ModemSetting& setting, const std::string& cardGateway);

// The outcome of a stage that ran. address: what was pinged; answered: whether it replied.
StageResult ModemResult(const std::string& address, bool answered);
StageResult GatewayResult(const std::string& address, bool answered);
// dialError: the remote-access answer to a dial with the probe's credentials (0: connected).
// Answered when 0 or kAuthenticationRefused.
StageResult ServerResult(unsigned long dialError);
// A stage that is not checked, and why, after the card check's outcome (for the modem: no
// address; for the gateway: no default gateway; for the server: no "pppoe" device).
StageResult StageSkipped(ProviderStage stage);
// A stage on its way.
StageResult StageRunning(ProviderStage stage, const std::string& address);
// The line of the whole provider side when a local fault keeps it from being checked.
extern const char kProviderUnreachableText[];
// The line added when a run is stopped.
extern const char kRunStoppedText[];

// The provider lines for the result area: the non-empty lines of the stages, in stage order,
// joined by "\n".
std::string ProviderText(const StageResult (&stages)[kProviderStages]);

}  // namespace diagnosis
