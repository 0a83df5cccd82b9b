#include "testbed/rasapi/Notifications.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "testbed/rasapi/Connections.h"
#include "testbed/rasapi/ServerLink.h"

namespace rasemu {

namespace {

constexpr std::uint32_t kAnyConnection = 0;
constexpr DWORD kRetryMs = 250;
constexpr DWORD kFirstAttemptWaitMs = 3000;

struct Registration {
  HANDLE event;
  std::uint32_t id;
  DWORD flags;
};

class CWatcher {
 public:
  DWORD Register(std::uint32_t id, HANDLE event, DWORD flags);

 private:
  void Start();
  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  bool Subscribe(CServerConnection* server, std::set<std::uint32_t>* live);
  void ApplySnapshot(const std::set<std::uint32_t>& live, bool baseline);
  void OnUp(std::uint32_t id);
  void OnDown(std::uint32_t id);
  void SignalDownLocked(std::uint32_t id);

  std::mutex m_lock;
  std::vector<Registration> m_registrations;
  std::set<std::uint32_t> m_known;
  std::once_flag m_started;
  HANDLE m_firstAttempt = nullptr;
};

CWatcher g_watcher;

// Whether two handles name one object; without the means to tell, they count as different (a
// registration then only repeats, which signals the same event twice at worst).
bool SameObject(HANDLE a, HANDLE b) {
  using Compare = BOOL(WINAPI*)(HANDLE, HANDLE);
  static const Compare compare = [] {
    HMODULE module = GetModuleHandleA("kernelbase.dll");
    if (!module) module = GetModuleHandleA("kernel32.dll");
    return module ? reinterpret_cast<Compare>(
                        reinterpret_cast<void*>(GetProcAddress(module, "CompareObjectHandles")))
                  : nullptr;
  }();
  return compare && compare(a, b);
}

DWORD CWatcher::Register(std::uint32_t id, HANDLE event, DWORD flags) {
  // The registration keeps an event of its own, as the remote-access service does: a caller may
  // close its handle, and a new event that happens to get the same handle value must not be
  // signalled for the old registration.
  HANDLE own = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &own, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return ERROR_INVALID_HANDLE;
  }
  Start();
  // Until the first snapshot is in, a session that comes up could not be told from one that
  // was already up.
  if (m_firstAttempt) WaitForSingleObject(m_firstAttempt, kFirstAttemptWaitMs);
  {
    std::lock_guard<std::mutex> guard(m_lock);
    bool merged = false;
    for (Registration& r : m_registrations) {
      if (r.id == id && SameObject(r.event, own)) {
        r.flags |= flags;
        merged = true;
      }
    }
    if (merged) {
      CloseHandle(own);
    } else {
      m_registrations.push_back({own, id, flags});
    }
  }
  if (id == kAnyConnection || !(flags & RASCN_Disconnection)) return 0;
  // The connection may have ended before the registration: then it is over already, and the
  // caller learns it now rather than never.
  testbed::SessionInfo session;
  if (FindSession(id, &session) != Lookup::kFound) {
    std::lock_guard<std::mutex> guard(m_lock);
    SignalDownLocked(id);
  }
  return 0;
}

void CWatcher::Start() {
  std::call_once(m_started, [this] {
    m_firstAttempt = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (thread) {
      CloseHandle(thread);
    } else if (m_firstAttempt) {
      SetEvent(m_firstAttempt);
    }
  });
}

DWORD WINAPI CWatcher::ThreadMain(void* self) {
  static_cast<CWatcher*>(self)->Run();
  return 0;
}

void CWatcher::Run() {
  bool first = true;
  for (;;) {
    CServerConnection server;
    std::set<std::uint32_t> live;
    // No server means no connection on the machine: whatever was up has ended.
    const bool subscribed = Subscribe(&server, &live);
    ApplySnapshot(live, first);
    if (first) SetEvent(m_firstAttempt);
    first = false;
    if (!subscribed) {
      Sleep(kRetryMs);
      continue;
    }
    std::string line;
    while (server.ReadLine(&line, INFINITE)) {
      const auto words = testbed::SplitWords(line);
      testbed::SessionInfo session;
      std::uint64_t id = 0;
      if (words.size() >= 2 && words[0] == "EVENT" && words[1] == "UP" &&
          testbed::ParseSessionWords(words, 2, &session)) {
        OnUp(session.id);
      } else if (words.size() >= 3 && words[0] == "EVENT" && words[1] == "DOWN" &&
                 testbed::ParseNumber(words[2], UINT32_MAX, &id)) {
        OnDown(static_cast<std::uint32_t>(id));
      }
    }
  }
}

bool CWatcher::Subscribe(CServerConnection* server, std::set<std::uint32_t>* live) {
  std::vector<std::string> lines;
  testbed::Status status;
  if (!server->Open() || !server->Request("WATCH", 10000, &lines, &status) || !status.ok) return false;
  for (const std::string& line : lines) {
    const auto words = testbed::SplitWords(line);
    testbed::SessionInfo session;
    if (!words.empty() && words[0] == "SESSION" && testbed::ParseSessionWords(words, 1, &session)) {
      live->insert(session.id);
    }
  }
  return true;
}

void CWatcher::ApplySnapshot(const std::set<std::uint32_t>& live, bool baseline) {
  std::lock_guard<std::mutex> guard(m_lock);
  // Registrations for one connection that is not live any more, whether or not this process saw
  // it come up.
  std::set<std::uint32_t> gone;
  for (const Registration& r : m_registrations) {
    if (r.id != kAnyConnection && !live.count(r.id)) gone.insert(r.id);
  }
  for (std::uint32_t id : m_known) {
    if (!live.count(id)) gone.insert(id);
  }
  for (std::uint32_t id : gone) SignalDownLocked(id);
  if (!baseline) {
    for (std::uint32_t id : live) {
      if (m_known.count(id)) continue;
      for (const Registration& r : m_registrations) {
        if (r.id == kAnyConnection && (r.flags & RASCN_Connection)) SetEvent(r.event);
      }
    }
  }
  m_known = live;
}

void CWatcher::OnUp(std::uint32_t id) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_known.insert(id).second) return;
  for (const Registration& r : m_registrations) {
    if (r.id == kAnyConnection && (r.flags & RASCN_Connection)) SetEvent(r.event);
  }
}

