// CDial: the abstract dialer of the dial engine, and the main-window helpers every dialer uses.
//
// The fields and virtual slots are those of the exported class and stay in this order. The
// helpers write into the host window registered with LinkwellRegisterHost (HostWindow.h); without
// a registered host they do nothing.
#pragma once

#include <windows.h>

#include <ras.h>

#include <string>

#include "dialengine/LinkwellApi.h"

class LINKWELL_API CDial {
 public:
  // Empties the three text buffers and the IP address; flags and connect count start at 0.
  CDial();
  CDial(const CDial& other);
  CDial& operator=(const CDial& other);
  virtual ~CDial();

  // 1 when a RAS connection is up.
  virtual int GetConnectState() = 0;
  // Dials synchronously: 1 when dialled, 0 when the dial failed. A RAS dialer that fails leaves
  // the remote-access error code as the calling thread's last error (GetLastError).
  virtual int Connect() = 0;
  // Hangs up; returns the result of the final network check.
  virtual int Close() = 0;
  // Makes the dialer follow (or, with null, forget) a RAS connection.
  virtual void SetHrasconn(HRASCONN connection) = 0;

  // Copies each non-null argument into its buffer, cut to fit (49 bytes and the terminator).
  void SetUserInfo(char* user, char* password);
  // How the machine reaches the network: 0 not connected, 1 RAS, 2 LAN, 3 proxy, 4 none of these.
  // Writes the IP address, connection name and network status texts.
  int CheckNet();
  // Sets the text of the main window's child control with that id. Always returns 0.
  int SetText(int controlId, char* text);
  // Enables (1) or disables (0) the toolbar button with that command.
  void SetCtrlEnable(int commandId, int enable);
  // Enables, or disables and grays, an item of the main menu bar, both counted by position.
  void SetMenuEnable(int menuPos, unsigned itemPos);
  void SetMenuDisable(int menuPos, unsigned itemPos);

 protected:
  // The manager fills the entry name of the dialer it owns.
  friend class CConnectManage;

  char m_userName[50];
  char m_password[50];
  char m_entryName[100];
  std::string m_ipAddress;
  int m_connected;
  int m_disconnecting;
  int m_connecting;
  int m_connectCount;
};
