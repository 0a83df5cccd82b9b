#include "client/core/CurrentRecord.h"

#include "client/core/RasQueries.h"
#include "client/store/ProgramFolder.h"

namespace {

// The data and record folders are made before each record is written, as before each dial.
void MakeFolders() {
  MakeRecordFolder(ProgramFolder());
}

}  // namespace

void CCurrentRecord::OpenConnected(const std::string& user, HRASCONN line) {
  const HRASCONN connection = line != nullptr ? line : FindDefaultEntryConnection();
  const std::string ip = ConnectionIpAddress(connection);
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_current && connection != nullptr && connection == m_recordConnection) return;
  if (m_current) CloseLocked(ConnectionEnd::kNormal, m_recordConnection);
  MakeFolders();
  m_record = OpenConnectionRecord(user.c_str(), ip.c_str());
  m_current = true;
  m_recordConnection = connection;
  m_trafficConnection = nullptr;
  SampleLocked(connection);
}

void CCurrentRecord::RecordFailure(const std::string& user, unsigned error) {
  std::lock_guard<std::mutex> guard(m_lock);
  MakeFolders();
  RecordFailedAttempt(user.c_str(), "", error);
}

void CCurrentRecord::Note(HRASCONN connection, const std::string& user) {
  if (connection == nullptr) return;
  const std::string ip = ConnectionIpAddress(connection);
  // A connection whose address cannot be read any more has ended; it gets no record.
  if (ip.empty()) return;
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_current) {
    ConnectionRecordId id;
    MakeFolders();
    m_record = FindOpenRecordByIp(ip.c_str(), &id) ? id : OpenConnectionRecord(user.c_str(), ip.c_str());
    m_current = true;
    m_recordConnection = connection;
  }
  SampleLocked(connection);
}

void CCurrentRecord::Sample(HRASCONN connection) {
  std::lock_guard<std::mutex> guard(m_lock);
  SampleLocked(connection);
}

void CCurrentRecord::SampleLocked(HRASCONN connection) {
  if (connection == nullptr) return;
  if (connection != m_trafficConnection) {
    m_traffic.Reset();
    m_trafficConnection = connection;
  }
  uint32_t sent = 0, received = 0;
  if (ReadConnectionStatistics(connection, &sent, &received)) m_traffic.Add(sent, received);
}

void CCurrentRecord::Close(ConnectionEnd end) {
  const HRASCONN connection = end == ConnectionEnd::kNormal ? FindDefaultEntryConnection() : nullptr;
  std::lock_guard<std::mutex> guard(m_lock);
  CloseLocked(end, connection);
}

void CCurrentRecord::CloseLocked(ConnectionEnd end, HRASCONN connection) {
  if (!m_current) return;
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
  CloseConnectionRecord(end, sent.c_str(), received.c_str(), m_record);
  m_current = false;
  m_record = ConnectionRecordId();
  m_recordConnection = nullptr;
}

ConnectionRecordId CCurrentRecord::Current() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_current ? m_record : ConnectionRecordId();
}

void CCurrentRecord::Traffic(uint64_t* sent, uint64_t* received) {
  std::lock_guard<std::mutex> guard(m_lock);
  const bool following = m_trafficConnection != nullptr;
  if (sent != nullptr) *sent = following ? m_traffic.Sent() : 0;
  if (received != nullptr) *received = following ? m_traffic.Received() : 0;
}
