// CCurrentRecord: the record of the connection the client is following, and the traffic that
// connection has carried. It is the only code that opens and closes connection records.
//
// Every operation takes the record's own lock, which is never held while waiting for anything
// else, so any thread may call it (the user-interface thread included). File writes happen under
// the lock too, so two threads never rewrite a month file at once.
#pragma once

#include <windows.h>

#include <ras.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "client/core/TrafficCounter.h"
#include "client/store/RecordFiles.h"

class CCurrentRecord {
 public:
  CCurrentRecord() = default;
  CCurrentRecord(const CCurrentRecord&) = delete;
  CCurrentRecord& operator=(const CCurrentRecord&) = delete;

  // Opens the record of a dial attempt for user, with the address of the default entry's
  // connection (empty when there is none), and makes it the current record. When the dial
  // connected, the traffic count starts for that connection.
  void Open(const std::string& user, bool connected);
  // A connection the watchers found up: its traffic count starts, and when no record is current
  // (the connection was not dialled here) the month file's first open record stands for it.
  void Note(HRASCONN connection);
  // Adds one reading of the connection's counters (a new connection starts a new count).
  void Sample(HRASCONN connection);
  // Closes the current record, if any: as a normal end with the traffic of the default entry's
  // connection (empty when its statistics cannot be read), or as a lost one (traffic not written).
  // Afterwards no record is current.
  void Close(ConnectionEnd end);

  // The identity of the current record (unset when none or when it is not known).
  ConnectionRecordId Current();
  // The number of records opened so far.
  unsigned OpenedCount();
  // The bytes the followed connection has sent and received, 64 bits wide (0 when none).
  void Traffic(uint64_t* sent, uint64_t* received);

 private:
  enum class State { kNone, kOurs, kUnidentified };

  // Under m_lock.
  void SampleLocked(HRASCONN connection);

  std::mutex m_lock;
  State m_state = State::kNone;
  ConnectionRecordId m_record;
  unsigned m_opened = 0;
  HRASCONN m_trafficConnection = nullptr;
  CTrafficCounter m_traffic;
};
