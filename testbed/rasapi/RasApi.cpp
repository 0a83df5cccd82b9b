// The exported remote-access functions of the stand-in rasapi32.dll, with the documented
// semantics of Windows: size fields checked against every structure version (ERROR_INVALID_SIZE),
// buffers sized by the caller and reported back (ERROR_BUFFER_TOO_SMALL with the size and count
// needed), dead handles refused (ERROR_INVALID_HANDLE). Connections are the access server's lines,
// so they are the machine's, not the process's: listed from the first moment of a dial, walked
// through its states, torn down for a while after a hang-up or a drop.
#include <winsock2.h>

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testbed/rasapi/ConnectedState.h"
#include "testbed/rasapi/Connections.h"
#include "testbed/rasapi/CopyText.h"
#include "testbed/rasapi/DeviceList.h"
#include "testbed/rasapi/EntryFields.h"
#include "testbed/rasapi/ErrorText.h"
#include "testbed/rasapi/Notifications.h"
#include "testbed/rasapi/PhoneBook.h"
#include "testbed/rasapi/ServerLink.h"
#include "testbed/rasapi/StructureVersions.h"

namespace {

using rasemu::CopyText;

// The dial waits for the server's negotiation time, which can be set up to ten minutes.
constexpr DWORD kDialTimeoutMs = 660000;
constexpr DWORD kRequestTimeoutMs = 10000;
constexpr char kServerAddress[] = "203.0.113.1";

bool ReadEnvironment(const char* name, std::string* value) {
  SetLastError(0);
  char small[512];
  DWORD length = GetEnvironmentVariableA(name, small, sizeof(small));
  if (length == 0) {
    value->clear();
    return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  }
  if (length < sizeof(small)) {
    value->assign(small, length);
    return true;
  }
  std::vector<char> large(length);
  length = GetEnvironmentVariableA(name, large.data(), static_cast<DWORD>(large.size()));
  value->assign(large.data(), length < large.size() ? length : 0);
  return true;
}

// The text of a fixed character field of a caller's structure, which need not be terminated.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// A test shapes the machine through an error code in the environment; 0 when none is set.
DWORD InjectedError(const char* name) {
  std::string value;
  if (!ReadEnvironment(name, &value) || value.empty()) return 0;
  return static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
}

std::vector<rasemu::Device> MachineDevices() {
  std::string value;
  const bool set = ReadEnvironment("RASEMU_DEVICES", &value);
  return rasemu::ParseDeviceList(set ? value.c_str() : nullptr);
}

// Entry names as Windows accepts them: not empty, not too long, not starting with a period, and
// without the characters that file names cannot hold.
bool ValidEntryName(const char* name) {
  if (name == nullptr || *name == '\0' || *name == '.' || std::strlen(name) > RAS_MaxEntryName) return false;
  for (const char* p = name; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || std::strchr("\\/:*?\"<>|", c)) return false;
  }
  return true;
}

// Looks an entry up; 0 with *entry filled in the newest layout, or the error for the caller.
DWORD LoadEntry(const char* phoneBook, const char* name, rasemu::EntryLatest* entry,
                std::string* storedName) {
  rasemu::CPhoneBookText book;
  if (DWORD error = rasemu::CPhoneBook(phoneBook).Read(&book)) return error;
  const rasemu::PhoneBookEntry* found = name ? book.Find(name) : nullptr;
  if (found == nullptr) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
  ZeroMemory(entry, sizeof(*entry));
  entry->dwSize = sizeof(*entry);
  rasemu::ValuesToEntry(*found, entry, sizeof(*entry));
  if (storedName) *storedName = found->name;
  return 0;
}

// A dial that reached no server fails at once, as a line that does not answer; its handle lives
// in this process.
HRASCONN FailLocally(DWORD error, const std::string& entry, const rasemu::EntryLatest& properties) {
  rasemu::LocalDial dial;
  dial.error = error;
  dial.state = testbed::kStateConnectDevice;
  dial.entry = entry;
  dial.deviceType = properties.szDeviceType;
  dial.deviceName = properties.szDeviceName;
  return rasemu::AddLocalDial(dial);
}

// What a handle names.
enum class Named { kLocal, kLine, kNothing };

