// The bytes a connection sent and received, from the system's 32-bit connection statistics.
//
// The system's counters wrap after 4 GiB. The counter adds the difference of each reading to the
// one before it, modulo 2^32, into 64-bit totals; read at least once per 4 GiB of traffic it keeps
// the true totals. Portable, not thread-safe: the caller serialises readings.
#pragma once

#include <cstdint>
#include <string>

class CTrafficCounter {
 public:
  // Starts a connection: totals 0, and the counters (which count from 0 when a connection comes
  // up) taken as 0.
  void Reset();
  // Adds one reading of the connection's counters.
  void Add(uint32_t sent, uint32_t received);

  uint64_t Sent() const { return m_sent; }
  uint64_t Received() const { return m_received; }

 private:
  uint32_t m_lastSent = 0;
  uint32_t m_lastReceived = 0;
  uint64_t m_sent = 0;
  uint64_t m_received = 0;
};

// A byte count as unsigned decimal.
std::string FormatByteCount(uint64_t bytes);
