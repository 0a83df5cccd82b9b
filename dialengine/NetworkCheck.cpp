#include "dialengine/NetworkCheck.h"

#include <windows.h>

#include <wininet.h>

#include <cstdio>

#include "common/TextCopy.h"
#include "dialengine/ConnectManage.h"
#include "dialengine/EngineSystem.h"
#include "dialengine/HostAccess.h"

namespace {

const DWORD kCheckCapacity = 10;

int ClassifyFlags(BOOL connected, DWORD flags) {
  if (!connected) return kNetNotConnected;
  if (flags & INTERNET_CONNECTION_MODEM) return kNetThroughRas;
  if (flags & INTERNET_CONNECTION_LAN) return kNetThroughLan;
  if (flags & INTERNET_CONNECTION_PROXY) return kNetThroughProxy;
  return kNetOther;
}

int QueryClassification() {
  DWORD flags = 0;
  BOOL connected = EngineCalls().internetGetConnectedState(&flags, 0);
  return ClassifyFlags(connected, flags);
}

void WriteDefaultEntryTexts() {
  RASCONNA connections[kCheckCapacity] = {};
  connections[0].dwSize = sizeof(RASCONNA);
  DWORD bytes = sizeof(connections);
  DWORD count = 0;
  if (EngineCalls().rasEnumConnections(connections, &bytes, &count) != 0) return;
  if (count == 0) {
    HostSetText(kTextIpAddress, "");
    HostSetText(kTextConnectionName, "");
    return;
  }
  if (count > kCheckCapacity) count = kCheckCapacity;
  for (DWORD i = 0; i < count; ++i) {
    if (!FieldEquals(connections[i].szEntryName, LINKWELL_DEFAULT_ENTRY)) continue;
    RASPPPIPA projection = {};
    projection.dwSize = sizeof(projection);
    DWORD size = sizeof(projection);
    char address[sizeof(projection.szIpAddress)] = "";
    if (EngineCalls().rasGetProjectionInfo(connections[i].hrasconn, RASP_PppIp, &projection, &size) == 0) {
      CopyText(address, projection.szIpAddress);
    }
    HostSetText(kTextIpAddress, address);
    HostSetText(kTextConnectionName, connections[i].szEntryName);
  }
}

}  // namespace

int ClassifyNetwork() {
  return QueryClassification();
}

int CheckNetwork() {
  WriteDefaultEntryTexts();
  int result = QueryClassification();
  const char* status = nullptr;
  switch (result) {
    case kNetNotConnected:
      status = "网络未连接";
      break;
    case kNetThroughRas:
      status = "采用RAS拨号连接上网";
      break;
    case kNetThroughLan:
      status = "采用网卡通过局域网上网";
      break;
    case kNetThroughProxy:
      status = "使用代理服务器上网";
      break;
    default:
      break;
  }
  if (status) {
    char text[200];
    snprintf(text, sizeof(text), "%s", status);
    HostSetText(kTextNetworkStatus, text);
  }
  return result;
}
