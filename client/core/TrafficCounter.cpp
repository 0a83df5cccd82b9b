#include "client/core/TrafficCounter.h"

#include <cinttypes>
#include <cstdio>

void CTrafficCounter::Reset() {
  *this = CTrafficCounter();
}

void CTrafficCounter::Add(uint32_t sent, uint32_t received) {
  // Unsigned subtraction is the difference modulo 2^32, across a wrap too.
  m_sent += static_cast<uint32_t>(sent - m_lastSent);
  m_received += static_cast<uint32_t>(received - m_lastReceived);
  m_lastSent = sent;
  m_lastReceived = received;
}

std::string FormatByteCount(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof(text), "%" PRIu64, bytes);
  return text;
}
