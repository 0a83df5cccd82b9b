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

// A registration is pending from the moment it is made until the server has said what it
// concerns; what the watcher learns meanwhile is kept, and judged once the answer is in.
struct Registration {
  HANDLE event;
  std::uint32_t id;
  DWORD flags;
  std::uint64_t serial;
  bool pending;
  std::set<std::uint32_t> upsSeen;    // lines that connected while pending
  std::set<std::uint32_t> downsSeen;  // connected lines that ended while pending
  std::set<std::uint32_t> endsSeen;   // dials that ended unconnected while pending
};

bool IsLive(const testbed::SessionInfo& line) {
  return line.phase == testbed::kPhaseDialing || line.phase == testbed::kPhaseConnected;
}

class CWatcher {
 public:
  DWORD Register(std::uint32_t id, HANDLE event, DWORD flags);

 private:
  void Start();
  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  bool Subscribe(CServerConnection* server, std::vector<testbed::SessionInfo>* lines);
  void ApplySnapshot(const std::vector<testbed::SessionInfo>& lines, bool baseline);
  void OnUp(std::uint32_t id);
  // A line ended: connected (a DOWN, which any-connection registrations hear of) or not.
  void OnEnd(std::uint32_t id, bool wasConnected);
  // Drops a registration (and its event). Called with m_lock held.
  void RemoveLocked(std::uint64_t serial);
  Registration* FindLocked(std::uint64_t serial);
  // Makes a pending registration active, or merges it into an active one of the same event;
  // returns the registration in force (nullptr when it is gone). Called with m_lock held.
  Registration* ActivateLocked(std::uint64_t serial);

  std::mutex m_lock;
  std::vector<Registration> m_registrations;
  std::set<std::uint32_t> m_known;  // the connected lines this process has heard of
  std::uint64_t m_nextSerial = 1;
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
  // Until the first snapshot is in, a line that comes up could not be told from one that was
  // already up.
  if (m_firstAttempt) WaitForSingleObject(m_firstAttempt, kFirstAttemptWaitMs);
  std::uint64_t serial = 0;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    serial = m_nextSerial++;
    m_registrations.push_back({own, id, flags, serial, true, {}, {}, {}});
  }

  if (id != kAnyConnection) {
    testbed::SessionInfo line;
    const Lookup found = FindLine(id, &line);
    std::lock_guard<std::mutex> guard(m_lock);
    if (found != Lookup::kFound) {
      RemoveLocked(serial);
      return ERROR_INVALID_HANDLE;
    }
    // A connection that has already ended gives no signal, now or later.
    if (!IsLive(line)) {
      RemoveLocked(serial);
      return 0;
    }
    Registration* r = ActivateLocked(serial);
    // The line was live when the server answered: an end heard meanwhile came after that.
    if (r && (r->downsSeen.count(id) || r->endsSeen.count(id))) {
      if (r->flags & RASCN_Disconnection) SetEvent(r->event);
      RemoveLocked(r->serial);
    } else if (r) {
      r->upsSeen.clear();
      r->downsSeen.clear();
      r->endsSeen.clear();
    }
    return 0;
  }

  std::vector<testbed::SessionInfo> lines;
  ListLines(&lines);
  std::set<std::uint32_t> connected;
  for (const testbed::SessionInfo& line : lines) {
    if (line.phase == testbed::kPhaseConnected) connected.insert(line.id);
  }
  std::lock_guard<std::mutex> guard(m_lock);
  Registration* r = ActivateLocked(serial);
  if (r == nullptr) return 0;
  // Judged against the server's answer: a line that connected after it, or a connected line that
  // ended after it, is news; one the answer already shows connected or gone is not.
  bool news = false;
  if (r->flags & RASCN_Connection) {
    for (std::uint32_t up : r->upsSeen) news = news || !connected.count(up);
  }
  if (r->flags & RASCN_Disconnection) {
    for (std::uint32_t down : r->downsSeen) news = news || connected.count(down);
  }
  if (news) SetEvent(r->event);
  r->upsSeen.clear();
  r->downsSeen.clear();
  r->endsSeen.clear();
  return 0;
}

Registration* CWatcher::FindLocked(std::uint64_t serial) {
  for (Registration& r : m_registrations) {
    if (r.serial == serial) return &r;
  }
  return nullptr;
}

Registration* CWatcher::ActivateLocked(std::uint64_t serial) {
  Registration* mine = FindLocked(serial);
  if (mine == nullptr) return nullptr;
  mine->pending = false;
  for (Registration& r : m_registrations) {
    if (r.serial == serial || r.pending || r.id != mine->id || !SameObject(r.event, mine->event)) continue;
    // Registering the same event again adds the new flags to the registration in force; what was
    // seen meanwhile stays to be judged.
    r.flags |= mine->flags;
    r.upsSeen = std::move(mine->upsSeen);
    r.downsSeen = std::move(mine->downsSeen);
    r.endsSeen = std::move(mine->endsSeen);
    const std::uint64_t keep = r.serial;
    RemoveLocked(serial);
    return FindLocked(keep);
  }
  return mine;
}

