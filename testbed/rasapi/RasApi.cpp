// The exported remote-access functions of the stand-in rasapi32.dll, with the documented
// semantics of Windows: size fields checked (ERROR_INVALID_SIZE), buffers sized by the caller
// and reported back (ERROR_BUFFER_TOO_SMALL with the size and count needed), dead handles
// refused (ERROR_INVALID_HANDLE). Connections are the access server's sessions, so they are the
// machine's, not the process's.
#include <winsock2.h>

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
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

namespace {

using rasemu::CopyText;

// The dial waits for the server's negotiation time, which can be set up to ten minutes.
constexpr DWORD kDialTimeoutMs = 660000;
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

// Looks an entry up; 0 with *entry filled, or the error for the caller.
DWORD LoadEntry(const char* phoneBook, const char* name, RASENTRYA* entry, std::string* storedName) {
  rasemu::CPhoneBookText book;
  if (DWORD error = rasemu::CPhoneBook(phoneBook).Read(&book)) return error;
  const rasemu::PhoneBookEntry* found = name ? book.Find(name) : nullptr;
  if (found == nullptr) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
  ZeroMemory(entry, sizeof(*entry));
  entry->dwSize = sizeof(*entry);
  rasemu::ValuesToEntry(*found, entry);
  if (storedName) *storedName = found->name;
  return 0;
}

HRASCONN FailDial(DWORD error, const std::string& entry, const RASENTRYA& properties) {
  rasemu::FailedDial failed;
  failed.error = error;
  failed.entry = entry;
  failed.deviceType = properties.szDeviceType;
  failed.deviceName = properties.szDeviceName;
  return rasemu::AddFailedDial(failed);
}

}  // namespace

