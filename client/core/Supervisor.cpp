#include "client/core/Supervisor.h"

#include <vector>

#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/core/RasQueries.h"
#include "client/store/ConfigStore.h"
#include "dialengine/ConnectManage.h"

namespace {

constexpr DWORD kScanCapacity = 10;

const char kNoPasswordToRedial[] = "连接已断开：没有记住密码，无法自动重新连接";

HANDLE CreateAutoResetEvent() {
  return CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

}  // namespace

SupervisorSystem RealSupervisorSystem() {
  return SupervisorSystem{CreateAutoResetEvent, StartSystemThread};
}

SupervisorSystem& SupervisorCalls() {
  static SupervisorSystem calls = RealSupervisorSystem();
  return calls;
}

// The redial policy's view of the client, on the disconnect watcher's thread.
class CSupervisor::CRedialHost : public IRedialHost {
 public:
  CRedialHost(CConnection& connection, unsigned disconnectsAtDrop)
      : m_connection(connection), m_disconnectsAtDrop(disconnectsAtDrop) {}

  bool Alwaysconnect() override { return m_connection.m_config.GetAlwaysconnect(); }
  bool ReconnectCached() override { return m_connection.m_config.GetReconnectCached(); }

  bool StopRequested() override {
    return m_connection.Stopping() || m_connection.m_userDisconnects.load() != m_disconnectsAtDrop;
  }

  RedialAttempt Dial(unsigned* error) override {
    *error = 0;
    // A redial takes the dial lock like any dial: without it a connect command of the user could
    // replace the engine's dialer in the middle of this one.
    if (!m_connection.AcquireDialLock()) return RedialAttempt::kStopped;
    // The user's "断开" is never answered by a redial, and a line that is up again (the user
    // connected, or someone else did) needs none.
    if (StopRequested() || FindConnectedDefaultEntry() != nullptr) {
      m_connection.ReleaseDialLock();
      return RedialAttempt::kStopped;
    }
    m_connection.m_dialing.store(0);
    DWORD code = 0;
    const CConnection::DialResult result = m_connection.DialOnce(&code);
    if (result == CConnection::DialResult::kConnected)
      m_connection.m_record.OpenConnected(m_connection.UserName(), m_connection.m_dialled.load());
    m_connection.ReleaseDialLock();
    if (result == CConnection::DialResult::kConnected) return RedialAttempt::kConnected;
    if (result == CConnection::DialResult::kNotDialled) return RedialAttempt::kStopped;
    *error = code;
    return RedialAttempt::kFailed;
  }

  bool Pause(unsigned milliseconds) override {
    const DWORD start = GetTickCount();
    HANDLE handles[] = {m_connection.m_stop.Get(), m_connection.m_interrupt.Get()};
    for (;;) {
      const DWORD elapsed = GetTickCount() - start;
      if (elapsed >= milliseconds) return !StopRequested();
      const DWORD result = WaitForMultipleObjects(2, handles, FALSE, milliseconds - elapsed);
      if (StopRequested()) return false;
      if (result == WAIT_TIMEOUT) return true;
      // A signal that asked nothing of this loop (a command given before the line dropped) or a
      // failed wait: wait out the rest of the pause.
      if (result == WAIT_FAILED) Sleep(milliseconds - elapsed < 100 ? milliseconds - elapsed : 100);
    }
  }

