#include "testbed/rasapi/EntryFields.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "testbed/rasapi/CopyText.h"
#include "testbed/rasapi/StructureVersions.h"

namespace rasemu {

namespace {

enum class Kind { kNumber, kText, kAddress, kBytes };

struct Field {
  const char* key;
  std::size_t offset;
  std::size_t size;
  Kind kind;
};

#define RASEMU_FIELD(member, kind) \
  { #member, offsetof(EntryLatest, member), sizeof(static_cast <EntryLatest*>(nullptr)->member), kind }

const Field kFields[] = {
    RASEMU_FIELD(dwfOptions, Kind::kNumber),
    RASEMU_FIELD(dwCountryID, Kind::kNumber),
    RASEMU_FIELD(dwCountryCode, Kind::kNumber),
    RASEMU_FIELD(szAreaCode, Kind::kText),
    RASEMU_FIELD(szLocalPhoneNumber, Kind::kText),
    RASEMU_FIELD(ipaddr, Kind::kAddress),
    RASEMU_FIELD(ipaddrDns, Kind::kAddress),
    RASEMU_FIELD(ipaddrDnsAlt, Kind::kAddress),
    RASEMU_FIELD(ipaddrWins, Kind::kAddress),
    RASEMU_FIELD(ipaddrWinsAlt, Kind::kAddress),
    RASEMU_FIELD(dwFrameSize, Kind::kNumber),
    RASEMU_FIELD(dwfNetProtocols, Kind::kNumber),
    RASEMU_FIELD(dwFramingProtocol, Kind::kNumber),
    RASEMU_FIELD(szScript, Kind::kText),
    RASEMU_FIELD(szAutodialDll, Kind::kText),
    RASEMU_FIELD(szAutodialFunc, Kind::kText),
    RASEMU_FIELD(szDeviceType, Kind::kText),
    RASEMU_FIELD(szDeviceName, Kind::kText),
    RASEMU_FIELD(szX25PadType, Kind::kText),
    RASEMU_FIELD(szX25Address, Kind::kText),
    RASEMU_FIELD(szX25Facilities, Kind::kText),
    RASEMU_FIELD(szX25UserData, Kind::kText),
    RASEMU_FIELD(dwChannels, Kind::kNumber),
    RASEMU_FIELD(dwReserved1, Kind::kNumber),
    RASEMU_FIELD(dwReserved2, Kind::kNumber),
    RASEMU_FIELD(dwSubEntries, Kind::kNumber),
    RASEMU_FIELD(dwDialMode, Kind::kNumber),
    RASEMU_FIELD(dwDialExtraPercent, Kind::kNumber),
    RASEMU_FIELD(dwDialExtraSampleSeconds, Kind::kNumber),
    RASEMU_FIELD(dwHangUpExtraPercent, Kind::kNumber),
    RASEMU_FIELD(dwHangUpExtraSampleSeconds, Kind::kNumber),
    RASEMU_FIELD(dwIdleDisconnectSeconds, Kind::kNumber),
    RASEMU_FIELD(dwType, Kind::kNumber),
    RASEMU_FIELD(dwEncryptionType, Kind::kNumber),
    RASEMU_FIELD(dwCustomAuthKey, Kind::kNumber),
    RASEMU_FIELD(guidId, Kind::kBytes),
    RASEMU_FIELD(szCustomDialDll, Kind::kText),
    RASEMU_FIELD(dwVpnStrategy, Kind::kNumber),
    RASEMU_FIELD(dwfOptions2, Kind::kNumber),
    RASEMU_FIELD(dwfOptions3, Kind::kNumber),
    RASEMU_FIELD(szDnsSuffix, Kind::kText),
    RASEMU_FIELD(dwTcpWindowSize, Kind::kNumber),
    RASEMU_FIELD(szPrerequisitePbk, Kind::kText),
    RASEMU_FIELD(szPrerequisiteEntry, Kind::kText),
    RASEMU_FIELD(dwRedialCount, Kind::kNumber),
    RASEMU_FIELD(dwRedialPause, Kind::kNumber),
    RASEMU_FIELD(ipv6addrDns, Kind::kBytes),
    RASEMU_FIELD(ipv6addrDnsAlt, Kind::kBytes),
    RASEMU_FIELD(dwIPv4InterfaceMetric, Kind::kNumber),
    RASEMU_FIELD(dwIPv6InterfaceMetric, Kind::kNumber),
    RASEMU_FIELD(ipv6addr, Kind::kBytes),
    RASEMU_FIELD(dwIPv6PrefixLength, Kind::kNumber),
    RASEMU_FIELD(dwNetworkOutageTime, Kind::kNumber),
    RASEMU_FIELD(szIDi, Kind::kText),
    RASEMU_FIELD(szIDr, Kind::kText),
    RASEMU_FIELD(fIsImsConfig, Kind::kNumber),
    RASEMU_FIELD(IdiType, Kind::kNumber),
    RASEMU_FIELD(IdrType, Kind::kNumber),
    RASEMU_FIELD(fDisableIKEv2Fragmentation, Kind::kNumber),
};

#undef RASEMU_FIELD

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string FormatField(const Field& field, const unsigned char* base) {
  const unsigned char* at = base + field.offset;
  char text[64];
  switch (field.kind) {
    case Kind::kNumber: {
      DWORD value;
      memcpy(&value, at, sizeof(value));
      snprintf(text, sizeof(text), "%lu", static_cast<unsigned long>(value));
      return text;
    }
    case Kind::kText:
      return std::string(reinterpret_cast<const char*>(at),
                         strnlen(reinterpret_cast<const char*>(at), field.size));
    case Kind::kAddress:
      snprintf(text, sizeof(text), "%u.%u.%u.%u", at[0], at[1], at[2], at[3]);
      return text;
    case Kind::kBytes: {
      std::string hex;
      for (std::size_t i = 0; i < field.size; ++i) {
        snprintf(text, sizeof(text), "%02X", at[i]);
        hex += text;
      }
      return hex;
    }
  }
  return std::string();
}

void ParseField(const Field& field, const std::string& value, unsigned char* base) {
  unsigned char* at = base + field.offset;
  switch (field.kind) {
    case Kind::kNumber: {
      char* end = nullptr;
      const unsigned long number = strtoul(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0') return;
      const DWORD stored = static_cast<DWORD>(number);
      memcpy(at, &stored, sizeof(stored));
      return;
    }
    case Kind::kText:
      CopyText(reinterpret_cast<char*>(at), field.size, value);
      return;
    case Kind::kAddress: {
      unsigned parts[4];
      char extra;
      if (sscanf(value.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &extra) != 4)
        return;
      for (int i = 0; i < 4; ++i) {
        if (parts[i] > 255) return;
      }
      for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(parts[i]);
      return;
    }
    case Kind::kBytes: {
      if (value.size() != field.size * 2) return;
      unsigned char bytes[16];
      static_assert(sizeof(GUID) <= sizeof(bytes) && sizeof(in6_addr) <= sizeof(bytes), "byte fields");
      for (std::size_t i = 0; i < field.size && i < sizeof(bytes); ++i) {
        const int high = HexDigit(value[2 * i]);
        const int low = HexDigit(value[2 * i + 1]);
        if (high < 0 || low < 0) return;
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
      }
      memcpy(at, bytes, field.size);
      return;
    }
  }
}

}  // namespace

PhoneBookEntry EntryToValues(const char* name, const void* entry, DWORD size) {
  PhoneBookEntry values;
  values.name = name;
  const unsigned char* base = static_cast<const unsigned char*>(entry);
  for (const Field& field : kFields) {
    if (field.offset + field.size <= size) values.values.emplace_back(field.key, FormatField(field, base));
  }
  return values;
}

void ValuesToEntry(const PhoneBookEntry& values, void* entry, DWORD size) {
  unsigned char* base = static_cast<unsigned char*>(entry);
  for (const Field& field : kFields) {
    if (field.offset + field.size > size) continue;
    if (const std::string* value = values.Value(field.key)) ParseField(field, *value, base);
  }
}

}  // namespace rasemu
