// CLoginPage: the first tab of the main window (user name, password, remember flag, connect and
// disconnect). Every connect and disconnect command of the program ends in its handlers. The page
// owns the dial sequence and the supervision of the connection; it changes no status text itself
// (the dial engine and the watchers do).
#pragma once

#include <windows.h>

#include "client/core/DialSequence.h"
#include "client/core/PageBase.h"
#include "client/core/Supervisor.h"

class CConfigStore;
class CConnectManage;
class CMessageClient;

class CLoginPage : public CPageBase {
 public:
  // The title of the page's messages.
  static constexpr const char* kCaption = "提示";

  CLoginPage(CConfigStore& config, CConnectManage& manager);
  ~CLoginPage() override;

  // The connect handler: checks the input (refusing with a message, nothing saved or dialled),
  // saves the user and the last user, starts the dial and reads the redial settings. Returns as
  // soon as the dial worker is started.
  void OnConnect();
  // The disconnect handler: closes the current record with the connection's traffic and starts the
  // hang-up.
  void OnDisconnect();
  // 1 when both the user name and the password box hold text, otherwise 0.
  int HasCredentials() const;

  // The main window's message client, for the notices; null sends none.
  void SetMessageClient(CMessageClient* client);
  // Starts watching the connection (see CSupervisor::Start); returns its code.
  int StartSupervision(HWND mainWindow, HWND toolbar);
  // The exit's part of the page: the watchers and workers end, the record is closed, the offline
  // notice sent and the line hung up (see CSupervisor::Stop).
  void StopSupervision();

  // For the tests.
  CDialSequence& Sequence() { return m_sequence; }
  int DeviceCount() const { return m_deviceCount; }
  bool RememberFlag() const { return m_remember; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  // The disconnect handler sits in the cancel slot; Escape never reaches it.
  void OnCancel() override;

 private:
  // The engine's entry-name callback: adds the name to the hidden device list.
  static int DeviceCallback(char* entryName, void* page);
  void AddDevice(const char* entryName);
  void OnUserSelectionChanged();
  void OnRememberToggled();
  void Refuse(const char* text);

  CConfigStore& m_config;
  CConnectManage& m_manager;
  bool m_remember = true;
  int m_deviceCount = 0;
  CDialSequence m_sequence;
  CSupervisor m_supervisor;
};
