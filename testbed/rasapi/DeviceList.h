// The remote-access devices of the emulated machine. Portable.
#pragma once

#include <string>
#include <vector>

namespace rasemu {

struct Device {
  std::string type;  // "pppoe", "modem", ... as RASDEVINFOA.szDeviceType
  std::string name;
};

// The devices that a RASEMU_DEVICES value describes: "type:name" items separated by ";" (the
// first ":" of an item separates type from name; an item without one is a type with an empty
// name; empty items are skipped). A null value (variable not set) gives the default machine,
// one "pppoe" device named "WAN Miniport (PPPOE)"; an empty value gives no device at all.
std::vector<Device> ParseDeviceList(const char* value);

}  // namespace rasemu
