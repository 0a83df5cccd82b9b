#include "testbed/rasapi/Connections.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include "testbed/protocol/Protocol.h"

namespace rasemu {

namespace {

// Handles of local dials lie above every line id.
constexpr std::uintptr_t kFirstLocalHandle = 0x40000000u;

struct LocalRecord {
  LocalDial dial;
  DWORD releaseTick = 0;  // when the tear-down of a hung-up dial is over
};

std::mutex g_lock;
std::map<std::uintptr_t, LocalRecord> g_local;
std::uintptr_t g_nextLocal = kFirstLocalHandle;
std::map<std::uint32_t, std::unique_ptr<CServerConnection>> g_held;

// Forgets the local dials whose tear-down is over. Called with g_lock held.
void ExpireLocked() {
  const DWORD now = GetTickCount();
  for (auto it = g_local.begin(); it != g_local.end();) {
    const LocalRecord& record = it->second;
    if (record.dial.hungUp && static_cast<LONG>(now - record.releaseTick) >= 0) {
      it = g_local.erase(it);
    } else {
      ++it;
    }
  }
}

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

DWORD TeardownMs() {
  char value[32];
  const DWORD length = GetEnvironmentVariableA("RASEMU_TEARDOWN_MS", value, sizeof(value));
  std::uint64_t ms = 0;
  if (length == 0 || length >= sizeof(value) ||
      !testbed::ParseNumber(std::string_view(value, length), testbed::kMaxTeardownMs, &ms)) {
    return static_cast<DWORD>(testbed::kDefaultTeardownMs);
  }
  return static_cast<DWORD>(ms);
}

HRASCONN AddLocalDial(LocalDial dial) {
  std::lock_guard<std::mutex> guard(g_lock);
  ExpireLocked();
  const std::uintptr_t value = g_nextLocal++;
  if (g_nextLocal > 0x7ffffff0u) g_nextLocal = kFirstLocalHandle;
  dial.handle = reinterpret_cast<HRASCONN>(value);
  g_local[value].dial = dial;
  return dial.handle;
}

bool FindLocalDial(HRASCONN handle, LocalDial* dial) {
  std::lock_guard<std::mutex> guard(g_lock);
  ExpireLocked();
  auto it = g_local.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == g_local.end()) return false;
  *dial = it->second.dial;
  if (dial->hungUp) dial->state = testbed::kStateDisconnected;
  return true;
}

std::vector<LocalDial> LocalDials() {
  std::lock_guard<std::mutex> guard(g_lock);
  ExpireLocked();
  std::vector<LocalDial> dials;
  for (const auto& entry : g_local) {
    dials.push_back(entry.second.dial);
    if (dials.back().hungUp) dials.back().state = testbed::kStateDisconnected;
  }
  return dials;
}

bool HangUpLocalDial(HRASCONN handle) {
  const DWORD teardown = TeardownMs();
  std::lock_guard<std::mutex> guard(g_lock);
  ExpireLocked();
  auto it = g_local.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == g_local.end()) return false;
  if (!it->second.dial.hungUp) {
    it->second.dial.hungUp = true;
    it->second.releaseTick = GetTickCount() + teardown;
  }
  return true;
}

void HoldHandle(std::uint32_t id, std::unique_ptr<CServerConnection> link) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_held[id] = std::move(link);
}

void ReleaseHandle(std::uint32_t id) {
  std::unique_ptr<CServerConnection> link;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = g_held.find(id);
    if (it == g_held.end()) return;
    link = std::move(it->second);
    g_held.erase(it);
  }
  // Closed outside the lock: closing a socket may take a moment.
  link.reset();
}

}  // namespace rasemu
