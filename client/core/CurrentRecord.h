// CCurrentRecord: the record of the connection the client is following, and the traffic that
// connection has carried. It is the only code that opens and closes connection records.
//
// Every record it opens is closed exactly once, by the end of its own connection: a record is
// known by its identity (user, start time and ordinal), never by its place in the month file, so a
// burst of connections within one second, records added by hand or another user's open records do
// not mislead it. A failed dial attempt is written already closed.
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

  // The record of a dial attempt of user that connected line (null: the default entry's first
  // listed connection): its address goes into it and the traffic count starts. When that line is
  // the one the current record already stands for (the dial found the line up), nothing new is
  // written; a current record of another connection is first closed as a normal end.
  void OpenConnected(const std::string& user, HRASCONN line);
  // The record of a dial attempt that failed with that remote-access error: written closed at
  // once ("连接失败(N)"). The current record, if any, stays current.
  void RecordFailure(const std::string& user, unsigned error);
  // A connection the watchers found up. When no record is current (the connection was not dialled
  // here), the newest open record with the connection's address stands for it; when there is none,
  // a record is opened for user (start time now). Its traffic count starts.
  void Note(HRASCONN connection, const std::string& user);
  // Adds one reading of the connection's counters (a new connection starts a new count).
  void Sample(HRASCONN connection);
  // Closes the current record, if any: as a normal end with the traffic of the default entry's
  // connection (empty when its statistics cannot be read), or as a lost one (traffic not written).
  // Afterwards no record is current.
  void Close(ConnectionEnd end);

  // The identity of the current record (unset when none).
  ConnectionRecordId Current();
  // The bytes the followed connection has carried, 64 bits wide (0 when none).
  void Traffic(uint64_t* sent, uint64_t* received);

 private:
  // Under m_lock.
  void SampleLocked(HRASCONN connection);
  void CloseLocked(ConnectionEnd end, HRASCONN connection);

  std::mutex m_lock;
  bool m_current = false;
  ConnectionRecordId m_record;
  // The connection the current record stands for.
  HRASCONN m_recordConnection = nullptr;
  HRASCONN m_trafficConnection = nullptr;
  CTrafficCounter m_traffic;
};