void CWatcher::OnDown(std::uint32_t id) {
  std::lock_guard<std::mutex> guard(m_lock);
  SignalDownLocked(id);
}

void CWatcher::SignalDownLocked(std::uint32_t id) {
  const bool wasKnown = m_known.erase(id) > 0;
  std::vector<Registration> kept;
  for (const Registration& r : m_registrations) {
    if (r.id == id) {
      if (r.flags & RASCN_Disconnection) SetEvent(r.event);
      CloseHandle(r.event);
      continue;
    }
    if (wasKnown && r.id == kAnyConnection && (r.flags & RASCN_Disconnection)) SetEvent(r.event);
    kept.push_back(r);
  }
  m_registrations.swap(kept);
}

}  // namespace

DWORD RegisterNotification(HRASCONN handle, HANDLE event, DWORD flags) {
  if (event == nullptr || event == INVALID_HANDLE_VALUE) return ERROR_INVALID_PARAMETER;
  if (handle == INVALID_HANDLE_VALUE) return g_watcher.Register(kAnyConnection, event, flags);
  FailedDial failed;
  if (FindFailedDial(handle, &failed)) {
    if (flags & RASCN_Disconnection) SetEvent(event);
    return 0;
  }
  std::uint32_t id = 0;
  if (!SessionIdOf(handle, &id)) return ERROR_INVALID_HANDLE;
  return g_watcher.Register(id, event, flags);
}

}  // namespace rasemu
