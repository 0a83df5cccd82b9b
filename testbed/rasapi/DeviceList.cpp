#include "testbed/rasapi/DeviceList.h"

namespace rasemu {

std::vector<Device> ParseDeviceList(const char* value) {
  if (value == nullptr) return {{"pppoe", "WAN Miniport (PPPOE)"}};
  std::vector<Device> devices;
  const std::string text(value);
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find(';', begin);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(begin, end - begin);
    if (!item.empty()) {
      const std::size_t colon = item.find(':');
      if (colon == std::string::npos) {
        devices.push_back({item, ""});
      } else {
        devices.push_back({item.substr(0, colon), item.substr(colon + 1)});
      }
    }
    begin = end + 1;
  }
  return devices;
}

}  // namespace rasemu
