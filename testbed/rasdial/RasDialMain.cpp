// rasdial.exe of the testbed: Windows' own command-line dialer, on the RAS API.
//
//   rasdial                                     lists the connections
//   rasdial ENTRY [USER [PASSWORD]] [/PHONEBOOK:FILE]   dials ENTRY
//   rasdial [ENTRY] /DISCONNECT                 hangs ENTRY up (or the only connection)
//   rasdial ENTRY /CREATE[:DEVICE] [/PHONEBOOK:FILE]    creates a broadband entry on the first
//                                               "pppoe" device (or the device of that name)
//   rasdial ENTRY /DELETE [/PHONEBOOK:FILE]     deletes the entry
//
// /CREATE and /DELETE are the testbed's own: they prepare the machine the way the client's
// entry creation would. The exit code is 0 on success, the remote-access error code otherwise,
// and 1 for a usage error.
#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The headers define the structures through macros that cannot be used as type names in
// expressions.
using Connection = RASCONNA;
using DeviceInfo = RASDEVINFOA;

template <std::size_t N>
void CopyText(char (&buffer)[N], const std::string& text) {
  const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// A program must not end while a connection it hung up still tears down: the connection is gone
// once its status can no longer be read.
void WaitForTeardown(HRASCONN handle) {
  const DWORD start = GetTickCount();
  RASCONNSTATUSA status;
  do {
    ZeroMemory(&status, sizeof(status));
    status.dwSize = sizeof(status);
    if (RasGetConnectStatusA(handle, &status) == ERROR_INVALID_HANDLE) return;
    Sleep(10);
  } while (GetTickCount() - start < 60000);
}

int ReportError(DWORD error) {
  char text[512] = {};
  if (RasGetErrorStringA(error, text, sizeof(text)) != 0) text[0] = '\0';
  std::printf("远程访问错误 %lu - %s\n", static_cast<unsigned long>(error), text);
  return static_cast<int>(error);
}

bool ListConnections(std::vector<Connection>* connections, DWORD* error) {
  connections->assign(1, Connection());
  for (;;) {
    (*connections)[0].dwSize = sizeof(RASCONNA);
    DWORD size = static_cast<DWORD>(connections->size() * sizeof(RASCONNA));
    DWORD count = 0;
    *error = RasEnumConnectionsA(connections->data(), &size, &count);
    if (*error == ERROR_BUFFER_TOO_SMALL) {
      connections->assign(size / sizeof(Connection) + 1, Connection());
      continue;
    }
    if (*error != 0) return false;
    connections->resize(count);
    return true;
  }
}

int ShowConnections() {
  std::vector<Connection> connections;
  DWORD error = 0;
  if (!ListConnections(&connections, &error)) return ReportError(error);
  if (connections.empty()) {
    std::printf("没有连接\n");
    return 0;
  }
  std::printf("已连接\n");
  for (const RASCONNA& c : connections) std::printf("%s\n", c.szEntryName);
  std::printf("命令已完成。\n");
  return 0;
}

int Disconnect(const char* entry) {
  std::vector<Connection> connections;
  DWORD error = 0;
  if (!ListConnections(&connections, &error)) return ReportError(error);
  std::vector<HRASCONN> victims;
  for (const RASCONNA& c : connections) {
    if (entry == nullptr || lstrcmpiA(c.szEntryName, entry) == 0) victims.push_back(c.hrasconn);
  }
  if (victims.empty()) {
    std::printf("没有连接\n");
    return ERROR_NO_CONNECTION;
  }
  if (entry == nullptr && victims.size() > 1) {
    std::printf("有多个连接，请指定要断开的连接项名。\n");
    return 1;
  }
  for (HRASCONN handle : victims) {
    if (DWORD result = RasHangUpA(handle)) return ReportError(result);
    WaitForTeardown(handle);
  }
  std::printf("命令已完成。\n");
  return 0;
}

int Dial(const char* phoneBook, const std::string& entry, const std::string& user,
         const std::string& password) {
  RASDIALPARAMSA params;
  ZeroMemory(&params, sizeof(params));
  params.dwSize = sizeof(params);
  CopyText(params.szEntryName, entry);
  CopyText(params.szUserName, user);
  CopyText(params.szPassword, password);
  std::printf("正在连接到 %s...\n", entry.c_str());
  std::fflush(stdout);
  HRASCONN connection = nullptr;
  const DWORD error = RasDialA(nullptr, phoneBook, &params, 0, nullptr, &connection);
  if (error != 0) {
    // A failed dial still holds a handle until it is hung up.
    if (connection && RasHangUpA(connection) == 0) WaitForTeardown(connection);
    return ReportError(error);
  }
  std::printf("已连接到 %s。\n命令已完成。\n", entry.c_str());
  return 0;
}

int CreateEntry(const char* phoneBook, const std::string& entry, const char* deviceName) {
  DWORD size = 0, count = 0;
  DWORD error = RasEnumDevicesA(nullptr, &size, &count);
  std::vector<DeviceInfo> devices(size / sizeof(RASDEVINFOA) + 1);
  devices[0].dwSize = sizeof(RASDEVINFOA);
  size = static_cast<DWORD>(devices.size() * sizeof(RASDEVINFOA));
  error = RasEnumDevicesA(devices.data(), &size, &count);
  if (error != 0) return ReportError(error);
  const RASDEVINFOA* chosen = nullptr;
  for (DWORD i = 0; i < count && chosen == nullptr; ++i) {
    const bool wanted = deviceName ? lstrcmpiA(devices[i].szDeviceName, deviceName) == 0
                                   : std::strcmp(devices[i].szDeviceType, "pppoe") == 0;
    if (wanted) chosen = &devices[i];
  }
  if (chosen == nullptr) return ReportError(ERROR_DEVICE_DOES_NOT_EXIST);
  RASENTRYA properties;
  ZeroMemory(&properties, sizeof(properties));
  properties.dwSize = sizeof(properties);
  properties.dwfOptions = RASEO_RemoteDefaultGateway | RASEO_SwCompression;
  properties.dwfNetProtocols = RASNP_Ip;
  properties.dwFramingProtocol = RASFP_Ppp;
  properties.dwType = RASET_Broadband;
  CopyText(properties.szDeviceType, chosen->szDeviceType);
  CopyText(properties.szDeviceName, chosen->szDeviceName);
  error = RasSetEntryPropertiesA(phoneBook, entry.c_str(), &properties, sizeof(properties), nullptr, 0);
  if (error != 0) return ReportError(error);
  std::printf("已在 %s 上建立连接项 %s。\n命令已完成。\n", chosen->szDeviceName, entry.c_str());
  return 0;
}

int DeleteEntry(const char* phoneBook, const std::string& entry) {
  if (DWORD error = RasDeleteEntryA(phoneBook, entry.c_str())) return ReportError(error);
  std::printf("命令已完成。\n");
  return 0;
}

int Usage() {
  std::printf(
      "用法:\n"
      "  rasdial                                   列出当前连接\n"
      "  rasdial 项名 [用户名 [密码]] [/PHONEBOOK:文件]  拨号\n"
      "  rasdial [项名] /DISCONNECT                 断开连接\n"
      "  rasdial 项名 /CREATE[:设备名] [/PHONEBOOK:文件]  建立宽带连接项\n"
      "  rasdial 项名 /DELETE [/PHONEBOOK:文件]       删除连接项\n");
  return 1;
}

// True when arg is the option name (or an abbreviation of it down to `shortest` letters).
bool IsOption(const std::string& arg, const char* name, std::size_t shortest, std::string* value) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return false;
  const std::size_t colon = arg.find(':');
  const std::string word = arg.substr(1, colon == std::string::npos ? std::string::npos : colon - 1);
  if (word.size() < shortest || word.size() > std::strlen(name) ||
      _strnicmp(word.c_str(), name, word.size()) != 0) {
    return false;
  }
  if (value) *value = colon == std::string::npos ? std::string() : arg.substr(colon + 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words;
  std::string phoneBook, device;
  bool disconnect = false, create = false, remove = false, haveDevice = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    if (IsOption(arg, "DISCONNECT", 1, nullptr)) {
      disconnect = true;
    } else if (IsOption(arg, "PHONEBOOK", 1, &value)) {
      phoneBook = value;
    } else if (IsOption(arg, "CREATE", 2, &value)) {
      create = true;
      haveDevice = arg.find(':') != std::string::npos;
      device = value;
    } else if (IsOption(arg, "DELETE", 3, nullptr)) {
      remove = true;
    } else if (arg[0] == '/' || arg == "-?" || arg == "-h") {
      return Usage();
    } else {
      words.push_back(arg);
    }
  }
  const char* book = phoneBook.empty() ? nullptr : phoneBook.c_str();
  if (static_cast<int>(disconnect) + static_cast<int>(create) + static_cast<int>(remove) > 1) return Usage();
  if (disconnect) return words.size() > 1 ? Usage() : Disconnect(words.empty() ? nullptr : words[0].c_str());
  if (create)
    return words.size() != 1 ? Usage() : CreateEntry(book, words[0], haveDevice ? device.c_str() : nullptr);
  if (remove) return words.size() != 1 ? Usage() : DeleteEntry(book, words[0]);
  if (words.empty()) return ShowConnections();
  if (words.size() > 3) return Usage();
  return Dial(book, words[0], words.size() > 1 ? words[1] : "", words.size() > 2 ? words[2] : "");
}
