// CDialSequence: the dial and the hang-up of the login page, and the state they share with the
// connection watchers (CSupervisor).
//
// The dial lock (an unnamed mutex) serialises each dial, each hang-up and the watchers' handling
// of one event; the dialing and hang-up flags are written under it. The user-interface thread
// never waits for the dial lock: the handlers start workers, and the watchers send their messages
// to the main window while they hold it. The connection record, the traffic counters and the
// credentials have a short lock of their own that is never held while waiting for anything else,
// so the user-interface thread may take it.
#pragma once

#include <windows.h>

#include <ras.h>

#include <atomic>
#include <mutex>
#include <string>

#include "client/core/TrafficCounter.h"
#include "client/store/RecordFiles.h"
#include "common/WorkerThreads.h"

class CConfigStore;
class CConnectManage;
class CMessageClient;

class CDialSequence {
 public:
  CDialSequence(CConfigStore& config, CConnectManage& manager);
  // Stops, waits for the workers and closes the lock.
  ~CDialSequence();
  CDialSequence(const CDialSequence&) = delete;
  CDialSequence& operator=(const CDialSequence&) = delete;

  // Creates the dial lock (not owned) and the events. False when one cannot be created; dials and
  // hang-ups then do nothing.
  bool Create();
  // The client the notices go through; null sends none. Set before the first dial.
  void SetMessageClient(CMessageClient* client) { m_messageClient.store(client); }

  // The dial of a connect command: keeps the credentials for the redials and starts the dial
  // worker, which waits for the dial lock, dials, starts the notice worker and opens the record.
  void StartDial(const std::string& user, const std::string& dialPassword);
  // The disconnect command: ends a redial loop in progress, closes the current record as a normal
  // end with the connection's traffic, and starts the hang-up worker, which sends the offline
  // notice and hangs up under the dial lock. A dial that was still running when the command came
  // opens its record before the hang-up; the hang-up worker closes that one as a normal end.
  void Disconnect();

  // Takes the dial lock, waiting without limit; false (lock not taken) once stopping.
  bool AcquireDialLock();
  void ReleaseDialLock();

  // The flags, written under the dial lock.
  std::atomic<int> dialing{0};
  std::atomic<int> hangUp{0};
  // The connection the watchers follow; null when none.
  std::atomic<HRASCONN> watched{nullptr};

  // The user name and dial password of the last connect command.
  void GetCredentials(std::string* user, std::string* password);
  // The redial tries and gap (seconds) of the last connect command that read them.
  void SetRedial(int tries, int gapSeconds);
  int RedialTries() const { return m_redialTries.load(); }
  int RedialGap() const { return m_redialGap.load(); }

  // Opens the connection record of a dial attempt for user, with the address of the default
  // entry's connection (empty when there is none), and makes it the current record. When the
  // dial connected, the traffic count starts for that connection.
  void OpenRecord(const std::string& user, bool connected);
  // A connection the watchers found up: its traffic count starts, and when no record is current
  // (the connection was not dialled here) the month file's first open record stands for it.
  void NoteConnection(HRASCONN connection);
  // Adds one reading of the connection's counters (a new connection starts a new count).
  void SampleTraffic(HRASCONN connection);
  // Closes the current record, if any, as a normal end with the traffic of the default entry's
  // connection (empty when its statistics cannot be read), or as a lost one (traffic not
  // written). Afterwards no record is current.
  void CloseRecord(ConnectionEnd end);
  // The identity of the current record (unset when none or when it is not known).
  ConnectionRecordId CurrentRecord();

  // The number of disconnect commands so far.
  unsigned UserDisconnects() const { return m_userDisconnects.load(); }
  // Auto-reset; signalled by each disconnect command and by RequestStop.
  HANDLE InterruptEvent() const { return m_interrupt; }

  // Sends the offline notice with the user name of the last connect command.
  void SendOfflineNotice();

  // Starts the exit: every wait for the lock and every interruptible pause ends.
  void RequestStop();
  bool Stopping() const { return m_stopping.load(); }
  // Manual-reset, signalled by RequestStop.
  HANDLE StopEvent() const { return m_stop; }
  // Returns once the dial, hang-up and notice workers have ended, delivering the messages they
  // send to the calling thread meanwhile.
  void WaitForWorkers() { m_workers.WaitUntilIdle(); }
  int RunningWorkers() { return m_workers.Running(); }
  // Closes the dial lock; call after the workers and the watchers have ended.
  void CloseLock();

  CConnectManage& Manager() { return m_manager; }
  CConfigStore& Config() { return m_config; }

 private:
  enum class RecordState { kNone, kOurs, kUnidentified };

  void RunDial(const std::string& user, const std::string& password);
  // recordsAtCommand: the number of records opened when the disconnect command was given.
  void RunHangUp(const std::string& user, unsigned recordsAtCommand);
  unsigned RecordsOpened();
  void StartNotices(const std::string& user);
  // Under m_recordLock.
  void SampleLocked(HRASCONN connection);

  CConfigStore& m_config;
  CConnectManage& m_manager;
  std::atomic<CMessageClient*> m_messageClient{nullptr};

  HANDLE m_dialLock = nullptr;
  HANDLE m_stop = nullptr;
  HANDLE m_interrupt = nullptr;
  std::atomic<bool> m_stopping{false};
  std::atomic<unsigned> m_userDisconnects{0};
  std::atomic<int> m_redialTries{0};
  std::atomic<int> m_redialGap{0};

  std::mutex m_credentialsLock;
  std::string m_user;
  std::string m_password;

  // The record, its identity and the traffic count; file writes happen under it too, so two
  // threads never rewrite a month file at once.
  std::mutex m_recordLock;
  RecordState m_recordState = RecordState::kNone;
  ConnectionRecordId m_record;
  unsigned m_recordsOpened = 0;
  HRASCONN m_trafficConnection = nullptr;
  CTrafficCounter m_traffic;

  CWorkerThreads m_workers;
};
