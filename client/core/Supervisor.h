// CSupervisor: the watch over the default entry's connection, whoever dialled it.
//
// The connect watcher waits for the system's notice of a new connection while nothing is watched;
// the disconnect watcher waits for the end of the watched connection, reads its traffic counters
// every few seconds meanwhile, tells a hang-up of the client from a lost line and applies the redial
// policy. Each handles one event under the dial lock and sends WM_DIAL_CONNECTED or
// WM_DIAL_DISCONNECTED to the main window while it holds it.
#pragma once

#include <windows.h>

#include <ras.h>

#include <atomic>

#include "client/core/RedialPolicy.h"

class CDialSequence;

// The system calls supervision makes to start; tests replace them to make a step fail.
struct SupervisorSystem {
  // An auto-reset event, not signalled; null on failure.
  HANDLE (*createEvent)();
  // A running thread; null on failure.
  HANDLE (*createThread)(LPTHREAD_START_ROUTINE start, void* param);
};
// The calls in use; they start out as the real ones.
SupervisorSystem& SupervisorApi();
SupervisorSystem RealSupervisorSystem();

class CSupervisor {
 public:
  // Codes of Start.
  enum {
    kStarted = 0,
    kNoConnectEvent = -1,
    kNoDisconnectEvent = -2,
    kNoConnectWatcher = -3,
    kNoDisconnectWatcher = -4,
  };
  // How often the traffic counters of the watched connection are read.
  static constexpr DWORD kTrafficSampleMs = 2000;
  // How often a watcher that does not wait on the system looks again.
  static constexpr DWORD kPollMs = 1000;

  explicit CSupervisor(CDialSequence& sequence);
  // Stops (without the closing steps) if Stop was not called.
  ~CSupervisor();
  CSupervisor(const CSupervisor&) = delete;
  CSupervisor& operator=(const CSupervisor&) = delete;

  // Scans the active connections for the default entry (making it the watched one and showing it
  // in the main window), creates the connect and disconnect events and starts the two watchers.
  // mainWindow receives the watchers' messages; toolbar holds the connect and disconnect buttons.
  // Returns kStarted or the negative code of the first thing that could not be created.
  int Start(HWND mainWindow, HWND toolbar);

  // The exit: ends the watchers (also a redial in progress) and the workers, waiting for them while
  // delivering the messages they send to the calling thread, closes the events and the dial lock;
  // then closes the current record as a normal end, sends the offline notice and hangs up.
  void Stop();

 private:
  class CRedialHost;

  static DWORD WINAPI ConnectWatcherMain(LPVOID param);
  static DWORD WINAPI DisconnectWatcherMain(LPVOID param);
  void RunConnectWatcher();
  void RunDisconnectWatcher();
  // Handles the end of connection under the dial lock; false when the watcher must end.
  bool HandleDisconnection(HRASCONN connection, RedialSettings* redial, unsigned* disconnectsAtDrop);
  void ApplyRedialPolicy(const RedialSettings& settings, unsigned disconnectsAtDrop);
  // Waits for the stop event up to milliseconds; true when stopping.
  bool SleepUnlessStopping(DWORD milliseconds);
  // Ends and closes the watcher threads and the events.
  void EndWatchers();

  void ShowConnected();
  void ShowDisconnected();
  void EnableButton(int command, bool enable);
  void EnableMenuItem(int menu, UINT item, bool enable);
  void SetMessageLine(const char* text);

  CDialSequence& m_sequence;
  HWND m_main = nullptr;
  HWND m_toolbar = nullptr;
  HANDLE m_connectEvent = nullptr;
  HANDLE m_disconnectEvent = nullptr;
  HANDLE m_connectWatcher = nullptr;
  HANDLE m_disconnectWatcher = nullptr;
  bool m_stopped = false;
};
