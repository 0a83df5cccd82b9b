#include "client/core/Connection.h"

#include <vector>

#include "client/core/DialErrorHints.h"
#include "client/core/DialRules.h"
#include "client/core/RasQueries.h"
#include "client/core/Supervisor.h"
#include "client/messaging/MessageClient.h"
#include "client/store/ConfigStore.h"
#include "dialengine/ConnectManage.h"

CConnection::CConnection(CConfigStore& config, CConnectManage& manager)
    : m_config(config), m_manager(manager), m_supervisor(new CSupervisor(*this)) {}

namespace {

// How long a dial waits for the tear-down of an earlier line of the entry.
constexpr DWORD kTearDownWaitMs = 10000;
constexpr DWORD kStopSliceMs = 100;

}  // namespace

CConnection::~CConnection() {
  RequestStop();
  EndThreads();
  CloseLock();
}

void CConnection::EndThreads() {
  m_supervisor->WakeWatchers();
  // A thread blocked in a dial waits for the provider (for as long as it delays its answer); its
  // line is listed from the start of the dial, and hanging it up makes the dial return.
  while (!(m_supervisor->WatchersEnded(kStopSliceMs) && m_workers.WaitUntilIdle(kStopSliceMs))) {
    AbortDefaultEntryDials();
  }
  m_supervisor->EndWatchers();
}

int CConnection::Start() {
  if (!m_dialLock.Valid()) m_dialLock.Reset(CreateMutexA(nullptr, FALSE, nullptr));
  if (!m_stop.Valid()) m_stop.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!m_interrupt.Valid()) m_interrupt.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  return m_supervisor->Start();
}

void CConnection::Stop() {
  if (m_stopped) return;
  m_stopped = true;
  RequestStop();
  // A dial or hang-up still running uses the engine; the hang-up below must not run beside it.
  EndThreads();
  CloseLock();

  m_record.Close(ConnectionEnd::kNormal);
  SendOfflineNotice();
  m_manager.Close();
  m_view.Detach();
}

bool CConnection::AcquireDialLock() {
  if (!m_dialLock.Valid() || !m_stop.Valid() || m_stopping.load()) return false;
  HANDLE handles[] = {m_dialLock.Get(), m_stop.Get()};
  const DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED_0) return false;
  // Both may have been signalled at once; the exit wins.
  if (m_stopping.load()) {
    ReleaseMutex(m_dialLock.Get());
    return false;
  }
  return true;
}

void CConnection::ReleaseDialLock() {
  ReleaseMutex(m_dialLock.Get());
}

std::string CConnection::UserName() {
  std::lock_guard<std::mutex> guard(m_credentialsLock);
  return m_commanded ? m_user : m_loginUser;
}

void CConnection::SetLoginUser(const std::string& user) {
  std::lock_guard<std::mutex> guard(m_credentialsLock);
  m_loginUser = user;
}

bool CConnection::PrepareRedialOfForeignLine() {
  std::string user;
  {
    std::lock_guard<std::mutex> guard(m_credentialsLock);
    if (m_commanded) return true;
    user = m_loginUser;
  }
  std::vector<std::string> names, storedTexts;
  m_config.GetUsers(LINKWELL_DEFAULT_ENTRY, names, storedTexts);
  std::string stored;
  for (size_t i = 0; i < names.size() && i < storedTexts.size(); ++i) {
    if (names[i] == user) {
      stored = storedTexts[i];
      break;
    }
  }
  std::string clear;
  if (user.empty() || !DialPasswordFromStored(stored, &clear)) return false;
  {
    std::lock_guard<std::mutex> guard(m_credentialsLock);
    m_user = user;
    m_password = CSecret(clear);
  }
  WipeString(clear);
  if (m_config.GetReconnect() && !m_config.GetAlwaysconnect()) {
    SetRedial(m_config.GetRedialTrytimes(), m_config.GetRedialTimegrap());
  }
  return true;
}

unsigned CConnection::TakeTicket() {
  std::lock_guard<std::mutex> guard(m_orderLock);
  return m_nextTicket++;
}

bool CConnection::WaitForTurn(unsigned ticket) {
  std::unique_lock<std::mutex> guard(m_orderLock);
  m_turn.wait(guard, [&] { return m_serving == ticket || m_stopping.load(); });
  return !m_stopping.load();
}

void CConnection::EndTurn() {
  {
    std::lock_guard<std::mutex> guard(m_orderLock);
    ++m_serving;
  }
  m_turn.notify_all();
}

bool CConnection::ReadTraffic(uint64_t* sent, uint64_t* received) {
  const HRASCONN watched = m_watched.load();
  if (watched == nullptr) return false;
  m_record.Sample(watched);
  m_record.Traffic(sent, received);
  return true;
}

void CConnection::SetRedial(int tries, int gapSeconds) {
  m_redialTries.store(tries);
  m_redialGap.store(gapSeconds);
}

