#include "common/ui/TrayIcon.h"

#include <cstring>

#include "common/TextCopy.h"

// The record of the Windows XP generation ends before guidItem, which the MinGW headers always
// declare whatever _WIN32_IE says; the size field names that shorter record, and the system reads
// no further.
constexpr DWORD kRecordSize = NOTIFYICONDATAA_V2_SIZE;
#if !defined(_WIN64)
static_assert(kRecordSize == 488, "the notification-icon record must have the XP layout");
#endif

namespace ui {

CTrayIcon::CTrayIcon() {
  std::memset(&m_data, 0, sizeof(m_data));
  m_data.cbSize = kRecordSize;
}

CTrayIcon::~CTrayIcon() {
  Remove();
}

bool CTrayIcon::Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, const char* tip) {
  std::memset(&m_data, 0, sizeof(m_data));
  m_data.cbSize = kRecordSize;
  m_data.hWnd = owner;
  m_data.uID = id;
  m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_data.uCallbackMessage = callbackMessage;
  m_data.hIcon = icon;
  CopyText(m_data.szTip, tip);
  m_added = true;
  return Shell_NotifyIconA(NIM_ADD, &m_data) != FALSE;
}

bool CTrayIcon::Restore() {
  if (!m_added) return false;
  NOTIFYICONDATAA data = m_data;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  return Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

bool CTrayIcon::SetIcon(HICON icon) {
  m_data.hIcon = icon;
  if (!m_added) return false;
  m_data.uFlags = NIF_ICON;
  return Shell_NotifyIconA(NIM_MODIFY, &m_data) != FALSE;
}

bool CTrayIcon::SetTip(const char* tip) {
  CopyText(m_data.szTip, tip);
  if (!m_added) return false;
  m_data.uFlags = NIF_TIP;
  return Shell_NotifyIconA(NIM_MODIFY, &m_data) != FALSE;
}

bool CTrayIcon::ShowBalloon(const char* title, const char* text, UINT timeout) {
  CopyText(m_data.szInfoTitle, title);
  CopyText(m_data.szInfo, text);
  m_data.uTimeout = timeout;
  m_data.dwInfoFlags = NIIF_NONE;
  if (!m_added) return false;
  m_data.uFlags = NIF_INFO;
  return Shell_NotifyIconA(NIM_MODIFY, &m_data) != FALSE;
}

void CTrayIcon::Remove() {
  if (!m_added) return;
  m_data.uFlags = 0;
  Shell_NotifyIconA(NIM_DELETE, &m_data);
  m_added = false;
}

UINT CTrayIcon::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

}  // namespace ui
