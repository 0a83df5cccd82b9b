// The process-wide queue of received message records.
//
// It exists from program start, empty, and is emptied and freed at exit. Nothing fills it yet: the
// receiver passes no datagram on. Used from the user-interface thread only.
#pragma once

#include <cstddef>
#include <vector>

#include "client/messaging/MessageWire.h"

class CMessageQueue {
 public:
  void Push(const MessageRecord& record) { m_records.push_back(record); }
  size_t GetCount() const { return m_records.size(); }
  // The record at index, which must be below GetCount().
  const MessageRecord& At(size_t index) const { return m_records.at(index); }
  void Clear() { m_records.clear(); }

 private:
  std::vector<MessageRecord> m_records;
};

// The one queue of the process.
CMessageQueue& ReceivedMessages();