void CConnection::Connect(const std::string& user, CSecret password, bool byUser) {
  {
    std::lock_guard<std::mutex> guard(m_credentialsLock);
    m_user = user;
    m_password = std::move(password);
    m_commanded = true;
  }
  const unsigned ticket = TakeTicket();
  if (!m_workers.Start([this, ticket, byUser] { RunDial(ticket, byUser); })) EndTurn();
}

CConnection::DialResult CConnection::DialOnce(DWORD* error) {
  if (error != nullptr) *error = 0;
  // A line of the entry that is still dialling, failed or tearing down would refuse the dial (756,
  // 602, 633): it is waited for, within bounds, as Windows needs.
  const DWORD start = GetTickCount();
  while (!WaitForDefaultEntryToClear(0) && GetTickCount() - start < kTearDownWaitMs) {
    if (Stopping()) return DialResult::kNotDialled;
    WaitForSingleObject(m_stop.Get(), 50);
  }
  if (Stopping()) return DialResult::kNotDialled;
  m_manager.SetConnectType(kConnectTypeRas);
  {
    // The engine copies what it is given; the kept password is handed over in place, and the
    // entry name is the engine's own constant.
    std::lock_guard<std::mutex> guard(m_credentialsLock);
    std::string user = m_user;
    char entry[] = LINKWELL_DEFAULT_ENTRY;
    m_manager.SetConnectInfo(&user[0], m_password.data(), entry);
  }
  const bool connected = m_manager.Connect() != 0;
  if (connected) {
    // The connected line of the entry; when it dropped already, the line still listed for it.
    HRASCONN line = FindConnectedDefaultEntry();
    if (line == nullptr) line = FindDefaultEntryConnection();
    m_supervisor->HandOverDialled(line);
    return DialResult::kConnected;
  }
  const DWORD code = GetLastError();
  if (error != nullptr) *error = code;
  m_view.AddDialErrorHint(code);
  return DialResult::kFailed;
}

void CConnection::RunDial(unsigned ticket, bool byUser) {
  if (!WaitForTurn(ticket)) return;
  DialResult result = DialResult::kNotDialled;
  DWORD error = 0;
  if (AcquireDialLock()) {
    m_dialing.store(1);
    m_hangUp.store(0);
    result = DialOnce(&error);
    // The flag tells the connect watcher that the engine has already shown the connection. After
    // a failed dial it has not, so a connection that comes up later from elsewhere must be shown.
    if (result != DialResult::kConnected) m_dialing.store(0);
    const std::string user = UserName();
    if (result != DialResult::kNotDialled) StartNotices(user);
    if (result == DialResult::kConnected) {
      // The line the dial handed over is still there: the connect watcher takes it under the lock.
      m_record.OpenConnected(user, m_dialled.load());
    } else if (result == DialResult::kFailed) {
      m_record.RecordFailure(user, error);
    }
    ReleaseDialLock();
  }
  // The question waits for the user: it is asked by the window, once the lock is free.
  if (byUser && result == DialResult::kFailed && IsDiscoveryFailure(error)) m_view.OfferDiagnosis(error);
  EndTurn();
}

void CConnection::StartNotices(const std::string& user) {
  CMessageClient* client = m_messageClient.load();
  if (client == nullptr) return;
  m_workers.Start([client, user] {
    client->SendOfflineNotice(user.c_str());
    client->SendOnlineNotice(user.c_str());
  });
}

void CConnection::Disconnect() {
  ++m_userDisconnects;
  if (m_interrupt.Valid()) SetEvent(m_interrupt.Get());
  const unsigned ticket = TakeTicket();
  if (!m_workers.Start([this, ticket] { RunHangUp(ticket); })) EndTurn();
}

void CConnection::RunHangUp(unsigned ticket) {
  if (!WaitForTurn(ticket)) return;
  if (AcquireDialLock()) {
    m_hangUp.store(1);
    m_dialing.store(0);
    m_dialled.store(nullptr);
    // The traffic is read from the line before it is hung up.
    m_record.Close(ConnectionEnd::kNormal);
    SendOfflineNotice();
    m_manager.Close();
    ReleaseDialLock();
  }
  EndTurn();
}

void CConnection::SendOfflineNotice() {
  CMessageClient* client = m_messageClient.load();
  if (client == nullptr) return;
  client->SendOfflineNotice(UserName().c_str());
}

void CConnection::RequestStop() {
  {
    std::lock_guard<std::mutex> guard(m_orderLock);
    m_stopping.store(true);
  }
  m_turn.notify_all();
  if (m_stop.Valid()) SetEvent(m_stop.Get());
  if (m_interrupt.Valid()) SetEvent(m_interrupt.Get());
}

void CConnection::CloseLock() {
  m_dialLock.Reset();
}
