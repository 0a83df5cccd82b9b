#include "client/core/RasQueries.h"

#include <iphlpapi.h>

#include <cstring>

#include "client/core/SupervisionTexts.h"
#include "common/TextCopy.h"
#include "dialengine/ConnectManage.h"

namespace {

constexpr DWORD kListCapacity = 10;
// How often the waits for the line look again.
constexpr DWORD kPollMs = 50;
// Room for the table's count and one row, the first size the interface table is asked with.
constexpr ULONG kFirstInterfaceTableBytes = 864;

}  // namespace

bool IsDefaultEntry(const RASCONNA& connection) {
  return FieldEquals(connection.szEntryName, LINKWELL_DEFAULT_ENTRY);
}

std::vector<RASCONNA> ListConnections(DWORD capacity) {
  std::vector<RASCONNA> connections(capacity);
  if (capacity == 0) return connections;
  std::memset(connections.data(), 0, capacity * sizeof(RASCONNA));
  connections[0].dwSize = sizeof(RASCONNA);
  DWORD bytes = capacity * sizeof(RASCONNA);
  DWORD count = 0;
  if (RasEnumConnectionsA(connections.data(), &bytes, &count) != 0) count = 0;
  if (count > capacity) count = capacity;
  connections.resize(count);
  return connections;
}

HRASCONN FindDefaultEntryConnection() {
  for (const RASCONNA& connection : ListConnections(kListCapacity)) {
    if (IsDefaultEntry(connection)) return connection.hrasconn;
  }
  return nullptr;
}

HRASCONN FindConnectedDefaultEntry() {
  for (const RASCONNA& connection : ListConnections(kListCapacity)) {
    if (IsDefaultEntry(connection) && IsConnectionUp(connection.hrasconn)) return connection.hrasconn;
  }
  return nullptr;
}

bool WaitForDefaultEntryToClear(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    bool clear = true;
    for (const RASCONNA& connection : ListConnections(kListCapacity)) {
      if (IsDefaultEntry(connection) && !IsConnectionUp(connection.hrasconn)) clear = false;
    }
    if (clear) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

int AbortDefaultEntryDials() {
  int hungUp = 0;
  for (const RASCONNA& connection : ListConnections(kListCapacity)) {
    if (!IsDefaultEntry(connection) || IsConnectionUp(connection.hrasconn)) continue;
    if (RasHangUpA(connection.hrasconn) == 0) ++hungUp;
  }
  return hungUp;
}

bool HangUpAndWait(HRASCONN connection, DWORD timeoutMs) {
  if (connection == nullptr) return true;
  RasHangUpA(connection);
  // The handle stays valid while the line tears down; only then may the entry be dialled again.
  const DWORD start = GetTickCount();
  for (;;) {
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof(status));
    status.dwSize = sizeof(status);
    if (RasGetConnectStatusA(connection, &status) == ERROR_INVALID_HANDLE) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

std::string ConnectionIpAddress(HRASCONN connection) {
  if (connection == nullptr) return std::string();
  RASPPPIPA projection;
  std::memset(&projection, 0, sizeof(projection));
  projection.dwSize = sizeof(projection);
  DWORD size = sizeof(projection);
  if (RasGetProjectionInfoA(connection, RASP_PppIp, &projection, &size) != 0) return std::string();
  char address[sizeof(projection.szIpAddress) + 1] = {};
  std::memcpy(address, projection.szIpAddress, sizeof(projection.szIpAddress));
  return address;
}

std::string DefaultEntryIpText() {
  return ConnectionIpAddress(FindDefaultEntryConnection());
}

bool ReadConnectionStatistics(HRASCONN connection, uint32_t* sent, uint32_t* received) {
  if (connection == nullptr) return false;
  RAS_STATS statistics;
  std::memset(&statistics, 0, sizeof(statistics));
  statistics.dwSize = sizeof(statistics);
  if (RasGetConnectionStatistics(connection, &statistics) != 0) return false;
  *sent = statistics.dwBytesXmited;
  *received = statistics.dwBytesRcved;
  return true;
}

bool IsConnectionUp(HRASCONN connection) {
  if (connection == nullptr) return false;
  RASCONNSTATUSA status;
  std::memset(&status, 0, sizeof(status));
  status.dwSize = sizeof(status);
  if (RasGetConnectStatusA(connection, &status) != 0) return false;
  return status.rasconnstate == RASCS_Connected;
}

std::string LinkSpeedText() {
  ULONG size = kFirstInterfaceTableBytes;
  std::vector<unsigned char> buffer(size);
  DWORD result = GetIfTable(reinterpret_cast<MIB_IFTABLE*>(buffer.data()), &size, FALSE);
  if (result == ERROR_INSUFFICIENT_BUFFER) {
    buffer.assign(size, 0);
    result = GetIfTable(reinterpret_cast<MIB_IFTABLE*>(buffer.data()), &size, FALSE);
  }
  const MIB_IFTABLE* table = reinterpret_cast<const MIB_IFTABLE*>(buffer.data());
  if (result != NO_ERROR || table->dwNumEntries == 0) return std::string();
  return FormatLinkSpeed(table->table[0].dwSpeed);
}
