// Windows Sockets 2 must come before windows.h, which the other headers bring in.
#include <winsock2.h>

#include "client/tools/DiagnosisSystem.h"

#include <raserror.h>

#include <cstdlib>
#include <vector>

#include "common/TextCopy.h"
#include "dialengine/ConnectManage.h"

namespace {

// The user name of the server probe: no subscriber has it, so a server that answers refuses it.
const char kProbeUser[] = "quillon-diagnosis";

// How long the probe waits for a hung-up connection to be gone, in steps of 50 ms.
constexpr int kHangUpWaitSteps = 60;

// Echo requests of the ping: how many, the wait for each, and the payload.
constexpr int kEchoTries = 2;
constexpr DWORD kEchoTimeoutMs = 1000;
const char kEchoData[] = "Quillon diagnosis echo";

bool ParseAddress(const std::string& text, IPAddr* address) {
  if (text.empty()) return false;
  const unsigned long value = inet_addr(text.c_str());
  if (value == INADDR_NONE || value == 0) return false;
  *address = static_cast<IPAddr>(value);
  return true;
}

bool DefaultEntryConnected() {
  DiagnosisSystem& api = DiagnosisCalls();
  std::vector<RASCONNA> connections(4);
  for (int attempt = 0; attempt < 2; ++attempt) {
    connections[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = static_cast<DWORD>(connections.size() * sizeof(RASCONNA));
    DWORD count = 0;
    const DWORD error = api.rasEnumConnections(connections.data(), &bytes, &count);
    if (error == ERROR_BUFFER_TOO_SMALL) {
      connections = std::vector<RASCONNA>(bytes / sizeof(RASCONNA) + 1);
      continue;
    }
    if (error != 0) return false;
    for (DWORD i = 0; i < count && i < connections.size(); ++i) {
      if (FieldEquals(connections[i].szEntryName, LINKWELL_DEFAULT_ENTRY)) return true;
    }
    return false;
  }
  return false;
}

}  // namespace

DiagnosisSystem RealDiagnosisSystem() {
  DiagnosisSystem api;
  api.setupDiGetClassDevs = &SetupDiGetClassDevsA;
  api.setupDiEnumDeviceInfo = &SetupDiEnumDeviceInfo;
  api.setupDiGetDeviceRegistryProperty = &SetupDiGetDeviceRegistryPropertyA;
  api.setupDiDestroyDeviceInfoList = &SetupDiDestroyDeviceInfoList;
  api.cmGetDevNodeStatus = &CM_Get_DevNode_Status;
  api.getAdaptersInfo = &GetAdaptersInfo;
  api.getIpForwardTable = &GetIpForwardTable;
  api.icmpCreateFile = &IcmpCreateFile;
  api.icmpSendEcho = &IcmpSendEcho;
  api.icmpCloseHandle = &IcmpCloseHandle;
  api.rasEnumDevices = &RasEnumDevicesA;
  api.rasEnumConnections = &RasEnumConnectionsA;
  api.rasDial = &RasDialA;
  api.rasHangUp = &RasHangUpA;
  api.rasGetConnectStatus = &RasGetConnectStatusA;
  api.messageBox = &MessageBoxA;
  return api;
}

DiagnosisSystem& DiagnosisCalls() {
  static DiagnosisSystem api = RealDiagnosisSystem();
  return api;
}

bool PingAddress(const std::string& address) {
  IPAddr destination = 0;
  if (!ParseAddress(address, &destination)) return false;
  DiagnosisSystem& api = DiagnosisCalls();
  HANDLE icmp = api.icmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE || icmp == nullptr) return false;
  // Room for one reply with its data, and for the 8 bytes of an ICMP error, as the call asks.
  std::vector<unsigned char> replies(sizeof(ICMP_ECHO_REPLY) + sizeof(kEchoData) + 8 + 16);
  bool answered = false;
  for (int attempt = 0; attempt < kEchoTries && !answered; ++attempt) {
    const DWORD count =
        api.icmpSendEcho(icmp, destination, const_cast<char*>(kEchoData), sizeof(kEchoData), nullptr,
                         replies.data(), static_cast<DWORD>(replies.size()), kEchoTimeoutMs);
    if (count > 0) {
      const ICMP_ECHO_REPLY* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(replies.data());
      answered = reply->Status == IP_SUCCESS;
    }
  }
  api.icmpCloseHandle(icmp);
  return answered;
}

std::string FindDefaultGateway() {
  DiagnosisSystem& api = DiagnosisCalls();
  ULONG size = 0;
  std::vector<unsigned char> buffer;
  DWORD error = ERROR_INSUFFICIENT_BUFFER;
  for (int attempt = 0; attempt < 3 && error == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
    buffer.assign(size > sizeof(MIB_IPFORWARDTABLE) ? size : sizeof(MIB_IPFORWARDTABLE), 0);
    size = static_cast<ULONG>(buffer.size());
    error = api.getIpForwardTable(reinterpret_cast<PMIB_IPFORWARDTABLE>(buffer.data()), &size, FALSE);
  }
  if (error != NO_ERROR) return std::string();
  const MIB_IPFORWARDTABLE* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(buffer.data());
  // The rows that fit into what was filled, whatever the count says.
  const size_t room = (buffer.size() - offsetof(MIB_IPFORWARDTABLE, table)) / sizeof(MIB_IPFORWARDROW);
  const size_t rows = table->dwNumEntries < room ? table->dwNumEntries : room;
  const MIB_IPFORWARDROW* best = nullptr;
  for (size_t i = 0; i < rows; ++i) {
    const MIB_IPFORWARDROW& row = table->table[i];
    if (row.dwForwardDest != 0 || row.dwForwardMask != 0 || row.dwForwardNextHop == 0) continue;
    if (best == nullptr || row.dwForwardMetric1 < best->dwForwardMetric1) best = &row;
  }
  if (best == nullptr) return std::string();
  in_addr gateway;
  gateway.s_addr = best->dwForwardNextHop;
  const char* text = inet_ntoa(gateway);
  return text != nullptr ? text : std::string();
}

unsigned long ProbeAuthenticationServer() {
  if (DefaultEntryConnected()) return 0;
  DiagnosisSystem& api = DiagnosisCalls();
  RASDIALPARAMSA params;
  ZeroMemory(&params, sizeof(params));
  params.dwSize = sizeof(params);
  CopyText(params.szEntryName, LINKWELL_DEFAULT_ENTRY);
  CopyText(params.szUserName, kProbeUser);
  HRASCONN connection = nullptr;
  const DWORD error = api.rasDial(nullptr, nullptr, &params, 0, nullptr, &connection);
  if (connection != nullptr) {
    // A failed dial holds its handle too. The connection is gone once its status can no longer be
    // read; hanging up again before that may leave the port open.
    api.rasHangUp(connection);
    for (int step = 0; step < kHangUpWaitSteps; ++step) {
      RASCONNSTATUSA status;
      ZeroMemory(&status, sizeof(status));
      status.dwSize = sizeof(status);
      if (api.rasGetConnectStatus(connection, &status) == ERROR_INVALID_HANDLE) break;
      Sleep(50);
    }
  }
  return error;
}
