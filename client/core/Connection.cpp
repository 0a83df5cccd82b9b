#include "client/core/Connection.h"

#include "client/core/RasQueries.h"
#include "client/core/Supervisor.h"
#include "client/messaging/MessageClient.h"
#include "client/store/ProgramFolder.h"
#include "dialengine/ConnectManage.h"

CConnection::CConnection(CConfigStore& config, CConnectManage& manager)
    : m_config(config), m_manager(manager), m_supervisor(new CSupervisor(*this)) {}

CConnection::~CConnection() {
  RequestStop();
  m_supervisor->EndWatchers();
  m_workers.WaitUntilIdle();
  CloseLock();
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
  m_supervisor->EndWatchers();
  // A dial or hang-up still running uses the engine; the hang-up below must not run beside it.
  m_workers.WaitUntilIdle();
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
  return m_user;
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

void CConnection::Connect(const std::string& user, CSecret password) {
  MakeRecordFolder(ProgramFolder());
  {
    std::lock_guard<std::mutex> guard(m_credentialsLock);
    m_user = user;
    m_password = std::move(password);
  }
  m_workers.Start([this] { RunDial(); });
}

bool CConnection::DialOnce(DWORD* error) {
  if (error != nullptr) *error = 0;
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
  if (!connected && error != nullptr) *error = GetLastError();
  return connected;
}

void CConnection::RunDial() {
  if (!AcquireDialLock()) return;
  m_dialing.store(1);
  m_hangUp.store(0);
  const bool connected = DialOnce(nullptr);
  // The flag tells the connect watcher that the engine has already shown the connection. After a
  // failed dial it has not, so a connection that comes up later from elsewhere must be shown.
  if (!connected) m_dialing.store(0);
  const std::string user = UserName();
  StartNotices(user);
  m_record.Open(user, connected);
  ReleaseDialLock();
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
  m_record.Close(ConnectionEnd::kNormal);
  const unsigned recordsAtCommand = m_record.OpenedCount();
  m_workers.Start([this, recordsAtCommand] { RunHangUp(recordsAtCommand); });
}

void CConnection::RunHangUp(unsigned recordsAtCommand) {
  if (!AcquireDialLock()) return;
  m_hangUp.store(1);
  m_dialing.store(0);
  // A dial (or redial) that held the lock when the command came has opened a record since; the
  // line it brought up is hung up now, and nothing else would ever close that record.
  if (m_record.OpenedCount() != recordsAtCommand) m_record.Close(ConnectionEnd::kNormal);
  SendOfflineNotice();
  m_manager.Close();
  ReleaseDialLock();
}

void CConnection::SendOfflineNotice() {
  CMessageClient* client = m_messageClient.load();
  if (client == nullptr) return;
  client->SendOfflineNotice(UserName().c_str());
}

void CConnection::RequestStop() {
  m_stopping.store(true);
  if (m_stop.Valid()) SetEvent(m_stop.Get());
  if (m_interrupt.Valid()) SetEvent(m_interrupt.Get());
}

void CConnection::CloseLock() {
  m_dialLock.Reset();
}
