// CLoginPage: the first tab of the main window (user name, password, remember flag, connect and
// disconnect). Every connect and disconnect command of the program ends in its handlers. The page
// moves values between its controls and the connection; it changes no status text itself (the dial
// engine and the watchers do).
#pragma once

#include <windows.h>

#include <string>

#include "client/core/PageBase.h"

class CConfigStore;
class CConnection;

class CLoginPage : public CPageBase {
 public:
  CLoginPage(CConfigStore& config, CConnection& connection);

  // The connect handler: checks the input (refusing with a message, nothing saved or dialled),
  // saves the user and the last user, hands user and dial password to the connection and reads the
  // redial settings. Returns as soon as the dial has been started. byUser is false for the
  // automatic connection at start, which offers no diagnosis when the line does not answer.
  void OnConnect(bool byUser = true);
  // The disconnect handler.
  void OnDisconnect();
  // Reads the controls: 1 when both the user name and the password box hold text, otherwise 0.
  int HasCredentials();

  // The values of the controls, moved by DoDataExchange. The password is what the box holds: a
  // typed password or the stored text of a remembered one; it is wiped once a connect command has
  // used it.
  std::string userName;
  std::string password;
  int remember = 1;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;
  // The disconnect handler sits in the cancel slot; Escape never reaches it.
  void OnCancel() override;

 private:
  friend class CLoginPageProbe;

  // The engine's entry-name callback: adds the name to the hidden device list.
  static int DeviceCallback(char* entryName, void* page);
  void AddDevice(const char* entryName);
  void OnUserSelectionChanged();
  void OnRememberToggled();
  void Refuse(const char* text);

  CConfigStore& m_config;
  CConnection& m_connection;
  int m_deviceCount = 0;
};
