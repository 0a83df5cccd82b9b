#include "client/tools/DiagnosisRules.h"

#include <cstdio>

namespace diagnosis {

const char kNoDeviceSetText[] = "没有找到有效的PCI网卡设备!";
const char kNodeStatusText[] = "没有找到合适的网卡";
const char kRasMemoryText[] = "内存分配错误";

const char kCardDisabledText[] =
    "      网卡被禁用，请启用网卡\n*** 提示：您可以勾上左下角的复选框查看详细诊断信息。 ***";
const char kCableUnpluggedText[] =
    "    请检查你的网线是否插上\n*** 提示：您可以勾上左下角的复选框查看详细诊断信息。 ***";
const char kWorkingText[] = "    本机工作正常\n*** 提示：您可以勾上左下角的复选框查看详细诊断信息。 ***";
const char kPppoeMissingText[] =
    "    PPPOE未检测到\n*** 提示：您可以勾上左下角的复选框查看详细诊断信息。 ***";

const char kEnabledText[] = "已启用";
const char kDisabledText[] = "已禁用";
const char kPluggedText[] = "已插上";
const char kUnpluggedText[] = "未插上";
const char kCableUnknownText[] = "未知";

const char kPppoeDeviceType[] = "pppoe";
const char kNoAddress[] = "0.0.0.0";

const char kProviderUnreachableText[] = "局端：本机有故障，没有检测。";
const char kRunStoppedText[] = "诊断已停止。";

namespace {

std::string Number(size_t zeroBased) {
  return std::to_string(zeroBased + 1);
}

// The PPPoE step: the remote-access devices decide the driver picture and the result text.
void PppoeStep(CDiagnosisSource& source, DiagnosisState& state) {
  state.pppoe.clear();
  std::vector<RasDevice> devices;
  if (source.ReadRasDevices(&devices) == RasListing::kAllocationFailed) {
    source.ShowError(kRasMemoryText);
    return;
  }
  std::string found;
  state.outcome = CardOutcome::kNoRasDevice;
  for (const RasDevice& device : devices) {
    if (device.type == kPppoeDeviceType) {
      found = device.name;
      state.card = Picture::kWorking;
      state.driver = Picture::kWorking;
      state.result = kWorkingText;
      state.outcome = CardOutcome::kWorking;
      break;
    }
    state.card = Picture::kWorking;
    state.driver = Picture::kFaulty;
    state.result = kPppoeMissingText;
    state.outcome = CardOutcome::kPppoeMissing;
  }
  state.pppoe.push_back(NumberedRow{"1", found});
}

// The interface step of an enabled device: appends the adapter rows and returns the cable state.
std::string InterfaceStep(CDiagnosisSource& source, DiagnosisState& state) {
  std::vector<Adapter> adapters;
  if (!source.ReadAdapters(&adapters)) {
    state.outcome = CardOutcome::kAdaptersUnreadable;
    return std::string();
  }
  for (size_t n = 0; n < adapters.size(); ++n) {
    const Adapter& adapter = adapters[n];
    state.interfaces.push_back(
        InterfaceRow{Number(n), adapter.ip, MacText(adapter.address), adapter.description});
  }
  if (adapters.empty()) {
    // A table that reads without a single adapter says nothing about a cable.
    state.outcome = CardOutcome::kAdaptersUnreadable;
    return std::string();
  }
  state.cardGateway = adapters.back().gateway;
  if (adapters.back().ip == kNoAddress) {
    state.card = Picture::kFaulty;
    state.driver = Picture::kNeutral;
    state.result = kCableUnpluggedText;
    state.outcome = CardOutcome::kUnplugged;
    return kUnpluggedText;
  }
  PppoeStep(source, state);
  return kPluggedText;
}

}  // namespace

void RunCardCheck(CDiagnosisSource& source, DiagnosisState& state) {
  state.interfaces.clear();
  state.devices.clear();
  state.drivers.clear();
  state.outcome = CardOutcome::kNone;
  state.cardGateway.clear();
  if (!source.OpenDevices()) {
    source.ShowError(kNoDeviceSetText);
    return;
  }
  for (int e = 0; source.HasDevice(e); ++e) {
    DeviceRow row;
    row.number = Number(static_cast<size_t>(e));
    std::string description;
    if (source.DeviceDescription(e, &description)) {
      state.drivers.push_back(NumberedRow{row.number, description});
      row.description = description;
    }
    unsigned long status = 0, problem = 0;
    bool disabled = false;
    if (source.NodeStatus(e, &status, &problem)) {
      disabled = (status & kHasProblemBit) != 0 && problem == kProblemDisabled;
    } else {
      source.ShowError(kNodeStatusText);
    }
    row.state = disabled ? kDisabledText : kEnabledText;
    // The row is in the page before the steps run, as the user sees it fill.
    state.devices.push_back(row);
    std::string cable;
    if (disabled) {
      cable = kCableUnknownText;
      state.result = kCardDisabledText;
      state.card = Picture::kFaulty;
      state.driver = Picture::kNeutral;
      state.outcome = CardOutcome::kDisabled;
      state.cardGateway.clear();
    } else {
      cable = InterfaceStep(source, state);
    }
    state.devices.back().cable = cable;
  }
  source.CloseDevices();
}

std::string MacText(const std::vector<unsigned char>& address) {
  std::string text;
  char pair[4];
  for (size_t i = 0; i < address.size(); ++i) {
    snprintf(pair, sizeof(pair), "%02X", address[i]);
    if (i > 0) text += '-';
    text += pair;
  }
  return text;
}

bool ParseDotted(const std::string& text, unsigned long* packed) {
  unsigned long value = 0;
  int fields = 0;
  size_t i = 0;
  while (fields < 4) {
    unsigned long field = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      field = field * 10 + static_cast<unsigned long>(text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || field > 255) return false;
    value = (value << 8) | field;
    ++fields;
    if (fields < 4) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
  }
  if (i != text.size()) return false;
  *packed = value;
  return true;
}

std::string DottedText(unsigned long packed) {
  char text[16];
  snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu", (packed >> 24) & 0xFF, (packed >> 16) & 0xFF,
           (packed >> 8) & 0xFF, packed & 0xFF);
  return text;
}

