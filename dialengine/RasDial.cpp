#include "dialengine/RasDial.h"

#include <cstdio>

#include "common/TextCopy.h"
#include "dialengine/ConnectManage.h"
#include "dialengine/EngineSystem.h"
#include "dialengine/HostAccess.h"

namespace {

const DWORD kHangUpCapacity = 20;
const DWORD kPollIntervalMs = 50;

// Drains the calling thread's queue. WM_QUIT is not dispatched but reported, so that the caller can
// post it again once the wait is over and the thread's own loop still sees it.
bool PumpMessages(int* quitCode) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      *quitCode = static_cast<int>(message.wParam);
      return true;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return false;
}

DWORD ConnectionStatus(HRASCONN connection) {
  RASCONNSTATUSA status = {};
  status.dwSize = sizeof(status);
  return EngineCalls().rasGetConnectStatus(connection, &status);
}

// RasHangUpA returns before the line is down; the handle stays valid until the system has
// finished, and the status query answers ERROR_INVALID_HANDLE from then on. A system that never
// gets there must not hold the calling thread forever.
void WaitUntilGone(HRASCONN connection) {
  const DWORD start = EngineCalls().tickCount();
  bool quit = false;
  int quitCode = 0;
  while (ConnectionStatus(connection) != ERROR_INVALID_HANDLE) {
    if (!quit) quit = PumpMessages(&quitCode);
    if (EngineCalls().tickCount() - start >= CRasDial::kHangUpWaitMs) break;
    if (quit) {
      Sleep(kPollIntervalMs);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollIntervalMs, QS_ALLINPUT);
    }
  }
  if (quit) PostQuitMessage(quitCode);
}

}  // namespace

CRasDial::CRasDial() : m_hrasconn(nullptr) {}

CRasDial::~CRasDial() = default;

void CRasDial::SetHrasconn(HRASCONN connection) {
  m_hrasconn = connection;
}

int CRasDial::GetConnectState() {
  RASCONNA connection = {};
  connection.dwSize = sizeof(connection);
  DWORD bytes = sizeof(connection);
  DWORD count = 0;
  if (EngineCalls().rasEnumConnections(&connection, &bytes, &count) != 0 || count == 0) return 0;
  RASCONNSTATUSA status = {};
  status.dwSize = sizeof(status);
  if (EngineCalls().rasGetConnectStatus(connection.hrasconn, &status) != 0) return 0;
  return status.rasconnstate == RASCS_Connected ? 1 : 0;
}

int CRasDial::Connect() {
  m_connecting = 1;
  SetCtrlEnable(kButtonDisconnect, 0);
  SetCtrlEnable(kButtonConnect, 0);
  SetMenuDisable(kMenuDial, kItemHangUp);
  SetMenuDisable(kMenuDial, kItemDial);
  HostSetText(kTextMessage, "正在连接拨号网络,请稍候...");

  RASDIALPARAMSA params = {};
  params.dwSize = sizeof(params);
  CopyText(params.szEntryName, m_entryName);
  CopyText(params.szUserName, m_userName);
  CopyText(params.szPassword, m_password);

  m_hrasconn = nullptr;
  DWORD result = EngineCalls().rasDial(nullptr, nullptr, &params, 0, nullptr, &m_hrasconn);
  SecureZeroMemory(params.szPassword, sizeof(params.szPassword));
  if (result != 0) {
    // A failed dial may still leave a half-open connection behind its handle.
    if (m_hrasconn) {
      EngineCalls().rasHangUp(m_hrasconn);
      m_hrasconn = nullptr;
    }
    char systemText[256] = "";
    if (EngineCalls().rasGetErrorString(result, systemText, sizeof(systemText)) != 0) systemText[0] = '\0';
    systemText[sizeof(systemText) - 1] = '\0';
    char line[300];
    snprintf(line, sizeof(line), "%s%s", "连接错误!\r\n", systemText);
    HostSetText(kTextMessage, line);
    SetCtrlEnable(kButtonConnect, 1);
    SetMenuEnable(kMenuDial, kItemDial);
    m_connecting = 0;
    // The caller tells a refused password (691) from a line fault by this code; the window calls
    // above may have changed the thread's last error, so it is set last.
    SetLastError(result);
    return 0;
  }

  RASPPPIPA projection = {};
  projection.dwSize = sizeof(projection);
  DWORD size = sizeof(projection);
  char address[sizeof(projection.szIpAddress)] = "";
  if (EngineCalls().rasGetProjectionInfo(m_hrasconn, RASP_PppIp, &projection, &size) == 0) {
    CopyText(address, projection.szIpAddress);
  }
  m_ipAddress = address;
  ++m_connectCount;
  HostSetText(kTextMessage, "已经成功地建立了连接");
  m_connected = 1;
  m_connecting = 0;
  SetCtrlEnable(kButtonDisconnect, 1);
  SetCtrlEnable(kButtonConnect, 0);
  SetMenuEnable(kMenuDial, kItemHangUp);
  SetMenuEnable(kMenuStatistics, kItemStatistics);
  CheckNet();
  return 1;
}

int CRasDial::Close() {
  m_disconnecting = 1;
  HostSetText(kTextMessage, "正在断开当前的拨号连接，请稍候...");
  if (m_hrasconn) {
    EngineCalls().rasHangUp(m_hrasconn);
    WaitUntilGone(m_hrasconn);
    m_hrasconn = nullptr;
  }
  SetCtrlEnable(kButtonDisconnect, 0);
  SetCtrlEnable(kButtonConnect, 0);
  SetMenuDisable(kMenuDial, kItemHangUp);

  RASCONNA connections[kHangUpCapacity] = {};
  connections[0].dwSize = sizeof(RASCONNA);
  DWORD bytes = sizeof(connections);
  DWORD count = 0;
  if (EngineCalls().rasEnumConnections(connections, &bytes, &count) == 0) {
    if (count > kHangUpCapacity) count = kHangUpCapacity;
    for (DWORD i = 0; i < count; ++i) {
      if (!FieldEquals(connections[i].szEntryName, LINKWELL_DEFAULT_ENTRY)) continue;
      HRASCONN connection = connections[i].hrasconn;
      if (ConnectionStatus(connection) == ERROR_INVALID_HANDLE) continue;
      EngineCalls().rasHangUp(connection);
      WaitUntilGone(connection);
    }
  }

  HostSetText(kTextIpAddress, "");
  HostSetText(kTextNetworkStatus, "网络连接已经关闭");
  HostSetText(kTextConnectionName, "");
  HostSetText(kTextMessage, "欢迎使用远岸宽带拨号客户端");
  m_connected = 0;
  m_disconnecting = 0;
  SetCtrlEnable(kButtonConnect, 1);
  SetMenuEnable(kMenuDial, kItemDial);
  SetMenuDisable(kMenuStatistics, kItemStatistics);
  return CheckNet();
}
