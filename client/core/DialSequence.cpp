#include "client/core/DialSequence.h"

#include <vector>

#include "client/core/RasQueries.h"
#include "client/messaging/MessageClient.h"
#include "client/store/ConfigStore.h"
#include "client/store/ProgramFolder.h"
#include "dialengine/ConnectManage.h"

namespace {

// The engine takes writable buffers; these copies live for one call.
std::vector<char> Writable(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return buffer;
}

}  // namespace

CDialSequence::CDialSequence(CConfigStore& config, CConnectManage& manager)
    : m_config(config), m_manager(manager) {}

CDialSequence::~CDialSequence() {
  RequestStop();
  m_workers.WaitUntilIdle();
  CloseLock();
  if (m_stop != nullptr) CloseHandle(m_stop);
  if (m_interrupt != nullptr) CloseHandle(m_interrupt);
}

bool CDialSequence::Create() {
  if (m_dialLock == nullptr) m_dialLock = CreateMutexA(nullptr, FALSE, nullptr);
  if (m_stop == nullptr) m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (m_interrupt == nullptr) m_interrupt = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return m_dialLock != nullptr && m_stop != nullptr && m_interrupt != nullptr;
}

bool CDialSequence::AcquireDialLock() {
  if (m_dialLock == nullptr || m_stop == nullptr || m_stopping.load()) return false;
  HANDLE handles[] = {m_dialLock, m_stop};
  const DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED_0) return false;
  // Both may have been signalled at once; the exit wins.
  if (m_stopping.load()) {
    ReleaseMutex(m_dialLock);
    return false;
  }
  return true;
}

void CDialSequence::ReleaseDialLock() {
  ReleaseMutex(m_dialLock);
}

void CDialSequence::GetCredentials(std::string* user, std::string* password) {
  std::lock_guard<std::mutex> guard(m_credentialsLock);
  if (user != nullptr) *user = m_user;
  if (password != nullptr) *password = m_password;
}

void CDialSequence::SetRedial(int tries, int gapSeconds) {
  m_redialTries.store(tries);
  m_redialGap.store(gapSeconds);
}

void CDialSequence::StartDial(const std::string& user, const std::string& dialPassword) {
  {
    std::lock_guard<std::mutex> guard(m_credentialsLock);
    m_user = user;
    m_password = dialPassword;
  }
  m_workers.Start([this, user, dialPassword] { RunDial(user, dialPassword); });
}

void CDialSequence::RunDial(const std::string& user, const std::string& password) {
  if (!AcquireDialLock()) return;
  dialing.store(1);
  hangUp.store(0);
  m_manager.SetConnectType(kConnectTypeRas);
  std::vector<char> userBuffer = Writable(user);
  std::vector<char> passwordBuffer = Writable(password);
  std::vector<char> entryBuffer = Writable(kDefaultEntryName);
  m_manager.SetConnectInfo(userBuffer.data(), passwordBuffer.data(), entryBuffer.data());
  const bool connected = m_manager.Connect() != 0;
  SecureZeroMemory(passwordBuffer.data(), passwordBuffer.size());
  // The flag tells the connect watcher that the engine has already shown the connection. After a
  // failed dial it has not, so a connection that comes up later from elsewhere must be shown.
  if (!connected) dialing.store(0);
  StartNotices(user);
  OpenRecord(user, connected);
  ReleaseDialLock();
}

void CDialSequence::StartNotices(const std::string& user) {
  CMessageClient* client = m_messageClient.load();
  if (client == nullptr) return;
  m_workers.Start([client, user] {
    client->SendOfflineNotice(user.c_str());
    client->SendOnlineNotice(user.c_str());
  });
}

void CDialSequence::Disconnect() {
  ++m_userDisconnects;
  if (m_interrupt != nullptr) SetEvent(m_interrupt);
  CloseRecord(ConnectionEnd::kNormal);
  const unsigned recordsAtCommand = RecordsOpened();
  std::string user;
  GetCredentials(&user, nullptr);
  m_workers.Start([this, user, recordsAtCommand] { RunHangUp(user, recordsAtCommand); });
}

