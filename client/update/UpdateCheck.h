// CUpdateCheck: the client's side of updating. Once a dial connection is first seen in a run, the
// main window hears WM_NETWORK_READY and, in automatic update mode, fetches the update list and
// offers to start the updater "Renewer.exe" from the client's folder when it names a newer
// version. Command 32773 starts the updater directly.
//
// The main window owns one object for its life:
//   OnInitDialog:      StartNetworkWait(window, manager)
//   WM_NETWORK_READY:  return CheckForUpdate(window, config)
//   command 32773:     CUpdateCheck::StartUpdater()
//   when it is destroyed: StopNetworkWait()
#pragma once

#include <windows.h>

#include <string>

#include "common/WorkerThreads.h"

class CConfigStore;
class CConnectManage;

// Posted once to the main window when a dial connection is first seen; wParam and lParam are 0.
constexpr UINT WM_NETWORK_READY = WM_USER + 10005;

// What the update check does that tests must replace: the question and the start of the updater.
struct UpdateSystem {
  int(WINAPI* messageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
  UINT(WINAPI* winExec)(LPCSTR commandLine, UINT show);
};
// The table in use; starts as the real one.
UpdateSystem& UpdateCalls();
UpdateSystem RealUpdateSystem();

class CUpdateCheck {
 public:
  CUpdateCheck() = default;
  // Stops the network wait (see StopNetworkWait).
  ~CUpdateCheck() = default;
  CUpdateCheck(const CUpdateCheck&) = delete;
  CUpdateCheck& operator=(const CUpdateCheck&) = delete;

  // Starts the network wait: every 100 ms it asks manager for the network type; when that is 1
  // (through a dial connection) it waits 100 ms more, posts WM_NETWORK_READY to mainWindow and
  // ends. It posts at most once in the object's life. manager must outlive the wait. False when
  // the thread cannot be started or a wait was started before.
  bool StartNetworkWait(HWND mainWindow, CConnectManage& manager);
  // Sets the stop flag and waits for the network wait without a time limit, delivering meanwhile
  // the messages other threads send to the calling thread. Returns at once when none runs.
  void StopNetworkWait();
  // True once the network wait has ended (after its post, or stopped); false while it waits and
  // before it was started.
  bool NetworkWaitEnded() const;

  // The handler of WM_NETWORK_READY; returns 0. In automatic update mode ("UPDATESET" on) it fetches
  // the list named by "UpdateConfig.ini" of the client's folder into "UpdateList.ini" of the
  // temporary folder and, when its version is greater than the installed one, asks
  // "发现新的版本，是否更新？" ("提示更新", Yes/No) and on Yes starts "Renewer.exe" of the client's
  // folder (show command 5). A missing configuration, an address that is not http, a failed
  // request, a status other than 200 or a list that cannot be saved end the check silently.
  int CheckForUpdate(HWND mainWindow, CConfigStore& config);
  // The same for a client in clientFolder (ending with a backslash) and a temporary folder of
  // the caller's choice (ending with a backslash).
  int CheckForUpdate(HWND mainWindow, CConfigStore& config, const std::string& clientFolder,
                     const std::string& temporaryFolder);

  // Command 32773: opens "Renewer.exe" of the client's folder through the shell; the result is not
  // checked.
  static void StartUpdater();

 private:
  CWorkerThread m_networkWait;
  bool m_waitStarted = false;
};
