// CRasDial: the dialer of connection type 1, dialling the phone-book entry through RAS.
//
// Not exported. It adds one field to CDial: the handle of its own dial, null at construction.
#pragma once

#include <string>

#include "dialengine/Dial.h"

class CRasDial : public CDial {
 public:
  // How long a hang-up waits for the system to report a handle gone before it gives up.
  static constexpr DWORD kHangUpWaitMs = 30000;

  CRasDial();
  ~CRasDial() override;

  // 1 when the first connection the system lists is connected (any entry name); 0 when none or more
  // than one connection is listed, or the status cannot be read.
  int GetConnectState() override;
  // Dials the entry synchronously with the stored credentials, writing progress into the host window.
  // 1 when connected; 0 with "连接错误!\r\n" and the system's text on the message line otherwise.
  // After a failure the calling thread's last error (GetLastError) is the remote-access error code.
  int Connect() override;
  // Hangs up its own connection and every listed connection of the default entry, waiting up to
  // kHangUpWaitMs for each to go while dispatching the calling thread's messages; writes the
  // closed-connection texts and returns the final network check.
  int Close() override;
  void SetHrasconn(HRASCONN connection) override;

  HRASCONN Connection() const { return m_hrasconn; }
  const std::string& IpAddress() const { return m_ipAddress; }
  const char* UserName() const { return m_userName; }
  const char* Password() const { return m_password; }
  const char* EntryName() const { return m_entryName; }
  int IsConnected() const { return m_connected; }
  int IsConnecting() const { return m_connecting; }
  int IsDisconnecting() const { return m_disconnecting; }
  int ConnectCount() const { return m_connectCount; }

 private:
  HRASCONN m_hrasconn;
};
