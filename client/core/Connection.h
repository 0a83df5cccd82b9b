// CConnection: the one home of the connection. The application object owns it for the whole run;
// the main window, its pages and the tool dialogs get it by reference.
//
// It holds the dial and the hang-up with the lock between them, the credentials of the last connect
// command (kept for the redials), the record of the current connection (CCurrentRecord), the watch
// over the default entry's connection with the redial policy (CSupervisor), and the client's voice in
// the main window (CMainView).
//
// The dial lock (an unnamed mutex) serialises each dial, each hang-up and the watchers' handling of
// one event; the dialing and hang-up flags are written under it. The user-interface thread never
// waits for the dial lock: the commands start workers, and the watchers send their messages to the
// main window while they hold it.
#pragma once

#include <windows.h>

#include <ras.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "client/core/CurrentRecord.h"
#include "client/core/MainView.h"
#include "common/Secret.h"
#include "common/WorkerThreads.h"

class CConfigStore;
class CConnectManage;
class CMessageClient;
class CSupervisor;

class CConnection {
 public:
  CConnection(CConfigStore& config, CConnectManage& manager);
  // Ends everything that still runs (without the closing steps of Stop) and closes the lock.
  ~CConnection();
  CConnection(const CConnection&) = delete;
  CConnection& operator=(const CConnection&) = delete;

  // The main window's start, once its view is attached (View().Attach): creates the dial lock and
  // starts watching the default entry's connection (see CSupervisor::Start). Returns 0 or the
  // negative code of the first thing that could not be created (-1 connect event, -2 disconnect
  // event, -3 connect watcher, -4 disconnect watcher).
  int Start();
  // The exit, once: ends the watchers (also a redial in progress) and the workers, waiting for
  // them while delivering the messages they send to the calling thread; a dial still waiting for
  // the provider is hung up so that it returns at once. Then closes the current record as a normal
  // end, sends the offline notice and hangs up. The window is detached.
  void Stop();

  // The client the notices go through; null sends none.
  void SetMessageClient(CMessageClient* client) { m_messageClient.store(client); }

  // The connect command: keeps user and password for the redials and starts the dial worker, which waits for
  // the dial lock, dials, starts the notice worker and writes the record of the attempt (closed at once when
  // it failed). A dial that fails shows the hint of its error on the message line; when the user gave
  // the command (byUser) and no access concentrator answered the line, the window is asked to offer
  // the network diagnosis (CMainView::OfferDiagnosis).
  void Connect(const std::string& user, CSecret password, bool byUser = true);
  // The disconnect command: ends a redial loop in progress and starts the hang-up worker, which
  // under the dial lock closes the current record as a normal end with the connection's traffic
  // (read while the line is still up), sends the offline notice and hangs up.
  //
  // Connect and disconnect commands are carried out in the order they were given, however fast
  // they come: a close never runs before the open of the record it closes.
  void Disconnect();
  // The redial tries and gap (seconds) that a connect command read from the configuration.
  void SetRedial(int tries, int gapSeconds);
  // The user name the login page shows now: the user of a connection that was not dialled by a
  // connect command of this run (found up at start, or dialled by another program), whose record,
  // offline notice and redials go by this name and its remembered password.
  void SetLoginUser(const std::string& user);

  // Whether a connection of the default entry is being watched.
  bool IsUp() const { return m_watched.load() != nullptr; }
  // The bytes the followed connection has carried, 64 bits wide.
  void Traffic(uint64_t* sent, uint64_t* received) { m_record.Traffic(sent, received); }
  // Reads the counters of the followed connection now and gives its totals, 64 bits wide; false
  // (outputs untouched) when no connection is followed.
  bool ReadTraffic(uint64_t* sent, uint64_t* received);
  // The identity of the current record (unset when none or when it is not known).
  ConnectionRecordId CurrentRecord() { return m_record.Current(); }
  // The user name of the last connect command, or the login page's when there was none.
  std::string UserName();

  CMainView& View() { return m_view; }
  CConnectManage& Manager() { return m_manager; }
  CConfigStore& Config() { return m_config; }

 private:
  friend class CSupervisor;

  // Takes the dial lock, waiting without limit; false (lock not taken) once stopping.
  bool AcquireDialLock();
  void ReleaseDialLock();
  // One dial of the default entry with the kept credentials, under the dial lock. It first waits
  // (up to 10 s) until an earlier line of the entry has torn down. On kFailed *error is the
  // remote-access error (0 when unknown), and its hint is added to the message line; kNotDialled
  // when the client stopped meanwhile.
  enum class DialResult { kConnected, kFailed, kNotDialled };
  DialResult DialOnce(DWORD* error);
  // Wakes every thread of the connection and waits until they have all ended, hanging up dials in
  // progress meanwhile (the stop request must be set).
  void EndThreads();
  void RunDial(unsigned ticket, bool byUser);
  void RunHangUp(unsigned ticket);
  // The order of the commands: each takes a ticket when given; its worker waits for its turn
  // (false once stopping) and passes the turn on when it ends.
  unsigned TakeTicket();
  bool WaitForTurn(unsigned ticket);
  void EndTurn();
  // Before a redial of a connection that no connect command of this run dialled: takes the login
  // page's user with its remembered password, and the redial tries and gap from the configuration.
  // False (nothing to dial with) when that user has no remembered password.
  bool PrepareRedialOfForeignLine();
  void StartNotices(const std::string& user);
  void SendOfflineNotice();
  // Starts the exit: every wait for the lock and every interruptible pause ends.
  void RequestStop();
  bool Stopping() const { return m_stopping.load(); }
  void CloseLock();

  CConfigStore& m_config;
  CConnectManage& m_manager;
  std::atomic<CMessageClient*> m_messageClient{nullptr};
  CMainView m_view;
  CCurrentRecord m_record;

  ui::CHandle m_dialLock;
  // Manual-reset, set by RequestStop.
  ui::CHandle m_stop;
  // Auto-reset; set by each disconnect command and by RequestStop.
  ui::CHandle m_interrupt;
  std::atomic<bool> m_stopping{false};
  bool m_stopped = false;

  // The flags, written under the dial lock.
  std::atomic<int> m_dialing{0};
  std::atomic<int> m_hangUp{0};
  // The connection the watchers follow; null when none.
  std::atomic<HRASCONN> m_watched{nullptr};
  // The line the client's last dial brought up, until the connect watcher has taken it over; it is
  // taken over even when it has dropped since, so that its end is handled.
  std::atomic<HRASCONN> m_dialled{nullptr};
  std::atomic<unsigned> m_userDisconnects{0};
  std::atomic<int> m_redialTries{0};
  std::atomic<int> m_redialGap{0};

  std::mutex m_credentialsLock;
  std::string m_user;
  CSecret m_password;
  // Whether a connect command of this run gave the credentials above.
  bool m_commanded = false;
  std::string m_loginUser;

  std::mutex m_orderLock;
  std::condition_variable m_turn;
  unsigned m_nextTicket = 0;
  unsigned m_serving = 0;

  std::unique_ptr<CSupervisor> m_supervisor;
  // Declared last: destroyed first, so no worker outlives what it uses.
  CWorkerThreads m_workers;
};