void CDialSequence::RunHangUp(const std::string& user, unsigned recordsAtCommand) {
  if (!AcquireDialLock()) return;
  hangUp.store(1);
  dialing.store(0);
  // A dial (or redial) that held the lock when the command came has opened a record since; the
  // line it brought up is hung up now, and nothing else would ever close that record.
  if (RecordsOpened() != recordsAtCommand) CloseRecord(ConnectionEnd::kNormal);
  if (CMessageClient* client = m_messageClient.load()) client->SendOfflineNotice(user.c_str());
  m_manager.Close();
  ReleaseDialLock();
}

void CDialSequence::SendOfflineNotice() {
  CMessageClient* client = m_messageClient.load();
  if (client == nullptr) return;
  std::string user;
  GetCredentials(&user, nullptr);
  client->SendOfflineNotice(user.c_str());
}

void CDialSequence::OpenRecord(const std::string& user, bool connected) {
  const HRASCONN connection = FindDefaultEntryConnection();
  const std::string ip = ConnectionIpAddress(connection);
  std::lock_guard<std::mutex> guard(m_recordLock);
  m_record = OpenConnectionRecord(user.c_str(), ip.c_str());
  m_recordState = RecordState::kOurs;
  ++m_recordsOpened;
  if (connected && connection != nullptr) {
    m_trafficConnection = nullptr;
    SampleLocked(connection);
  }
}

void CDialSequence::NoteConnection(HRASCONN connection) {
  std::lock_guard<std::mutex> guard(m_recordLock);
  if (m_recordState == RecordState::kNone) m_recordState = RecordState::kUnidentified;
  SampleLocked(connection);
}

void CDialSequence::SampleTraffic(HRASCONN connection) {
  std::lock_guard<std::mutex> guard(m_recordLock);
  SampleLocked(connection);
}

void CDialSequence::SampleLocked(HRASCONN connection) {
  if (connection == nullptr) return;
  if (connection != m_trafficConnection) {
    m_traffic.Reset();
    m_trafficConnection = connection;
  }
  uint32_t sent = 0, received = 0;
  if (ReadConnectionStatistics(connection, &sent, &received)) m_traffic.Add(sent, received);
}

void CDialSequence::CloseRecord(ConnectionEnd end) {
  const HRASCONN connection = end == ConnectionEnd::kNormal ? FindDefaultEntryConnection() : nullptr;
  std::lock_guard<std::mutex> guard(m_recordLock);
  if (m_recordState == RecordState::kNone) return;
  std::string sent, received;
  if (end == ConnectionEnd::kNormal && connection != nullptr) {
    // The last reading comes from the still open connection; what came before it is in the count.
    if (connection != m_trafficConnection) {
      m_traffic.Reset();
      m_trafficConnection = connection;
    }
    uint32_t sentNow = 0, receivedNow = 0;
    if (ReadConnectionStatistics(connection, &sentNow, &receivedNow)) {
      m_traffic.Add(sentNow, receivedNow);
      sent = FormatByteCount(m_traffic.Sent());
      received = FormatByteCount(m_traffic.Received());
    }
  }
  const ConnectionRecordId id = m_recordState == RecordState::kOurs ? m_record : ConnectionRecordId();
  CloseConnectionRecord(end, sent.c_str(), received.c_str(), id);
  m_recordState = RecordState::kNone;
  m_record = ConnectionRecordId();
}

unsigned CDialSequence::RecordsOpened() {
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_recordsOpened;
}

ConnectionRecordId CDialSequence::CurrentRecord() {
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_recordState == RecordState::kOurs ? m_record : ConnectionRecordId();
}

void CDialSequence::RequestStop() {
  m_stopping.store(true);
  if (m_stop != nullptr) SetEvent(m_stop);
  if (m_interrupt != nullptr) SetEvent(m_interrupt);
}

void CDialSequence::CloseLock() {
  if (m_dialLock != nullptr) CloseHandle(m_dialLock);
  m_dialLock = nullptr;
}
