#include "dialengine/ConnectManage.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "common/TextCopy.h"
#include "dialengine/DialerShares.h"
#include "dialengine/EngineSystem.h"
#include "dialengine/HostAccess.h"
#include "dialengine/LanDial.h"
#include "dialengine/NetworkCheck.h"
#include "dialengine/RasDial.h"

namespace {

const char kAppTitle[] = "远岸宽带拨号客户端";

// The entry-creation messages: modal to the host's main window when one is registered.
void ShowMessage(const char* text) {
  EngineCalls().messageBox(HostMainWindow(), text, kAppTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

CConnectManage::CConnectManage()
    : m_dialer(nullptr), m_connectType(0), m_entryCallback(nullptr), m_userData(nullptr) {}

CConnectManage::CConnectManage(const CConnectManage& other)
    : m_dialer(other.m_dialer),
      m_connectType(other.m_connectType),
      m_entryCallback(other.m_entryCallback),
      m_userData(other.m_userData) {
  ShareDialer(m_dialer);
}

CConnectManage& CConnectManage::operator=(const CConnectManage& other) {
  if (this == &other) return *this;
  CDial* old = m_dialer;
  m_dialer = other.m_dialer;
  m_connectType = other.m_connectType;
  m_entryCallback = other.m_entryCallback;
  m_userData = other.m_userData;
  ShareDialer(m_dialer);
  ReleaseDialer(old);
  return *this;
}

CConnectManage::~CConnectManage() {
  ReleaseDialer(m_dialer);
}

void CConnectManage::SetConnectType(int type) {
  if (m_dialer && (m_connectType == kConnectTypeRas || m_connectType == kConnectTypeLan)) {
    ReleaseDialer(m_dialer);
    m_dialer = nullptr;
  }
  NewConnect(type);
}

void CConnectManage::NewConnect(int type) {
  CDial* dialer = nullptr;
  if (type == kConnectTypeRas) {
    dialer = new (std::nothrow) CRasDial();
  } else if (type == kConnectTypeLan) {
    dialer = new (std::nothrow) CLanDial();
  }
  if (type == kConnectTypeRas || type == kConnectTypeLan) {
    // The dialer being replaced is never used again by this manager; keeping it would only leak it.
    AdoptDialer(dialer);
    ReleaseDialer(m_dialer);
    m_dialer = dialer;
  }
  m_connectType = type;
}

void CConnectManage::SetConnectInfo(char* user, char* password, char* entry) {
  if (!m_dialer) return;
  m_dialer->SetUserInfo(user, password);
  if (entry) CopyText(m_dialer->m_entryName, entry);
}

int CConnectManage::Connect() {
  return m_dialer ? m_dialer->Connect() : 0;
}

int CConnectManage::GetConnectState() {
  return m_dialer ? m_dialer->GetConnectState() : 0;
}

void CConnectManage::Close() {
  NewConnect(CheckNet());
  if (m_dialer) m_dialer->Close();
}

// The check reads no dialer state, so it runs the same with or without a dialer.
int CConnectManage::CheckNet() {
  return m_dialer ? m_dialer->CheckNet() : CheckNetwork();
}

int CConnectManage::CheckNetType() {
  return ClassifyNetwork();
}

void CConnectManage::InsertEntryName(EntryNameCallback callback, char* name, void* data) {
  if (!m_entryCallback && callback) m_entryCallback = callback;
  if (!m_userData && data) m_userData = data;
  if (name && m_entryCallback) m_entryCallback(name, m_userData);
}

void CConnectManage::EnumEntry() {
  if (EngineCalls().rasValidateEntryName(nullptr, LINKWELL_DEFAULT_ENTRY) != ERROR_ALREADY_EXISTS) {
    CreateDefaultEntry();
  }
  char name[] = LINKWELL_DEFAULT_ENTRY;
  InsertEntryName(nullptr, name, nullptr);
}

int CConnectManage::CreateDefaultEntry() {
  char text[256];
  DWORD bytes = 0;
  DWORD count = 0;
  EngineCalls().rasEnumDevices(nullptr, &bytes, &count);
  if (bytes < sizeof(RASDEVINFOA)) bytes = sizeof(RASDEVINFOA);
  RASDEVINFOA* devices = static_cast<RASDEVINFOA*>(calloc(1, bytes));
  if (!devices) {
    snprintf(text, sizeof(text), "RasEnumDevices failed: Error %d",
             static_cast<int>(ERROR_NOT_ENOUGH_MEMORY));
    ShowMessage(text);
    return 0;
  }
  devices[0].dwSize = sizeof(RASDEVINFOA);
  DWORD result = EngineCalls().rasEnumDevices(devices, &bytes, &count);
  if (result != 0) {
    snprintf(text, sizeof(text), "RasEnumDevices failed: Error %d", static_cast<int>(result));
    ShowMessage(text);
    free(devices);
    return 0;
  }

  // The system may report more records than the buffer it was given can hold; never read past it.
  const DWORD capacity = bytes / sizeof(RASDEVINFOA);
  if (count > capacity) count = capacity;
  const RASDEVINFOA* chosen = nullptr;
  for (DWORD i = 0; i < count && !chosen; ++i) {
    if (FieldEquals(devices[i].szDeviceType, "pppoe")) chosen = &devices[i];
  }
  if (!chosen) {
    ShowMessage("没有检测到PPPOE驱动，请先安装PPPOE驱动!");
    free(devices);
    return 0;
  }

  RASENTRYA entry = {};
  entry.dwSize = sizeof(entry);
  entry.dwfOptions = RASEO_RemoteDefaultGateway | RASEO_SwCompression;
  entry.dwfNetProtocols = RASNP_Ip;
  entry.dwFramingProtocol = RASFP_Ppp;
  CopyText(entry.szDeviceType, chosen->szDeviceType);
  CopyText(entry.szDeviceName, chosen->szDeviceName);
  entry.dwType = RASET_Broadband;
  free(devices);

  result =
      EngineCalls().rasSetEntryProperties(nullptr, LINKWELL_DEFAULT_ENTRY, &entry, sizeof(entry), nullptr, 0);
  if (result == 0) return 1;
  snprintf(text, sizeof(text), "建立默认拨号连接失败: Error %d", static_cast<int>(result));
  ShowMessage(text);
  return 0;
}

void CConnectManage::SetHrasconnNull() {
  if (m_dialer) m_dialer->SetHrasconn(nullptr);
}
