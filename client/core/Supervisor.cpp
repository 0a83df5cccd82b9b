#include "client/core/Supervisor.h"

#include <commctrl.h>

#include <vector>

#include "client/core/AppTexts.h"
#include "client/core/DialSequence.h"
#include "client/core/RasQueries.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "dialengine/ConnectManage.h"

namespace {

constexpr DWORD kScanCapacity = 10;
constexpr int kDialMenu = 0;
constexpr int kStatisticsMenu = 1;
constexpr UINT kDialItem = 0;
constexpr UINT kHangUpItem = 2;
constexpr UINT kStatisticsItem = 2;

HANDLE CreateAutoResetEvent() {
  return CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

HANDLE StartThread(LPTHREAD_START_ROUTINE start, void* param) {
  return CreateThread(nullptr, 0, start, param, 0, nullptr);
}

bool IsDefaultEntry(const RASCONNA& connection) {
  return lstrcmpA(connection.szEntryName, kDefaultEntryName) == 0;
}

// The engine takes writable buffers; these copies live for one call.
std::vector<char> Writable(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return buffer;
}

}  // namespace

SupervisorSystem RealSupervisorSystem() {
  return SupervisorSystem{CreateAutoResetEvent, StartThread};
}

SupervisorSystem& SupervisorApi() {
  static SupervisorSystem api = RealSupervisorSystem();
  return api;
}

// The redial policy's view of the client, on the disconnect watcher's thread.
class CSupervisor::CRedialHost : public IRedialHost {
 public:
  CRedialHost(CDialSequence& sequence, unsigned disconnectsAtDrop)
      : m_sequence(sequence), m_disconnectsAtDrop(disconnectsAtDrop) {}

  bool Alwaysconnect() override { return m_sequence.Config().GetAlwaysconnect(); }
  bool ReconnectCached() override { return m_sequence.Config().GetReconnectCached(); }

  bool StopRequested() override {
    return m_sequence.Stopping() || m_sequence.UserDisconnects() != m_disconnectsAtDrop;
  }

  RedialAttempt Dial(unsigned* error) override {
    *error = 0;
    // A redial takes the dial lock like any dial: without it a connect command of the user could
    // replace the engine's dialer in the middle of this one.
    if (!m_sequence.AcquireDialLock()) return RedialAttempt::kStopped;
    // The user's "断开" is never answered by a redial, and a line that is up again (the user
    // connected, or someone else did) needs none.
    if (StopRequested() || FindDefaultEntryConnection() != nullptr) {
      m_sequence.ReleaseDialLock();
      return RedialAttempt::kStopped;
    }
    std::string user, password;
    m_sequence.GetCredentials(&user, &password);
    m_sequence.dialing.store(0);
    CConnectManage& manager = m_sequence.Manager();
    manager.SetConnectType(kConnectTypeRas);
    std::vector<char> userBuffer = Writable(user);
    std::vector<char> passwordBuffer = Writable(password);
    std::vector<char> entryBuffer = Writable(kDefaultEntryName);
    manager.SetConnectInfo(userBuffer.data(), passwordBuffer.data(), entryBuffer.data());
    const bool connected = manager.Connect() != 0;
    const DWORD code = GetLastError();
    SecureZeroMemory(passwordBuffer.data(), passwordBuffer.size());
    if (connected) m_sequence.OpenRecord(user, true);
    m_sequence.ReleaseDialLock();
    if (connected) return RedialAttempt::kConnected;
    *error = code;
    return RedialAttempt::kFailed;
  }