 private:
  CConnection& m_connection;
  unsigned m_disconnectsAtDrop;
};

CSupervisor::CSupervisor(CConnection& connection) : m_connection(connection) {}

CSupervisor::~CSupervisor() {
  EndWatchers();
}

int CSupervisor::Start() {
  for (const RASCONNA& connection : ListConnections(kScanCapacity)) {
    if (!IsDefaultEntry(connection) || !IsConnectionUp(connection.hrasconn)) continue;
    m_connection.m_watched.store(connection.hrasconn);
    m_connection.m_view.ShowConnectionUp();
    m_connection.m_manager.CheckNet();
    m_connection.m_record.Note(connection.hrasconn, m_connection.UserName());
  }

  SupervisorSystem& calls = SupervisorCalls();
  m_connectEvent.Reset(calls.createEvent());
  if (!m_connectEvent.Valid()) return kNoConnectEvent;
  m_disconnectEvent.Reset(calls.createEvent());
  if (!m_disconnectEvent.Valid()) return kNoDisconnectEvent;
  if (!m_connectWatcher.Start([this] { RunConnectWatcher(); }, calls.createThread)) return kNoConnectWatcher;
  if (!m_disconnectWatcher.Start([this] { RunDisconnectWatcher(); }, calls.createThread)) {
    return kNoDisconnectWatcher;
  }
  return kStarted;
}

void CSupervisor::WakeWatchers() {
  if (m_connectWatcher.IsRunning() && m_connectEvent.Valid()) SetEvent(m_connectEvent.Get());
  if (m_disconnectWatcher.IsRunning() && m_disconnectEvent.Valid()) SetEvent(m_disconnectEvent.Get());
}

void CSupervisor::HandOverDialled(HRASCONN line) {
  m_connection.m_dialled.store(line);
  if (m_connectEvent.Valid()) SetEvent(m_connectEvent.Get());
}

bool CSupervisor::WatchersEnded(DWORD timeoutMs) {
  return m_connectWatcher.WaitForEnd(timeoutMs) && m_disconnectWatcher.WaitForEnd(timeoutMs);
}

void CSupervisor::EndWatchers() {
  WakeWatchers();
  // A watcher may be sending to the main window on this very thread; the wait delivers it.
  m_connectWatcher.Stop();
  m_disconnectWatcher.Stop();
  m_connectEvent.Reset();
  m_disconnectEvent.Reset();
}

bool CSupervisor::SleepUnlessStopping(DWORD milliseconds) {
  if (m_connection.Stopping()) return true;
  WaitForSingleObject(m_connection.m_stop.Get(), milliseconds);
  return m_connection.Stopping();
}

void CSupervisor::RunConnectWatcher() {
  for (;;) {
    while (m_connection.m_watched.load() != nullptr) {
      if (SleepUnlessStopping(kPollMs)) return;
    }
    if (m_connection.Stopping()) return;
    RasConnectionNotificationA(static_cast<HRASCONN>(INVALID_HANDLE_VALUE), m_connectEvent.Get(),
                               RASCN_Connection);
    // A connection that came up before the registration took effect sends no notice, and one that
    // came up and dropped again while this watcher looked elsewhere leaves nothing to find: the
    // watcher looks after registering, after every notice and every second, and the client's own
    // dial hands its line over. A line still dialling is not up.
    HANDLE handles[] = {m_connectEvent.Get(), m_connection.m_stop.Get()};
    while (FindConnectedDefaultEntry() == nullptr && m_connection.m_dialled.load() == nullptr) {
      const DWORD result = WaitForMultipleObjects(2, handles, FALSE, kPollMs);
      if (m_connection.Stopping()) return;
      if (result == WAIT_FAILED && SleepUnlessStopping(kPollMs)) return;
    }

    // The line the client dialled itself comes first: it may have dropped (and even torn down)
    // before this watcher got to it, and its end must still be handled.
    std::vector<HRASCONN> candidates;
    if (HRASCONN dialled = m_connection.m_dialled.load()) candidates.push_back(dialled);
    for (const RASCONNA& connection : ListConnections(kScanCapacity)) {
      if (IsDefaultEntry(connection) && IsConnectionUp(connection.hrasconn))
        candidates.push_back(connection.hrasconn);
    }
    for (HRASCONN candidate : candidates) {
      if (!m_connection.AcquireDialLock()) return;
      // The line may have been hung up, or be still negotiating, while this watcher waited for
      // the lock: only a connected line is up, or the one the client dialled.
      const bool dialled = candidate == m_connection.m_dialled.load();
      if (!dialled && !IsConnectionUp(candidate)) {
        m_connection.ReleaseDialLock();
        continue;
      }
      m_connection.m_dialled.store(nullptr);
      SendMessageA(m_connection.m_view.MainWindow(), app::kDialConnectedMessage, 0, 0);
      if (m_connection.m_dialing.load() != 0) {
        // The dial engine has shown the connection it dialled.
        m_connection.m_dialing.store(0);
      } else {
        ShowConnected();
      }
      m_connection.m_hangUp.store(0);
      m_connection.m_watched.store(candidate);
      m_connection.m_record.Note(candidate, m_connection.UserName());
      m_connection.ReleaseDialLock();
      break;
    }
  }
}

void CSupervisor::RunDisconnectWatcher() {
  for (;;) {
    HRASCONN connection = nullptr;
    while ((connection = m_connection.m_watched.load()) == nullptr) {
      if (SleepUnlessStopping(kPollMs)) return;
    }
    if (m_connection.Stopping()) return;

    // Windows accepts the registration of a connection that has already ended and then never
    // signals it: the state is looked at once after registering, so such an end is noticed.
    RasConnectionNotificationA(connection, m_disconnectEvent.Get(), RASCN_Disconnection);
    bool ended = !IsConnectionUp(connection);
    HANDLE handles[] = {m_disconnectEvent.Get(), m_connection.m_stop.Get()};
    while (!ended) {
      const DWORD result = WaitForMultipleObjects(2, handles, FALSE, kTrafficSampleMs);
      if (m_connection.Stopping()) return;
      if (result == WAIT_OBJECT_0) {
        // The event may carry a notice that belonged to an earlier connection.
        ended = !IsConnectionUp(connection);
      } else if (result == WAIT_TIMEOUT) {
        // The system's counters are 32 bits wide; reading them every few seconds keeps the totals.
        m_connection.m_record.Sample(connection);
        ended = !IsConnectionUp(connection);
      } else if (SleepUnlessStopping(kPollMs)) {
        return;
      }
    }

    RedialSettings redial;
    unsigned disconnectsAtDrop = 0;
    if (!HandleDisconnection(connection, &redial, &disconnectsAtDrop)) return;
    ApplyRedialPolicy(redial, disconnectsAtDrop);
    if (m_connection.Stopping()) return;
  }
}

bool CSupervisor::HandleDisconnection(HRASCONN connection, RedialSettings* redial,
                                      unsigned* disconnectsAtDrop) {
  if (!m_connection.AcquireDialLock()) return false;
  SendMessageA(m_connection.m_view.MainWindow(), app::kDialDisconnectedMessage, 0, 0);
  // A connection dialled after the client hung this one up (a quick "断开" then "连接") has
  // already cleared the hang-up flag; its line is up, and this end is no loss. Only a connected
  // line replaces this one: a line of the entry that is still listed while it fails or tears down
  // is no connection.
  const HRASCONN current = FindConnectedDefaultEntry();
  const bool replaced = current != nullptr && current != connection;
  const bool hungUp = m_connection.m_hangUp.load() != 0 || replaced;
  if (!hungUp) {
    m_connection.m_record.Close(ConnectionEnd::kLost);
    ShowDisconnected();
  }
  // A line that dropped stays held by its handle until that is hung up; until then the entry
  // cannot be dialled again (602). One the user hung up is the engine's to hang up.
  if (m_connection.m_hangUp.load() == 0) HangUpAndWait(connection, kTearDownWaitMs);
  if (m_connection.m_watched.load() == connection) m_connection.m_watched.store(nullptr);
  *disconnectsAtDrop = m_connection.m_userDisconnects.load();
  redial->hungUp = hungUp;
  m_connection.ReleaseDialLock();
  return true;
}

void CSupervisor::ApplyRedialPolicy(const RedialSettings& atDrop, unsigned disconnectsAtDrop) {
  RedialSettings settings = atDrop;
  CConfigStore& config = m_connection.m_config;
  settings.alwaysconnect = config.GetAlwaysconnect();
  settings.reconnect = config.GetReconnect();
  if (!settings.hungUp && (settings.alwaysconnect || settings.reconnect) &&
      !m_connection.PrepareRedialOfForeignLine()) {
    // A line dialled elsewhere is redialled with the login page's user and remembered password;
    // without one there is nothing to dial with, and the subscriber must know why.
    m_connection.m_view.SetMessageLine(kNoPasswordToRedial);
    return;
  }
  settings.tries = m_connection.m_redialTries.load();
  settings.gapSeconds = m_connection.m_redialGap.load();
  // Commands given before the drop must not cut a pause of this loop short.
  ResetEvent(m_connection.m_interrupt.Get());
  CRedialHost host(m_connection, disconnectsAtDrop);
  RunRedialPolicy(host, settings);
}

void CSupervisor::ShowConnected() {
  m_connection.m_view.ShowConnectionUp();
  m_connection.m_manager.CheckNet();
  m_connection.m_view.SetMessageLine("已经成功地建立了连接");
}

void CSupervisor::ShowDisconnected() {
  m_connection.m_view.ShowConnectionDown();
  m_connection.m_manager.SetHrasconnNull();
  m_connection.m_manager.CheckNet();
  m_connection.m_view.SetMessageLine("欢迎使用远岸宽带拨号客户端");
}
