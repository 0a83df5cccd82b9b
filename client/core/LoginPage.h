// CLoginPage: the first tab of the main window (user name, password, remember flag, connect and
// disconnect). Every connect and disconnect command of the program ends in its handlers.
#pragma once

#include "client/core/PageBase.h"

class CConfigStore;
class CConnectManage;

class CLoginPage : public CPageBase {
 public:
  CLoginPage(CConfigStore& config, CConnectManage& manager);

  // The connect handler: checks the input, saves the user and starts the dial.
  void OnConnect();
  // The disconnect handler: closes the record and starts the hang-up.
  void OnDisconnect();
  // 1 when both the user name and the password box hold text, otherwise 0.
  int HasCredentials() const;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  // The disconnect handler sits in the cancel slot; Escape never reaches it.
  void OnCancel() override;

 private:
  CConfigStore& m_config;
  CConnectManage& m_manager;
};