  bool Pause(unsigned milliseconds) override {
    const DWORD start = GetTickCount();
    HANDLE handles[] = {m_sequence.StopEvent(), m_sequence.InterruptEvent()};
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
  CDialSequence& m_sequence;
  unsigned m_disconnectsAtDrop;
};

CSupervisor::CSupervisor(CDialSequence& sequence) : m_sequence(sequence) {}

CSupervisor::~CSupervisor() {
  if (!m_stopped) {
    m_sequence.RequestStop();
    EndWatchers();
  }
}

int CSupervisor::Start(HWND mainWindow, HWND toolbar) {
  m_main = mainWindow;
  m_toolbar = toolbar;

  for (const RASCONNA& connection : ListConnections(kScanCapacity)) {
    if (!IsDefaultEntry(connection)) continue;
    m_sequence.watched.store(connection.hrasconn);
    EnableButton(ID_DISCONNECT, true);
    EnableButton(ID_CONNECT, false);
    EnableMenuItem(kDialMenu, kDialItem, false);
    EnableMenuItem(kStatisticsMenu, kStatisticsItem, true);
    EnableMenuItem(kDialMenu, kHangUpItem, true);
    m_sequence.Manager().CheckNet();
    m_sequence.NoteConnection(connection.hrasconn);
  }

  SupervisorSystem& api = SupervisorApi();
  m_connectEvent = api.createEvent();
  if (m_connectEvent == nullptr) return kNoConnectEvent;
  m_disconnectEvent = api.createEvent();
  if (m_disconnectEvent == nullptr) return kNoDisconnectEvent;
  m_connectWatcher = api.createThread(ConnectWatcherMain, this);
  if (m_connectWatcher == nullptr) return kNoConnectWatcher;
  m_disconnectWatcher = api.createThread(DisconnectWatcherMain, this);
  if (m_disconnectWatcher == nullptr) return kNoDisconnectWatcher;
  return kStarted;
}

void CSupervisor::Stop() {
  if (m_stopped) return;
  m_stopped = true;
  m_sequence.RequestStop();
  EndWatchers();
  // A dial or hang-up still running uses the engine; the hang-up below must not run beside it.
  m_sequence.WaitForWorkers();
  m_sequence.CloseLock();

  m_sequence.CloseRecord(ConnectionEnd::kNormal);
  m_sequence.SendOfflineNotice();
  m_sequence.Manager().Close();
}

void CSupervisor::EndWatchers() {
  if (m_connectWatcher != nullptr && m_connectEvent != nullptr) SetEvent(m_connectEvent);
  if (m_disconnectWatcher != nullptr && m_disconnectEvent != nullptr) SetEvent(m_disconnectEvent);
  // A watcher may be sending to the main window on this very thread; the wait delivers it.
  WaitDeliveringSentMessages(m_connectWatcher);
  WaitDeliveringSentMessages(m_disconnectWatcher);
  HANDLE* handles[] = {&m_connectWatcher, &m_disconnectWatcher, &m_connectEvent, &m_disconnectEvent};
  for (HANDLE* handle : handles) {
    if (*handle != nullptr) CloseHandle(*handle);
    *handle = nullptr;
  }
}

bool CSupervisor::SleepUnlessStopping(DWORD milliseconds) {
  if (m_sequence.Stopping()) return true;
  WaitForSingleObject(m_sequence.StopEvent(), milliseconds);
  return m_sequence.Stopping();
}

DWORD WINAPI CSupervisor::ConnectWatcherMain(LPVOID param) {
  static_cast<CSupervisor*>(param)->RunConnectWatcher();
  return 0;
}

DWORD WINAPI CSupervisor::DisconnectWatcherMain(LPVOID param) {
  static_cast<CSupervisor*>(param)->RunDisconnectWatcher();
  return 0;
}

void CSupervisor::RunConnectWatcher() {
  for (;;) {
    while (m_sequence.watched.load() != nullptr) {
      if (SleepUnlessStopping(kPollMs)) return;
    }
    if (m_sequence.Stopping()) return;
    RasConnectionNotificationA(static_cast<HRASCONN>(INVALID_HANDLE_VALUE), m_connectEvent, RASCN_Connection);
    // A connection that came up before the registration took effect sends no notice; without this
    // look it would never be watched, and its end never noticed.
    if (FindDefaultEntryConnection() == nullptr) {
      HANDLE handles[] = {m_connectEvent, m_sequence.StopEvent()};
      const DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
      if (m_sequence.Stopping()) return;
      if (result != WAIT_OBJECT_0) {
        if (SleepUnlessStopping(kPollMs)) return;
        continue;
      }
    }

    for (const RASCONNA& connection : ListConnections(kScanCapacity)) {
      if (!IsDefaultEntry(connection)) continue;
      if (!m_sequence.AcquireDialLock()) return;
      SendMessageA(m_main, app::kDialConnectedMessage, 0, 0);
      if (m_sequence.dialing.load() != 0) {
        // The dial engine has shown the connection it dialled.
        m_sequence.dialing.store(0);
      } else {
        ShowConnected();
      }
      m_sequence.hangUp.store(0);
      m_sequence.watched.store(connection.hrasconn);
      m_sequence.NoteConnection(connection.hrasconn);
      m_sequence.ReleaseDialLock();
    }
  }
}

void CSupervisor::RunDisconnectWatcher() {
  for (;;) {
    HRASCONN connection = nullptr;
    while ((connection = m_sequence.watched.load()) == nullptr) {
      if (SleepUnlessStopping(kPollMs)) return;
    }
    if (m_sequence.Stopping()) return;

    // A registration refused because the connection has already gone would leave this wait
    // without an end; the status query tells.
    const bool registered =
        RasConnectionNotificationA(connection, m_disconnectEvent, RASCN_Disconnection) == 0;
    bool ended = !registered && !IsConnectionUp(connection);
    HANDLE handles[] = {m_disconnectEvent, m_sequence.StopEvent()};
    while (!ended) {
      const DWORD result = WaitForMultipleObjects(2, handles, FALSE, kTrafficSampleMs);
      if (m_sequence.Stopping()) return;
      if (result == WAIT_OBJECT_0) {
        // The event may carry a notice that belonged to an earlier connection.
        ended = !IsConnectionUp(connection);
      } else if (result == WAIT_TIMEOUT) {
        // The system's counters are 32 bits wide; reading them every few seconds keeps the totals.
        m_sequence.SampleTraffic(connection);
        if (!registered) ended = !IsConnectionUp(connection);
      } else if (SleepUnlessStopping(kPollMs)) {
        return;
      }
    }

    RedialSettings redial;
    unsigned disconnectsAtDrop = 0;
    if (!HandleDisconnection(connection, &redial, &disconnectsAtDrop)) return;
    ApplyRedialPolicy(redial, disconnectsAtDrop);
    if (m_sequence.Stopping()) return;
  }
}

bool CSupervisor::HandleDisconnection(HRASCONN connection, RedialSettings* redial,
                                      unsigned* disconnectsAtDrop) {
  if (!m_sequence.AcquireDialLock()) return false;
  SendMessageA(m_main, app::kDialDisconnectedMessage, 0, 0);
  // A connection dialled after the client hung this one up (a quick "断开" then "连接") has
  // already cleared the hang-up flag; its line is up, and this end is no loss.
  const HRASCONN current = FindDefaultEntryConnection();
  const bool replaced = current != nullptr && current != connection;
  const bool hungUp = m_sequence.hangUp.load() != 0 || replaced;
  if (!hungUp) {
    m_sequence.CloseRecord(ConnectionEnd::kLost);
    ShowDisconnected();
  }
  if (m_sequence.watched.load() == connection) m_sequence.watched.store(nullptr);
  *disconnectsAtDrop = m_sequence.UserDisconnects();
  redial->hungUp = hungUp;
  m_sequence.ReleaseDialLock();
  return true;
}

void CSupervisor::ApplyRedialPolicy(const RedialSettings& atDrop, unsigned disconnectsAtDrop) {
  RedialSettings settings = atDrop;
  CConfigStore& config = m_sequence.Config();
  settings.alwaysconnect = config.GetAlwaysconnect();
  settings.reconnect = config.GetReconnect();
  settings.tries = m_sequence.RedialTries();
  settings.gapSeconds = m_sequence.RedialGap();
  // Commands given before the drop must not cut a pause of this loop short.
  ResetEvent(m_sequence.InterruptEvent());
  CRedialHost host(m_sequence, disconnectsAtDrop);
  RunRedialPolicy(host, settings);
}

void CSupervisor::ShowConnected() {
  EnableButton(ID_DISCONNECT, true);
  EnableButton(ID_CONNECT, false);
  EnableMenuItem(kDialMenu, kDialItem, false);
  EnableMenuItem(kStatisticsMenu, kStatisticsItem, true);
  EnableMenuItem(kDialMenu, kHangUpItem, true);
  m_sequence.Manager().CheckNet();
  SetMessageLine("已经成功地建立了连接");
}

void CSupervisor::ShowDisconnected() {
  EnableButton(ID_DISCONNECT, false);
  EnableButton(ID_CONNECT, true);
  EnableMenuItem(kDialMenu, kDialItem, true);
  EnableMenuItem(kStatisticsMenu, kStatisticsItem, false);
  EnableMenuItem(kDialMenu, kHangUpItem, false);
  m_sequence.Manager().SetHrasconnNull();
  m_sequence.Manager().CheckNet();
  SetMessageLine("欢迎使用远岸宽带拨号客户端");
}

void CSupervisor::EnableButton(int command, bool enable) {
  if (m_toolbar == nullptr) return;
  SendMessageA(m_toolbar, TB_ENABLEBUTTON, static_cast<WPARAM>(command),
               MAKELPARAM(enable ? TRUE : FALSE, 0));
}

void CSupervisor::EnableMenuItem(int menu, UINT item, bool enable) {
  if (m_main == nullptr) return;
  HMENU bar = GetMenu(m_main);
  HMENU sub = bar != nullptr ? GetSubMenu(bar, menu) : nullptr;
  if (sub == nullptr) return;
  ::EnableMenuItem(sub, item, MF_BYPOSITION | (enable ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
  DrawMenuBar(m_main);
}

void CSupervisor::SetMessageLine(const char* text) {
  if (m_main != nullptr) SetDlgItemTextA(m_main, IDC_MESSAGE_TEXT, text);
}
