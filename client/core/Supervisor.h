// CSupervisor: the watch over the default entry's connection, whoever dialled it. Part of
// CConnection, which owns it.
//
// The connect watcher waits for the system's notice of a new connection while nothing is watched;
// the disconnect watcher waits for the end of the watched connection, reads its traffic counters
// every few seconds meanwhile, tells a hang-up of the client from a lost line and applies the redial
// policy. Each handles one event under the dial lock and sends WM_DIAL_CONNECTED or
// WM_DIAL_DISCONNECTED to the main window while it holds it.
#pragma once

#include <windows.h>

#include <ras.h>

#include "client/core/RedialPolicy.h"
#include "common/Handles.h"
#include "common/WorkerThreads.h"

class CConnection;

// The system calls supervision makes to start; tests replace them to make a step fail.
struct SupervisorSystem {
  // An auto-reset event, not signalled; null on failure.
  HANDLE (*createEvent)();
  // A running thread; null on failure.
  ThreadCreator createThread;
};
// The calls in use; they start out as the real ones.
SupervisorSystem& SupervisorCalls();
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
  // How long the hang-up of a lost line waits for its tear-down.
  static constexpr DWORD kTearDownWaitMs = 10000;

  explicit CSupervisor(CConnection& connection);
  // Ends the watchers if they still run.
  ~CSupervisor();
  CSupervisor(const CSupervisor&) = delete;
  CSupervisor& operator=(const CSupervisor&) = delete;

  // Scans the active connections for the default entry (making it the watched one and showing it
  // in the main window), creates the connect and disconnect events and starts the two watchers.
  // Returns kStarted or the negative code of the first thing that could not be created.
  int Start();
  // Wakes the watchers (the connection's stop request must be set), waits for them to end while
  // delivering the messages they send to the calling thread, and closes the events.
  void EndWatchers();
  // Wakes the watchers from their waits (the connection's stop request must be set).
  void WakeWatchers();
  // Waits up to timeoutMs (delivering sent messages) for both watchers to end; true when they have.
  bool WatchersEnded(DWORD timeoutMs);
  // Hands the line that the client's own dial brought up to the connect watcher and wakes it: the
  // system's notice of that line may have come and gone before the watcher looked.
  void HandOverDialled(HRASCONN line);

 private:
  class CRedialHost;

  void RunConnectWatcher();
  void RunDisconnectWatcher();
  // Handles the end of connection under the dial lock; false when the watcher must end.
  bool HandleDisconnection(HRASCONN connection, RedialSettings* redial, unsigned* disconnectsAtDrop);
  void ApplyRedialPolicy(const RedialSettings& settings, unsigned disconnectsAtDrop);
  // Waits for the stop request up to milliseconds; true when stopping.
  bool SleepUnlessStopping(DWORD milliseconds);

  // The connection as the watcher shows it: up (with the engine's texts and the message line) or
  // lost.
  void ShowConnected();
  void ShowDisconnected();

  CConnection& m_connection;
  ui::CHandle m_connectEvent;
  ui::CHandle m_disconnectEvent;
  CWorkerThread m_connectWatcher;
  CWorkerThread m_disconnectWatcher;
};