void CWatcher::RemoveLocked(std::uint64_t serial) {
  for (auto it = m_registrations.begin(); it != m_registrations.end(); ++it) {
    if (it->serial == serial) {
      CloseHandle(it->event);
      m_registrations.erase(it);
      return;
    }
  }
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
    std::vector<testbed::SessionInfo> lines;
    // No server means no connection on the machine: whatever was up has ended.
    const bool subscribed = Subscribe(&server, &lines);
    ApplySnapshot(lines, first);
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
      if (words.size() < 3 || words[0] != "EVENT") continue;
      if (words[1] == "UP" && testbed::ParseSessionWords(words, 2, &session)) {
        OnUp(session.id);
      } else if ((words[1] == "DOWN" || words[1] == "END") &&
                 testbed::ParseNumber(words[2], UINT32_MAX, &id)) {
        OnEnd(static_cast<std::uint32_t>(id), words[1] == "DOWN");
      }
    }
  }
}

bool CWatcher::Subscribe(CServerConnection* server, std::vector<testbed::SessionInfo>* lines) {
  std::vector<std::string> words;
  testbed::Status status;
  if (!server->Open() || !server->Request("WATCH", 10000, &words, &status) || !status.ok) return false;
  for (const std::string& text : words) {
    const auto split = testbed::SplitWords(text);
    testbed::SessionInfo line;
    if (!split.empty() && split[0] == "SESSION" && testbed::ParseSessionWords(split, 1, &line)) {
      lines->push_back(line);
    }
  }
  return true;
}

void CWatcher::ApplySnapshot(const std::vector<testbed::SessionInfo>& lines, bool baseline) {
  std::set<std::uint32_t> live, connected;
  for (const testbed::SessionInfo& line : lines) {
    if (IsLive(line)) live.insert(line.id);
    if (line.phase == testbed::kPhaseConnected) connected.insert(line.id);
  }
  std::vector<std::pair<std::uint32_t, bool>> ended;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    // Lines this process waits on that are not live any more, whether or not it saw them connect.
    for (const Registration& r : m_registrations) {
      if (r.id != kAnyConnection && !live.count(r.id)) ended.push_back({r.id, false});
    }
    for (std::uint32_t id : m_known) {
      if (!connected.count(id)) ended.push_back({id, true});
    }
  }
  for (const auto& end : ended) OnEnd(end.first, end.second);
  if (baseline) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_known = connected;
    return;
  }
  for (std::uint32_t id : connected) OnUp(id);
}

void CWatcher::OnUp(std::uint32_t id) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_known.insert(id).second) return;
  for (Registration& r : m_registrations) {
    if (r.pending) {
      r.upsSeen.insert(id);
    } else if (r.id == kAnyConnection && (r.flags & RASCN_Connection)) {
      SetEvent(r.event);
    }
  }
}

void CWatcher::OnEnd(std::uint32_t id, bool wasConnected) {
  std::lock_guard<std::mutex> guard(m_lock);
  const bool known = m_known.erase(id) > 0;
  std::vector<std::uint64_t> over;
  for (Registration& r : m_registrations) {
    if (r.pending) {
      (wasConnected ? r.downsSeen : r.endsSeen).insert(id);
      continue;
    }
    if (r.id == id) {
      // The registration ends with its connection.
      if (r.flags & RASCN_Disconnection) SetEvent(r.event);
      over.push_back(r.serial);
    } else if (r.id == kAnyConnection && wasConnected && known && (r.flags & RASCN_Disconnection)) {
      SetEvent(r.event);
    }
  }
  for (std::uint64_t serial : over) RemoveLocked(serial);
}

}  // namespace

DWORD RegisterNotification(HRASCONN handle, HANDLE event, DWORD flags) {
  if (event == nullptr || event == INVALID_HANDLE_VALUE) return ERROR_INVALID_PARAMETER;
  if (handle == INVALID_HANDLE_VALUE) return g_watcher.Register(kAnyConnection, event, flags);
  // A dial that never reached a server has ended already: accepted, never signalled.
  LocalDial local;
  if (FindLocalDial(handle, &local)) return 0;
  std::uint32_t id = 0;
  if (!SessionIdOf(handle, &id)) return ERROR_INVALID_HANDLE;
  return g_watcher.Register(id, event, flags);
}

}  // namespace rasemu