bool ProviderReachable(CardOutcome outcome) {
  return outcome != CardOutcome::kDisabled && outcome != CardOutcome::kUnplugged;
}

bool ServerCheckable(CardOutcome outcome) {
  return ProviderReachable(outcome) && outcome != CardOutcome::kPppoeMissing &&
         outcome != CardOutcome::kNoRasDevice;
}

std::string ModemTarget(const ModemSetting& setting, const std::string& cardGateway) {
  std::string target = setting.autoDetect || setting.address.empty() ? cardGateway : setting.address;
  if (target == kNoAddress) target.clear();
  return target;
}

StageResult ModemResult(const std::string& address, bool answered) {
  StageResult result;
  result.picture = answered ? Picture::kWorking : Picture::kFaulty;
  result.line =
      "Kavrin Modem（" + address + "）：" + (answered ? "应答正常。" : "没有应答，请检查Modem的电源和连线。");
  return result;
}

StageResult GatewayResult(const std::string& address, bool answered) {
  StageResult result;
  result.picture = answered ? Picture::kWorking : Picture::kFaulty;
  result.line = "网关（" + address + "）：" + (answered ? "应答正常。" : "没有应答。");
  return result;
}

StageResult ServerResult(unsigned long dialError) {
  StageResult result;
  if (dialError == 0 || dialError == kAuthenticationRefused) {
    result.picture = Picture::kWorking;
    result.line = "认证计费服务器：应答正常。";
    return result;
  }
  char line[128];
  snprintf(line, sizeof(line), "认证计费服务器：没有应答（错误代码 %lu）。", dialError);
  result.picture = Picture::kFaulty;
  result.line = line;
  return result;
}

StageResult StageSkipped(ProviderStage stage) {
  StageResult result;
  switch (stage) {
    case kModemStage:
      result.line = "Kavrin Modem：不知道它的地址，没有检测。您可以在“配置”中输入Modem的IP地址。";
      break;
    case kGatewayStage:
      result.line = "网关：没有找到默认网关，没有检测。";
      break;
    default:
      result.line = "认证计费服务器：没有PPPOE虚拟网卡，没有检测。";
      break;
  }
  return result;
}

StageResult StageRunning(ProviderStage stage, const std::string& address) {
  StageResult result;
  switch (stage) {
    case kModemStage:
      result.line = "Kavrin Modem（" + address + "）：正在检测……";
      break;
    case kGatewayStage:
      result.line = "网关（" + address + "）：正在检测……";
      break;
    default:
      result.line = "认证计费服务器：正在检测……";
      break;
  }
  return result;
}

std::string ProviderText(const StageResult (&stages)[kProviderStages]) {
  std::string text;
  for (const StageResult& stage : stages) {
    if (stage.line.empty()) continue;
    if (!text.empty()) text += '\n';
    text += stage.line;
  }
  return text;
}

}  // namespace diagnosis
