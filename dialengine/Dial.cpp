#include "dialengine/Dial.h"

#include <atomic>

#include "common/TextCopy.h"
#include "dialengine/DialerCount.h"
#include "dialengine/HostAccess.h"
#include "dialengine/NetworkCheck.h"

namespace {

std::atomic<int> g_liveDialers{0};

}  // namespace

int LiveDialerCount() {
  return g_liveDialers.load();
}

// The buffers start empty rather than holding whatever the heap had: a dial before SetConnectInfo
// then sends empty credentials instead of reading past unterminated garbage.
CDial::CDial()
    : m_userName(),
      m_password(),
      m_entryName(),
      m_connected(0),
      m_disconnecting(0),
      m_connecting(0),
      m_connectCount(0) {
  ++g_liveDialers;
}

CDial::CDial(const CDial& other)
    : m_ipAddress(other.m_ipAddress),
      m_connected(other.m_connected),
      m_disconnecting(other.m_disconnecting),
      m_connecting(other.m_connecting),
      m_connectCount(other.m_connectCount) {
  memcpy(m_userName, other.m_userName, sizeof(m_userName));
  memcpy(m_password, other.m_password, sizeof(m_password));
  memcpy(m_entryName, other.m_entryName, sizeof(m_entryName));
  ++g_liveDialers;
}

CDial& CDial::operator=(const CDial& other) = default;

CDial::~CDial() {
  // The clear password goes with the dialer.
  SecureZeroMemory(m_password, sizeof(m_password));
  --g_liveDialers;
}

void CDial::SetUserInfo(char* user, char* password) {
  if (user) CopyText(m_userName, user);
  if (password) {
    // A shorter password must not leave the tail of the one before it behind its terminator.
    SecureZeroMemory(m_password, sizeof(m_password));
    CopyText(m_password, password);
  }
}

int CDial::CheckNet() {
  return CheckNetwork();
}

int CDial::SetText(int controlId, char* text) {
  HostSetText(controlId, text);
  return 0;
}

void CDial::SetCtrlEnable(int commandId, int enable) {
  HostEnableButton(commandId, enable);
}

void CDial::SetMenuEnable(int menuPos, unsigned itemPos) {
  HostEnableMenuItem(menuPos, itemPos, true);
}

void CDial::SetMenuDisable(int menuPos, unsigned itemPos) {
  HostEnableMenuItem(menuPos, itemPos, false);
}