extern "C" {

DWORD WINAPI RasEnumDevicesA(LPRASDEVINFOA devices, LPDWORD size, LPDWORD count) {
  if (size == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  if (DWORD injected = InjectedError("RASEMU_ENUM_ERROR")) return injected;
  if (devices != nullptr && devices->dwSize != sizeof(RASDEVINFOA)) return ERROR_INVALID_SIZE;
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
  RASENTRYA properties;
  ZeroMemory(&properties, sizeof(properties));
  properties.dwSize = sizeof(properties);
  if (name != nullptr && *name != '\0') {
    if (DWORD error = LoadEntry(phoneBook, name, &properties, nullptr)) return error;
  } else {
    // No name asks for the defaults of a new entry.
    properties.dwfNetProtocols = RASNP_Ip;
    properties.dwFramingProtocol = RASFP_Ppp;
    properties.dwType = RASET_Phone;
  }
  if (entry != nullptr && entry->dwSize != sizeof(RASENTRYA)) return ERROR_INVALID_SIZE;
  if (entry == nullptr || *entrySize < sizeof(RASENTRYA)) {
    *entrySize = sizeof(RASENTRYA);
    return ERROR_BUFFER_TOO_SMALL;
  }
  *entry = properties;
  *entrySize = sizeof(RASENTRYA);
  if (deviceInfoSize) *deviceInfoSize = 0;
  return 0;
}

DWORD WINAPI RasSetEntryPropertiesA(LPCSTR phoneBook, LPCSTR name, LPRASENTRYA entry, DWORD entrySize,
                                    LPBYTE deviceInfo, DWORD deviceInfoSize) {
  (void)deviceInfo;
  (void)deviceInfoSize;
  if (entry == nullptr) return ERROR_INVALID_PARAMETER;
  if (entry->dwSize != sizeof(RASENTRYA) || entrySize < sizeof(RASENTRYA)) return ERROR_INVALID_SIZE;
  if (!ValidEntryName(name)) return ERROR_INVALID_NAME;
  if (DWORD injected = InjectedError("RASEMU_PBK_ERROR")) return injected;
  const rasemu::PhoneBookEntry values = rasemu::EntryToValues(name, *entry);
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
  if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
  // Only the synchronous form is emulated: a caller that expects progress callbacks would wait
  // for ever, so it is told at once.
  if (notifier != nullptr) return ERROR_INVALID_PARAMETER;
  *connection = nullptr;
  if (DWORD injected = InjectedError("RASEMU_PBK_ERROR")) return injected;
  RASENTRYA entry;
  std::string entryName;
  const std::string requested = FieldText(params->szEntryName);
  if (DWORD error = LoadEntry(phoneBook, requested.c_str(), &entry, &entryName)) return error;

  // One connection per entry: dialling an entry that is up hands back that connection, as
  // Windows does.
  std::vector<testbed::SessionInfo> sessions;
  rasemu::ListSessions(&sessions);
  for (const testbed::SessionInfo& session : sessions) {
    if (rasemu::SameEntryName(session.entry, entryName)) {
      *connection = rasemu::SessionHandle(session.id);
      return 0;
    }
  }

  rasemu::CServerConnection server;
  if (!server.Open()) {
    *connection = FailDial(ERROR_NO_ANSWER, entryName, entry);
    return ERROR_NO_ANSWER;
  }
  const std::string request =
      "DIAL " + testbed::EncodeField(FieldText(params->szUserName)) + " " +
      testbed::EncodeField(FieldText(params->szPassword)) + " " + testbed::EncodeField(entryName) + " " +
      testbed::EncodeField(entry.szDeviceType) + " " + testbed::EncodeField(entry.szDeviceName);
  testbed::Status status;
  if (!server.Request(request, kDialTimeoutMs, nullptr, &status)) {
    *connection = FailDial(ERROR_NO_ANSWER, entryName, entry);
    return ERROR_NO_ANSWER;
  }
  std::uint64_t id = 0;
  if (status.ok) {
    const auto words = testbed::SplitWords(status.rest);
    if (!words.empty() && testbed::ParseNumber(words[0], testbed::kLastSessionId, &id) &&
        id >= testbed::kFirstSessionId) {
      *connection = rasemu::SessionHandle(static_cast<std::uint32_t>(id));
      return 0;
    }
  }
  // A server that answers nonsense is as good as none.
  const DWORD error = !status.ok && status.code > 0 && status.code != testbed::kProtocolError
                          ? static_cast<DWORD>(status.code)
                          : ERROR_NO_ANSWER;
  *connection = FailDial(error, entryName, entry);
  return error;
}

DWORD WINAPI RasHangUpA(HRASCONN connection) {
  if (rasemu::RemoveFailedDial(connection)) return 0;
  std::uint32_t id = 0;
  if (!rasemu::SessionIdOf(connection, &id)) return ERROR_INVALID_HANDLE;
  rasemu::CServerConnection server;
  testbed::Status status;
  if (!server.Open() || !server.Request("HANGUP " + std::to_string(id), 10000, nullptr, &status) ||
      !status.ok) {
    return ERROR_INVALID_HANDLE;
  }
  return 0;
}

DWORD WINAPI RasGetConnectStatusA(HRASCONN connection, LPRASCONNSTATUSA status) {
  if (status == nullptr) return ERROR_INVALID_PARAMETER;
  if (status->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE;
  rasemu::FailedDial failed;
  if (rasemu::FindFailedDial(connection, &failed)) {
    status->rasconnstate = RASCS_Disconnected;
    status->dwError = failed.error;
    CopyText(status->szDeviceType, failed.deviceType);
    CopyText(status->szDeviceName, failed.deviceName);
    CopyText(status->szPhoneNumber, "");
    return 0;
  }
  std::uint32_t id = 0;
  testbed::SessionInfo session;
  if (!rasemu::SessionIdOf(connection, &id) || rasemu::FindSession(id, &session) != rasemu::Lookup::kFound) {
    return ERROR_INVALID_HANDLE;
  }
  status->rasconnstate = RASCS_Connected;
  status->dwError = 0;
  CopyText(status->szDeviceType, session.deviceType);
  CopyText(status->szDeviceName, session.deviceName);
  CopyText(status->szPhoneNumber, "");
  return 0;
}

DWORD WINAPI RasEnumConnectionsA(LPRASCONNA connections, LPDWORD size, LPDWORD count) {
  if (size == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  if (connections != nullptr && connections->dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE;
  if (connections == nullptr && *size != 0) return ERROR_INVALID_PARAMETER;
  std::vector<testbed::SessionInfo> sessions;
  rasemu::ListSessions(&sessions);
  const DWORD needed = static_cast<DWORD>(sessions.size() * sizeof(RASCONNA));
  if (*size < needed) {
    *size = needed;
    *count = static_cast<DWORD>(sessions.size());
    return ERROR_BUFFER_TOO_SMALL;
  }
  const std::string phoneBook = rasemu::CPhoneBook::DefaultPath();
  for (std::size_t i = 0; i < sessions.size(); ++i) {
    RASCONNA& item = connections[i];
    ZeroMemory(&item, sizeof(item));
    item.dwSize = sizeof(item);
    item.hrasconn = rasemu::SessionHandle(sessions[i].id);
    CopyText(item.szEntryName, sessions[i].entry);
    CopyText(item.szDeviceType, sessions[i].deviceType);
    CopyText(item.szDeviceName, sessions[i].deviceName);
    CopyText(item.szPhonebook, phoneBook);
    item.dwSubEntry = 1;
  }
  *size = needed;
  *count = static_cast<DWORD>(sessions.size());
  return 0;
}

DWORD WINAPI RasGetProjectionInfoA(HRASCONN connection, RASPROJECTION projection, LPVOID buffer,
                                   LPDWORD size) {
  if (size == nullptr) return ERROR_INVALID_PARAMETER;
  rasemu::FailedDial failed;
  if (rasemu::FindFailedDial(connection, &failed)) return ERROR_PROJECTION_NOT_COMPLETE;
  std::uint32_t id = 0;
  testbed::SessionInfo session;
  if (!rasemu::SessionIdOf(connection, &id) || rasemu::FindSession(id, &session) != rasemu::Lookup::kFound) {
    return ERROR_INVALID_HANDLE;
  }
  if (projection != RASP_PppIp) return ERROR_PROTOCOL_NOT_CONFIGURED;
  RASPPPIPA* ip = static_cast<RASPPPIPA*>(buffer);
  if (ip != nullptr && ip->dwSize != sizeof(RASPPPIPA)) return ERROR_INVALID_SIZE;
  if (ip == nullptr || *size < sizeof(RASPPPIPA)) {
    *size = sizeof(RASPPPIPA);
    return ERROR_BUFFER_TOO_SMALL;
  }
  ip->dwError = 0;
  CopyText(ip->szIpAddress, session.address);
  CopyText(ip->szServerIpAddress, kServerAddress);
  ip->dwOptions = 0;
  ip->dwServerOptions = 0;
  *size = sizeof(RASPPPIPA);
  return 0;
}

DWORD WINAPI RasGetConnectionStatistics(HRASCONN connection, RAS_STATS* statistics) {
  if (statistics == nullptr) return ERROR_INVALID_PARAMETER;
  if (statistics->dwSize != sizeof(RAS_STATS)) return ERROR_INVALID_SIZE;
  std::uint32_t id = 0;
  testbed::SessionInfo session;
  if (!rasemu::SessionIdOf(connection, &id) || rasemu::FindSession(id, &session) != rasemu::Lookup::kFound) {
    return ERROR_INVALID_HANDLE;
  }
  ZeroMemory(statistics, sizeof(*statistics));
  statistics->dwSize = sizeof(*statistics);
  // The counters of a long session wrap as Windows' 32-bit counters do.
  statistics->dwBytesXmited = static_cast<DWORD>(session.bytesSent);
  statistics->dwBytesRcved = static_cast<DWORD>(session.bytesReceived);
  statistics->dwFramesXmited = static_cast<DWORD>((session.bytesSent + 1491) / 1492);
  statistics->dwFramesRcved = static_cast<DWORD>((session.bytesReceived + 1491) / 1492);
  statistics->dwCompressionRatioIn = 100;
  statistics->dwCompressionRatioOut = 100;
  statistics->dwBps = session.bps;
  statistics->dwConnectDuration = static_cast<DWORD>(session.durationMs);
  return 0;
}

DWORD WINAPI RasGetErrorStringA(UINT error, LPSTR text, DWORD size) {
  if (text == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string message = rasemu::ErrorText(error);
  if (size <= message.size()) return ERROR_INSUFFICIENT_BUFFER;
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
