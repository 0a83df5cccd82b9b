// CDialApp: the application object. It owns, for the whole run, the single-instance mutex, the
// connection manager, the configuration (loaded when the object is constructed), the connection
// built on them and the message store, and runs the main window.
#pragma once

#include <windows.h>

#include "client/core/Connection.h"
#include "client/messaging/MessageStore.h"
#include "client/store/ConfigStore.h"
#include "common/Handles.h"
#include "dialengine/ConnectManage.h"

class CDialApp {
 public:
  // Loads "config.xml" beside the program, creating it with defaults when missing.
  CDialApp();
  ~CDialApp();

  CDialApp(const CDialApp&) = delete;
  CDialApp& operator=(const CDialApp&) = delete;

  // Starts the program: a second instance brings the first one's window forward and returns 0 (an
  // instance that is still ending, its window already gone, is waited for up to 10 s, and then this
  // one starts); otherwise Windows Sockets are started (on failure a message, then 0) and the main window
  // runs until "退出". Returns the program's exit code.
  int Run();

  CConfigStore& Config() { return m_config; }
  CConnectManage& Manager() { return m_manager; }
  CConnection& Connection() { return m_connection; }
  CMessageStore& Messages() { return m_messages; }

  // Brings the window of a running instance forward (restoring it from the tray when hidden).
  // False when no window carries the instance property.
  static bool ActivateRunningInstance();

 private:
  static constexpr DWORD kExitingInstanceWaitMs = 10000;

  // Opens "MessageInfo.xml" beside the program, creating it when missing.
  void OpenMessageStore();
  // Waits for the instance mutex that an ending instance still holds; true once this one owns it.
  bool WaitForExitingInstance();

  CConfigStore m_config;
  CConnectManage m_manager;
  // Declared after the configuration and the manager, which it uses.
  CConnection m_connection;
  CMessageStore m_messages;
  ui::CHandle m_mutex;
};
