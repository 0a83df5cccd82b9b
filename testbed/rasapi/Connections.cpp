#include "testbed/rasapi/Connections.h"

#include <map>
#include <mutex>

#include "testbed/protocol/Protocol.h"

namespace rasemu {

namespace {

// Handles of failed dials lie above every session id.
constexpr std::uintptr_t kFirstFailedHandle = 0x40000000u;

std::mutex g_lock;
std::map<std::uintptr_t, FailedDial> g_failed;
std::uintptr_t g_nextFailed = kFirstFailedHandle;

}  // namespace

HRASCONN SessionHandle(std::uint32_t id) {
  return reinterpret_cast<HRASCONN>(static_cast<std::uintptr_t>(id));
}

bool SessionIdOf(HRASCONN handle, std::uint32_t* id) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < testbed::kFirstSessionId || value > testbed::kLastSessionId) return false;
  *id = static_cast<std::uint32_t>(value);
  return true;
}

HRASCONN AddFailedDial(const FailedDial& dial) {
  std::lock_guard<std::mutex> guard(g_lock);
  const std::uintptr_t value = g_nextFailed++;
  if (g_nextFailed > 0x7ffffff0u) g_nextFailed = kFirstFailedHandle;
  g_failed[value] = dial;
  return reinterpret_cast<HRASCONN>(value);
}

bool FindFailedDial(HRASCONN handle, FailedDial* dial) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = g_failed.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == g_failed.end()) return false;
  *dial = it->second;
  return true;
}

bool RemoveFailedDial(HRASCONN handle) {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_failed.erase(reinterpret_cast<std::uintptr_t>(handle)) > 0;
}

}  // namespace rasemu
