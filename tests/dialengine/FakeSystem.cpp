#include "FakeSystem.h"

#include <raserror.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>

#include "dialengine/EngineSystem.h"

namespace {

FakeSystem* g_fake = nullptr;

template <size_t N>
void Put(char (&field)[N], const std::string& text) {
  snprintf(field, N, "%s", text.c_str());
}

DWORD WINAPI FakeEnumDevices(LPRASDEVINFOA devices, LPDWORD bytes, LPDWORD count) {
  FakeSystem& f = Fake();
  const DWORD needed = static_cast<DWORD>(f.devices.size() * sizeof(RASDEVINFOA));
  if (!bytes || !count) return ERROR_INVALID_PARAMETER;
  if (devices && devices[0].dwSize != sizeof(RASDEVINFOA)) return ERROR_INVALID_SIZE;
  if (devices && f.enumDevicesError) return f.enumDevicesError;
  if (!devices || *bytes < needed) {
    *bytes = needed;
    *count = static_cast<DWORD>(f.devices.size());
    return needed ? ERROR_BUFFER_TOO_SMALL : 0;
  }
  for (size_t i = 0; i < f.devices.size(); ++i) {
    devices[i].dwSize = sizeof(RASDEVINFOA);
    Put(devices[i].szDeviceType, f.devices[i].type);
    Put(devices[i].szDeviceName, f.devices[i].name);
  }
  *bytes = needed;
  *count = static_cast<DWORD>(f.devices.size());
  return 0;
}

DWORD WINAPI FakeValidateEntryName(LPCSTR phoneBook, LPCSTR entryName) {
  if (phoneBook || !entryName || strcmp(entryName, "pppoe_vorlan_default_entry") != 0)
    return ERROR_INVALID_PARAMETER;
  return Fake().validateResult;
}

DWORD WINAPI FakeSetEntryProperties(LPCSTR phoneBook, LPCSTR entryName, LPRASENTRYA entry, DWORD entrySize,
                                    LPBYTE deviceInfo, DWORD deviceInfoSize) {
  FakeSystem& f = Fake();
  ++f.setEntryCalls;
  f.setEntryPhoneBookNull = phoneBook == nullptr;
  f.setEntryName = entryName ? entryName : "";
  if (entry) memcpy(&f.setEntry, entry, sizeof(f.setEntry));
  f.setEntrySize = entrySize;
  f.setEntryDeviceInfoNull = deviceInfo == nullptr;
  f.setEntryDeviceInfoSize = deviceInfoSize;
  return f.setEntryResult;
}

DWORD WINAPI FakeDial(LPRASDIALEXTENSIONS extensions, LPCSTR phoneBook, LPRASDIALPARAMSA params,
                      DWORD notifierType, LPVOID notifier, LPHRASCONN connection) {
  FakeSystem& f = Fake();
  ++f.dialCalls;
  f.dialPlainCall = !extensions && !phoneBook && notifierType == 0 && !notifier;
  if (!params || !connection) return ERROR_INVALID_PARAMETER;
  memcpy(&f.dialParams, params, sizeof(f.dialParams));
  if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
  if (f.onDial) f.onDial();
  if (f.dialResult == 0) {
    *connection = f.AddConnection(params->szEntryName, RASCS_Connected, f.dialAddress);
    f.Find(*connection)->projectionFails = f.dialProjectionFails;
    return 0;
  }
  if (f.dialLeavesHandle) *connection = f.AddConnection(params->szEntryName, RASCS_Authenticate);
  return f.dialResult;
}

DWORD WINAPI FakeHangUp(HRASCONN connection) {
  FakeSystem& f = Fake();
  f.hangUps.push_back(connection);
  FakeConnection* c = f.Find(connection);
  if (!c) return ERROR_INVALID_HANDLE;
  if (!c->hungUp) {
    c->hungUp = true;
    c->pollsUntilGone = f.pollsUntilGoneAfterHangUp;
  }
  return 0;
}

DWORD WINAPI FakeGetConnectStatus(HRASCONN connection, LPRASCONNSTATUSA status) {
  FakeSystem& f = Fake();
  if (f.onStatusQuery) f.onStatusQuery(connection);
  if (!status || status->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE;
  for (size_t i = 0; i < f.connections.size(); ++i) {
    FakeConnection& c = f.connections[i];
    if (c.handle != connection) continue;
    if (c.hungUp && c.pollsUntilGone >= 0 && c.pollsUntilGone-- == 0) {
      f.connections.erase(f.connections.begin() + static_cast<long>(i));
      return ERROR_INVALID_HANDLE;
    }
    status->rasconnstate = c.state;
    status->dwError = 0;
    return 0;
  }
  return ERROR_INVALID_HANDLE;
}

DWORD WINAPI FakeEnumConnections(LPRASCONNA connections, LPDWORD bytes, LPDWORD count) {
  FakeSystem& f = Fake();
  ++f.enumConnectionsCalls;
  if (f.enumConnectionsError) return f.enumConnectionsError;
  if (!connections || !bytes || !count) return ERROR_INVALID_PARAMETER;
  if (connections[0].dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE;
  const DWORD needed = static_cast<DWORD>(f.connections.size() * sizeof(RASCONNA));
  if (*bytes < needed) {
    *bytes = needed;
    *count = static_cast<DWORD>(f.connections.size());
    return ERROR_BUFFER_TOO_SMALL;
  }
  for (size_t i = 0; i < f.connections.size(); ++i) {
    connections[i].dwSize = sizeof(RASCONNA);
    connections[i].hrasconn = f.connections[i].handle;
    Put(connections[i].szEntryName, f.connections[i].entry);
  }
  *bytes = needed;
  *count = static_cast<DWORD>(f.connections.size());
  return 0;
}

DWORD WINAPI FakeGetProjectionInfo(HRASCONN connection, RASPROJECTION projection, LPVOID info,
                                   LPDWORD bytes) {
  FakeSystem& f = Fake();
  if (projection != RASP_PppIp || !info || !bytes) return ERROR_INVALID_PARAMETER;
  RASPPPIPA* ip = static_cast<RASPPPIPA*>(info);
  if (*bytes != sizeof(RASPPPIPA) || ip->dwSize != sizeof(RASPPPIPA)) return ERROR_INVALID_SIZE;
  FakeConnection* c = f.Find(connection);
  if (!c) return ERROR_INVALID_HANDLE;
  if (c->projectionFails) return ERROR_PROTOCOL_NOT_CONFIGURED;
  Put(ip->szIpAddress, c->address);
  ip->dwError = 0;
  return 0;
}

DWORD WINAPI FakeGetErrorString(UINT error, LPSTR text, DWORD textSize) {
  if (!text || textSize == 0) return ERROR_INVALID_PARAMETER;
  snprintf(text, textSize, "%s%u", Fake().errorTextPrefix.c_str(), error);
  return 0;
}

BOOL WINAPI FakeConnectedState(LPDWORD flags, DWORD reserved) {
  if (!flags || reserved != 0) return FALSE;
  *flags = Fake().connectedFlags;
  return Fake().connectedResult;
}

int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Fake().boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
  return IDOK;
}

DWORD WINAPI FakeTickCount() {
  FakeSystem& f = Fake();
  f.tick += f.tickStep;
  return f.tick;
}

}  // namespace

HRASCONN FakeSystem::AddConnection(const std::string& entry, RASCONNSTATE state, const std::string& address) {
  HRASCONN handle = reinterpret_cast<HRASCONN>(static_cast<INT_PTR>(nextHandle++));
  connections.push_back({handle, entry, state, address, false, -1, false});
  return handle;
}

FakeConnection* FakeSystem::Find(HRASCONN handle) {
  for (FakeConnection& c : connections) {
    if (c.handle == handle) return &c;
  }
  return nullptr;
}

FakeSystem& Fake() {
  return *g_fake;
}

void InstallFakeSystem() {
  delete g_fake;
  g_fake = new FakeSystem();
  EngineSystem& api = EngineCalls();
  api.rasEnumDevices = &FakeEnumDevices;
  api.rasValidateEntryName = &FakeValidateEntryName;
  api.rasSetEntryProperties = &FakeSetEntryProperties;
  api.rasDial = &FakeDial;
  api.rasHangUp = &FakeHangUp;
  api.rasGetConnectStatus = &FakeGetConnectStatus;
  api.rasEnumConnections = &FakeEnumConnections;
  api.rasGetProjectionInfo = &FakeGetProjectionInfo;
  api.rasGetErrorString = &FakeGetErrorString;
  api.internetGetConnectedState = &FakeConnectedState;
  api.messageBox = &FakeMessageBox;
  api.tickCount = &FakeTickCount;
}

void RemoveFakeSystem() {
  EngineCalls() = RealEngineSystem();
  delete g_fake;
  g_fake = nullptr;
}