Named LookUp(HRASCONN handle, rasemu::LocalDial* local, testbed::SessionInfo* line) {
  if (rasemu::FindLocalDial(handle, local)) return Named::kLocal;
  std::uint32_t id = 0;
  if (!rasemu::SessionIdOf(handle, &id)) return Named::kNothing;
  return rasemu::FindLine(id, line) == rasemu::Lookup::kFound ? Named::kLine : Named::kNothing;
}

// Copies the newest layout into a caller's structure as far as its version goes.
template <typename Latest>
void CopyOut(void* target, Latest* full, DWORD size) {
  full->dwSize = size;
  std::memcpy(target, full, size);
}

}  // namespace

extern "C" {

DWORD WINAPI RasEnumDevicesA(LPRASDEVINFOA devices, LPDWORD size, LPDWORD count) {
  if (size == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  if (DWORD injected = InjectedError("RASEMU_ENUM_ERROR")) return injected;
  if (devices != nullptr && !rasemu::KnownDeviceInfoSize(devices->dwSize)) return ERROR_INVALID_SIZE;
  const std::vector<rasemu::Device> list = MachineDevices();
  const DWORD needed = static_cast<DWORD>(list.size() * sizeof(RASDEVINFOA));
  if (needed > 0 && (devices == nullptr || *size < needed)) {
    *size = needed;
    *count = static_cast<DWORD>(list.size());
    return ERROR_BUFFER_TOO_SMALL;
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    RASDEVINFOA& device = devices[i];
    ZeroMemory(&device, sizeof(device));
    device.dwSize = sizeof(device);
    CopyText(device.szDeviceType, list[i].type);
    CopyText(device.szDeviceName, list[i].name);
  }
  *size = needed;
  *count = static_cast<DWORD>(list.size());
  return 0;
}

DWORD WINAPI RasValidateEntryNameA(LPCSTR phoneBook, LPCSTR name) {
  if (DWORD injected = InjectedError("RASEMU_PBK_ERROR")) return injected;
  if (!ValidEntryName(name)) return ERROR_INVALID_NAME;
  rasemu::CPhoneBookText book;
  if (DWORD error = rasemu::CPhoneBook(phoneBook).Read(&book)) return error;
  return book.Find(name) ? ERROR_ALREADY_EXISTS : 0;
}

DWORD WINAPI RasGetEntryPropertiesA(LPCSTR phoneBook, LPCSTR name, LPRASENTRYA entry, LPDWORD entrySize,
                                    LPBYTE deviceInfo, LPDWORD deviceInfoSize) {
  (void)deviceInfo;
  if (entrySize == nullptr) return ERROR_INVALID_PARAMETER;
  if (DWORD injected = InjectedError("RASEMU_PBK_ERROR")) return injected;
  rasemu::EntryLatest properties;
  ZeroMemory(&properties, sizeof(properties));
  if (name != nullptr && *name != '\0') {
    if (DWORD error = LoadEntry(phoneBook, name, &properties, nullptr)) return error;
  } else {
    // No name asks for the defaults of a new entry.
    properties.dwfNetProtocols = RASNP_Ip;
    properties.dwFramingProtocol = RASFP_Ppp;
    properties.dwType = RASET_Phone;
  }
  if (entry != nullptr && !rasemu::KnownEntrySize(entry->dwSize)) return ERROR_INVALID_SIZE;
  // Without a structure the caller learns the size of the newest version.
  const DWORD needed = entry != nullptr ? entry->dwSize : static_cast<DWORD>(sizeof(rasemu::EntryLatest));
  if (entry == nullptr || *entrySize < needed) {
    *entrySize = needed;
    return ERROR_BUFFER_TOO_SMALL;
  }
  CopyOut(entry, &properties, needed);
  *entrySize = needed;
  if (deviceInfoSize) *deviceInfoSize = 0;
  return 0;
}

DWORD WINAPI RasSetEntryPropertiesA(LPCSTR phoneBook, LPCSTR name, LPRASENTRYA entry, DWORD entrySize,
                                    LPBYTE deviceInfo, DWORD deviceInfoSize) {
  (void)deviceInfo;
  (void)deviceInfoSize;
  if (entry == nullptr) return ERROR_INVALID_PARAMETER;
  if (!rasemu::KnownEntrySize(entry->dwSize) || entrySize < entry->dwSize) return ERROR_INVALID_SIZE;
  if (!ValidEntryName(name)) return ERROR_INVALID_NAME;
  if (DWORD injected = InjectedError("RASEMU_PBK_ERROR")) return injected;
  const rasemu::PhoneBookEntry values = rasemu::EntryToValues(name, entry, entry->dwSize);
  return rasemu::CPhoneBook(phoneBook).Change([&values](rasemu::CPhoneBookText& book) -> DWORD {
    book.Put(values);
    return 0;
  });
}

DWORD WINAPI RasDeleteEntryA(LPCSTR phoneBook, LPCSTR name) {
  if (name == nullptr || *name == '\0') return ERROR_INVALID_NAME;
  if (DWORD injected = InjectedError("RASEMU_PBK_ERROR")) return injected;
  return rasemu::CPhoneBook(phoneBook).Change([name](rasemu::CPhoneBookText& book) -> DWORD {
    return book.Remove(name) ? 0 : ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
  });
}

DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS extensions, LPCSTR phoneBook, LPRASDIALPARAMSA params,
                      DWORD notifierType, LPVOID notifier, LPHRASCONN connection) {
  (void)extensions;
  (void)notifierType;
  if (params == nullptr || connection == nullptr) return ERROR_INVALID_PARAMETER;
  if (!rasemu::KnownDialParamsSize(params->dwSize)) return ERROR_INVALID_SIZE;
  // Only the synchronous form is emulated: a caller that expects progress callbacks would wait
  // for ever, so it is told at once.
  if (notifier != nullptr) return ERROR_INVALID_PARAMETER;
  *connection = nullptr;
  if (DWORD injected = InjectedError("RASEMU_PBK_ERROR")) return injected;
  rasemu::EntryLatest entry;
  std::string entryName;
  const std::string requested = FieldText(params->szEntryName);
  if (DWORD error = LoadEntry(phoneBook, requested.c_str(), &entry, &entryName)) return error;

  // A dial of this process that reached no server holds the entry's port as a line would.
  for (const rasemu::LocalDial& dial : rasemu::LocalDials()) {
    if (rasemu::SameEntryName(dial.entry, entryName)) {
      return dial.hungUp ? ERROR_PORT_NOT_AVAILABLE : ERROR_PORT_ALREADY_OPEN;
    }
  }

  auto server = std::make_unique<rasemu::CServerConnection>();
  const std::string request =
      "DIAL " + testbed::EncodeField(FieldText(params->szUserName)) + " " +
      testbed::EncodeField(FieldText(params->szPassword)) + " " + testbed::EncodeField(entryName) + " " +
      testbed::EncodeField(entry.szDeviceType) + " " + testbed::EncodeField(entry.szDeviceName) + " " +
      std::to_string(entry.dwFramingProtocol) + " " + std::to_string(rasemu::TeardownMs());
  std::string line;
  if (!server->Open() || !server->SendLine(request) || !server->ReadLine(&line, kDialTimeoutMs)) {
    *connection = FailLocally(ERROR_NO_ANSWER, entryName, entry);
    return ERROR_NO_ANSWER;
  }
  testbed::Status status;
  const auto words = testbed::SplitWords(line);
  std::uint64_t id = 0;
  if (words.size() == 2 && words[0] == "LINE" &&
      testbed::ParseNumber(words[1], testbed::kLastSessionId, &id) && id >= testbed::kFirstSessionId) {
    // The connection exists from the first moment of the dial: its handle is the caller's now,
    // so that another thread may hang the dial up.
    *connection = rasemu::SessionHandle(static_cast<std::uint32_t>(id));
    while (server->ReadLine(&line, kDialTimeoutMs)) {
      if (!testbed::IsStatusLine(line)) continue;
      if (!testbed::ParseStatus(line, &status)) break;
      if (!status.ok && status.code == ERROR_USER_DISCONNECTION) {
        // Hung up while it dialled: the hang-up let the handle go.
        return ERROR_USER_DISCONNECTION;
      }
      // Connected or failed, the line is held by this process until its handle is hung up.
      rasemu::HoldHandle(static_cast<std::uint32_t>(id), std::move(server));
      return status.ok ? 0 : static_cast<DWORD>(status.code);
    }
    // The server went away in the middle of the dial.
    *connection = FailLocally(ERROR_NO_ANSWER, entryName, entry);
    return ERROR_NO_ANSWER;
  }
  if (testbed::ParseStatus(line, &status)) {
    if (status.ok) {
      // The entry is connected already: its connection is handed back.
      const auto rest = testbed::SplitWords(status.rest);
      if (!rest.empty() && testbed::ParseNumber(rest[0], testbed::kLastSessionId, &id) &&
          id >= testbed::kFirstSessionId) {
        *connection = rasemu::SessionHandle(static_cast<std::uint32_t>(id));
        return 0;
      }
    } else if (status.code == ERROR_DIAL_ALREADY_IN_PROGRESS || status.code == ERROR_PORT_NOT_AVAILABLE ||
               status.code == ERROR_PORT_ALREADY_OPEN) {
      return static_cast<DWORD>(status.code);
    }
  }
  // A server that answers nonsense is as good as none.
  *connection = FailLocally(ERROR_NO_ANSWER, entryName, entry);
  return ERROR_NO_ANSWER;
}

DWORD WINAPI RasHangUpA(HRASCONN connection) {
  if (rasemu::HangUpLocalDial(connection)) return 0;
  std::uint32_t id = 0;
  if (!rasemu::SessionIdOf(connection, &id)) return ERROR_INVALID_HANDLE;
  rasemu::CServerConnection server;
  testbed::Status status;
  const bool answered = server.Open() && server.Request("HANGUP " + std::to_string(id) + " " +
                                                            std::to_string(rasemu::TeardownMs()),
                                                        kRequestTimeoutMs, nullptr, &status);
  // The handle is this process's no longer, whatever became of the line.
  rasemu::ReleaseHandle(id);
  return answered && status.ok ? 0 : ERROR_INVALID_HANDLE;
}

DWORD WINAPI RasGetConnectStatusA(HRASCONN connection, LPRASCONNSTATUSA status) {
  if (status == nullptr) return ERROR_INVALID_PARAMETER;
  if (!rasemu::KnownStatusSize(status->dwSize)) return ERROR_INVALID_SIZE;
  rasemu::LocalDial local;
  testbed::SessionInfo line;
  rasemu::StatusLatest full;
  ZeroMemory(&full, sizeof(full));
  switch (LookUp(connection, &local, &line)) {
    case Named::kNothing:
      return ERROR_INVALID_HANDLE;
    case Named::kLocal:
      full.rasconnstate = static_cast<RASCONNSTATE>(local.state);
      full.dwError = local.error;
      CopyText(full.szDeviceType, local.deviceType);
      CopyText(full.szDeviceName, local.deviceName);
      break;
    case Named::kLine:
      full.rasconnstate = static_cast<RASCONNSTATE>(line.state);
      full.dwError = line.error;
      CopyText(full.szDeviceType, line.deviceType);
      CopyText(full.szDeviceName, line.deviceName);
      break;
  }
  CopyOut(status, &full, status->dwSize);
  return 0;
}

DWORD WINAPI RasEnumConnectionsA(LPRASCONNA connections, LPDWORD size, LPDWORD count) {
  if (size == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  if (connections != nullptr && !rasemu::KnownConnSize(connections->dwSize)) return ERROR_INVALID_SIZE;
  if (connections == nullptr && *size != 0) return ERROR_INVALID_PARAMETER;
  // Every line until its tear-down is over, whatever its phase, and this process's dials that
  // reached no server.
  std::vector<rasemu::ConnLatest> listed;
  const auto add = [&listed](HRASCONN handle, const std::string& entry, const std::string& type,
                             const std::string& name) {
    rasemu::ConnLatest item;
    ZeroMemory(&item, sizeof(item));
    item.hrasconn = handle;
    CopyText(item.szEntryName, entry);
    CopyText(item.szDeviceType, type);
    CopyText(item.szDeviceName, name);
    CopyText(item.szPhonebook, rasemu::CPhoneBook::DefaultPath());
    item.dwSubEntry = 1;
    item.dwFlags = RASCF_AllUsers;
    listed.push_back(item);
  };
  std::vector<testbed::SessionInfo> lines;
  rasemu::ListLines(&lines);
  for (const testbed::SessionInfo& line : lines) {
    if (line.phase == testbed::kPhaseHeld) continue;
    add(rasemu::SessionHandle(line.id), line.entry, line.deviceType, line.deviceName);
  }
  for (const rasemu::LocalDial& dial : rasemu::LocalDials()) {
    add(dial.handle, dial.entry, dial.deviceType, dial.deviceName);
  }
  // Without a buffer the caller learns the size for the newest version.
  const DWORD stride =
      connections != nullptr ? connections->dwSize : static_cast<DWORD>(sizeof(rasemu::ConnLatest));
  const DWORD needed = static_cast<DWORD>(listed.size()) * stride;
  if (*size < needed) {
    *size = needed;
    *count = static_cast<DWORD>(listed.size());
    return ERROR_BUFFER_TOO_SMALL;
  }
  unsigned char* out = reinterpret_cast<unsigned char*>(connections);
  for (std::size_t i = 0; i < listed.size(); ++i) CopyOut(out + i * stride, &listed[i], stride);
  *size = needed;
  *count = static_cast<DWORD>(listed.size());
  return 0;
}

DWORD WINAPI RasGetProjectionInfoA(HRASCONN connection, RASPROJECTION projection, LPVOID buffer,
                                   LPDWORD size) {
  if (size == nullptr) return ERROR_INVALID_PARAMETER;
  rasemu::LocalDial local;
  testbed::SessionInfo line;
  const Named named = LookUp(connection, &local, &line);
  if (named == Named::kNothing) return ERROR_INVALID_HANDLE;
  // The projection is known once the line is connected, and only while it is.
  if (named == Named::kLocal || line.phase != testbed::kPhaseConnected) return ERROR_PROJECTION_NOT_COMPLETE;
  if (projection != RASP_PppIp) return ERROR_PROTOCOL_NOT_CONFIGURED;
  RASPPPIPA* ip = static_cast<RASPPPIPA*>(buffer);
  if (ip != nullptr && !rasemu::KnownPppIpSize(ip->dwSize)) return ERROR_INVALID_SIZE;
  const DWORD needed = ip != nullptr ? ip->dwSize : static_cast<DWORD>(sizeof(rasemu::PppIpLatest));
  if (ip == nullptr || *size < needed) {
    *size = needed;
    return ERROR_BUFFER_TOO_SMALL;
  }
  rasemu::PppIpLatest full;
  ZeroMemory(&full, sizeof(full));
  CopyText(full.szIpAddress, line.address);
  CopyText(full.szServerIpAddress, kServerAddress);
  CopyOut(ip, &full, needed);
  *size = needed;
  return 0;
}

DWORD WINAPI RasGetConnectionStatistics(HRASCONN connection, RAS_STATS* statistics) {
  if (statistics == nullptr) return ERROR_INVALID_PARAMETER;
  if (!rasemu::KnownStatisticsSize(statistics->dwSize)) return ERROR_INVALID_SIZE;
  rasemu::LocalDial local;
  testbed::SessionInfo line;
  const Named named = LookUp(connection, &local, &line);
  if (named == Named::kNothing) return ERROR_INVALID_HANDLE;
  ZeroMemory(statistics, sizeof(*statistics));
  statistics->dwSize = sizeof(*statistics);
  if (named == Named::kLocal) return 0;
  // The counters of a long session wrap as Windows' 32-bit counters do; a line that ended keeps
  // what it had.
  statistics->dwBytesXmited = static_cast<DWORD>(line.bytesSent);
  statistics->dwBytesRcved = static_cast<DWORD>(line.bytesReceived);
  statistics->dwFramesXmited = static_cast<DWORD>((line.bytesSent + 1491) / 1492);
  statistics->dwFramesRcved = static_cast<DWORD>((line.bytesReceived + 1491) / 1492);
  statistics->dwCompressionRatioIn = 100;
  statistics->dwCompressionRatioOut = 100;
  statistics->dwBps = line.phase == testbed::kPhaseDialing ? 0 : line.bps;
  statistics->dwConnectDuration = static_cast<DWORD>(line.durationMs);
  return 0;
}

DWORD WINAPI RasGetErrorStringA(UINT error, LPSTR text, DWORD size) {
  if (text == nullptr) return ERROR_INVALID_PARAMETER;
  // Only the remote-access service's own codes have its texts.
  const char* message = rasemu::KnownErrorText(error);
  if (message == nullptr) return ERROR_INVALID_PARAMETER;
  if (size <= std::strlen(message)) return ERROR_INSUFFICIENT_BUFFER;
  CopyText(text, size, message);
  return 0;
}

DWORD WINAPI RasConnectionNotificationA(HRASCONN connection, HANDLE event, DWORD flags) {
  return rasemu::RegisterNotification(connection, event, flags);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    // The watcher thread and the patched WinINet point into this module: it must never unload.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&RasConnectionNotificationA), &self);
    rasemu::InstallConnectedStatePatch();
  }
  return TRUE;
}

}  // extern "C"
