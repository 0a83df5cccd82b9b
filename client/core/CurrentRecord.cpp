#include "client/core/CurrentRecord.h"

#include "client/core/RasQueries.h"

void CCurrentRecord::Open(const std::string& user, bool connected) {
  const HRASCONN connection = FindDefaultEntryConnection();
  const std::string ip = ConnectionIpAddress(connection);
  std::lock_guard<std::mutex> guard(m_lock);
  m_record = OpenConnectionRecord(user.c_str(), ip.c_str());
  m_state = State::kOurs;
  ++m_opened;
  if (connected && connection != nullptr) {
    m_trafficConnection = nullptr;
    SampleLocked(connection);
  }
}

void CCurrentRecord::Note(HRASCONN connection) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_state == State::kNone) m_state = State::kUnidentified;
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
  if (m_state == State::kNone) return;
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
  const ConnectionRecordId id = m_state == State::kOurs ? m_record : ConnectionRecordId();
  CloseConnectionRecord(end, sent.c_str(), received.c_str(), id);
  m_state = State::kNone;
  m_record = ConnectionRecordId();
}

ConnectionRecordId CCurrentRecord::Current() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_state == State::kOurs ? m_record : ConnectionRecordId();
}

unsigned CCurrentRecord::OpenedCount() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_opened;
}

void CCurrentRecord::Traffic(uint64_t* sent, uint64_t* received) {
  std::lock_guard<std::mutex> guard(m_lock);
  const bool following = m_trafficConnection != nullptr;
  if (sent != nullptr) *sent = following ? m_traffic.Sent() : 0;
  if (received != nullptr) *received = following ? m_traffic.Received() : 0;
}
