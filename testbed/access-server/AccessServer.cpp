#include "testbed/access-server/AccessServer.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace testbed {

namespace {

constexpr int kInvalidHandle = 6;  // no such line
constexpr int kPortAlreadyOpen = 602;
constexpr int kRemoteDisconnection = 629;
constexpr int kUserDisconnection = 631;
constexpr int kPortNotAvailable = 633;
constexpr int kNoAnswer = 678;
constexpr int kAuthenticationFailure = 691;
constexpr int kNoAddressAssigned = 738;
constexpr int kDialAlreadyInProgress = 756;
constexpr std::uint64_t kPppFraming = 1;  // RASFP_Ppp
constexpr std::uint64_t kMaxDelayMs = 600000;
constexpr std::uint64_t kMaxRate = 1000000000;

// The states a PPPoE dial passes through before it is connected, in order.
constexpr std::uint32_t kWalk[] = {kStateOpenPort,        kStatePortOpened,          kStateConnectDevice,
                                   kStateDeviceConnected, kStateAllDevicesConnected, kStateAuthenticate,
                                   kStateAuthNotify,      kStateAuthProject,         kStateAuthenticated,
                                   kStateProjected};
constexpr std::size_t kWalkLength = sizeof(kWalk) / sizeof(kWalk[0]);

std::size_t StageOf(std::uint32_t state) {
  for (std::size_t i = 0; i < kWalkLength; ++i) {
    if (kWalk[i] == state) return i;
  }
  return kWalkLength - 1;
}

// Where a dial that fails with this code stops: the answer of the line, the authentication, or
// the negotiation of the network protocol.
std::uint32_t FailingState(int code) {
  switch (code) {
    case 645:
    case 646:
    case 647:
    case 648:
    case 649:
    case 691:
    case 708:
      return kStateAuthenticate;
    case 720:
    case 731:
    case 732:
    case 733:
    case 734:
    case 735:
    case 736:
    case 738:
      return kStateAuthProject;
    default:
      return kStateConnectDevice;
  }
}

std::string Upper(std::string_view word) {
  std::string result(word);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Entry names compare as the remote-access service compares them: letters without regard to case.
bool SameEntry(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Upper(a) == Upper(b);
}

// Bytes that flowed at `rate` bytes per second during `ms` milliseconds.
std::uint64_t Flowed(std::uint64_t rate, std::uint64_t ms) {
  return rate * ms / 1000;
}

}  // namespace

CAccessServer::CAccessServer(ServerConfig config, IServerHost* host, std::uint32_t firstSessionId)
    : m_config(std::move(config)), m_startConfig(m_config), m_host(host), m_nextId(firstSessionId) {
  if (m_nextId < kFirstSessionId || m_nextId > kLastSessionId) m_nextId = kFirstSessionId;
}

void CAccessServer::OnConnect(ClientId client) {
  m_clients[client] = Client();
}

void CAccessServer::OnData(ClientId client, const char* data, std::size_t size) {
  auto it = m_clients.find(client);
  if (it == m_clients.end() || it->second.closing) return;
  it->second.input.Append(data, size);
  ProcessLines(client);
}

void CAccessServer::OnDisconnect(ClientId client) {
  auto it = m_clients.find(client);
  if (it != m_clients.end() && it->second.lifeline) m_stop = true;
  m_clients.erase(client);
  // The handles of a connection that went away are let go: a dial in progress is hung up, a line
  // that ended is released; a connected line stays up (it is the machine's, not the process's).
  std::vector<std::uint32_t> released;
  for (auto& entry : m_lines) {
    Line& line = entry.second;
    if (line.owner != client) continue;
    line.owner = 0;
    switch (line.phase) {
      case Phase::kDialing:
        AbortDial(line, line.teardownMs, "abandoned");
        break;
      case Phase::kFailed:
        StartTeardown(line, line.teardownMs, line.info.error);
        line.hungUp = true;
        break;
      case Phase::kHeld:
        released.push_back(entry.first);
        break;
      case Phase::kConnected:
      case Phase::kClosing:
        break;
    }
  }
  for (std::uint32_t id : released) m_lines.erase(id);
}

void CAccessServer::OnTimer() {
  const std::uint64_t now = m_host->MonotonicMs();
  std::vector<std::uint32_t> due, over;
  for (const auto& entry : m_lines) {
    const Line& line = entry.second;
    if (line.phase == Phase::kDialing && line.dueMs <= now) due.push_back(entry.first);
    if (line.phase == Phase::kClosing && line.releaseMs <= now) over.push_back(entry.first);
  }
  for (std::uint32_t id : due) CompleteDial(id);
  for (std::uint32_t id : over) {
    auto it = m_lines.find(id);
    if (it == m_lines.end()) continue;
    // A line that ended by itself stays held for as long as its handle is neither hung up nor let
    // go: the port is still open.
    if (it->second.hungUp || it->second.owner == 0) {
      m_lines.erase(it);
    } else {
      it->second.phase = Phase::kHeld;
      it->second.info.phase = kPhaseHeld;
    }
  }
}

std::int64_t CAccessServer::MillisecondsToNextTimer() {
  const std::uint64_t now = m_host->MonotonicMs();
  std::uint64_t next = UINT64_MAX;
  for (const auto& entry : m_lines) {
    const Line& line = entry.second;
    if (line.phase == Phase::kDialing) next = std::min(next, line.dueMs);
    if (line.phase == Phase::kClosing) next = std::min(next, line.releaseMs);
  }
  if (next == UINT64_MAX) return -1;
  return next <= now ? 0 : static_cast<std::int64_t>(next - now);
}

std::vector<SessionInfo> CAccessServer::Sessions() {
  std::vector<SessionInfo> result;
  for (const SessionInfo& line : Lines()) {
    if (line.phase == kPhaseConnected) result.push_back(line);
  }
  return result;
}

std::vector<SessionInfo> CAccessServer::Lines() {
  const std::uint64_t now = m_host->MonotonicMs();
  std::vector<SessionInfo> result;
  for (const auto& entry : m_lines) result.push_back(Snapshot(entry.second, now));
  return result;
}

std::size_t CAccessServer::PendingDials() const {
  return static_cast<std::size_t>(std::count_if(m_lines.begin(), m_lines.end(), [](const auto& entry) {
    return entry.second.phase == Phase::kDialing;
  }));
}

AccountCounts CAccessServer::CountsOf(const std::string& user) const {
  auto it = m_counts.find(user);
  AccountCounts counts = it == m_counts.end() ? AccountCounts() : it->second;
  counts.user = user;
  counts.online = std::any_of(m_lines.begin(), m_lines.end(), [&user](const auto& entry) {
    return entry.second.phase == Phase::kConnected && entry.second.info.user == user;
  });
  return counts;
}

void CAccessServer::ProcessLines(ClientId client) {
  std::string line;
  for (;;) {
    auto it = m_clients.find(client);
    if (it == m_clients.end() || it->second.closing || it->second.dialPending != 0) return;
    Client& state = it->second;
    if (state.input.NextLine(&line)) {
      HandleRequest(client, line);
      continue;
    }
    if (state.input.Overflowed()) {
      // Nothing after an unterminated giant line can be trusted to start a request.
      ReplyError(client, kProtocolError, "request too long");
      state.closing = true;
      m_host->CloseAfterSend(client);
    }
    return;
  }
}

void CAccessServer::Reply(ClientId client, const std::string& text) {
  m_host->Send(client, text + "\n");
}

void CAccessServer::ReplyError(ClientId client, int code, const std::string& text) {
  Reply(client, "ERR " + std::to_string(code) + " " + text);
}

void CAccessServer::HandleRequest(ClientId client, const std::string& line) {
  const std::vector<std::string_view> words = SplitWords(line);
  if (words.empty()) return ReplyError(client, kProtocolError, "empty request");
  const std::string verb = Upper(words[0]);
  const std::size_t args = words.size() - 1;
  const std::uint64_t now = m_host->MonotonicMs();
  std::uint64_t a = 0, b = 0;

  if (verb == "PING") {
    if (args != 0) return ReplyError(client, kProtocolError, "usage: PING");
    return Reply(client, "OK");
  }
  if (verb == "DIAL") return HandleDial(client, words);
  if (verb == "HANGUP") return HandleHangUp(client, words);
  if (verb == "STAT") {
    if (args != 1 || !ParseNumber(words[1], UINT32_MAX, &a)) {
      return ReplyError(client, kProtocolError, "usage: STAT id");
    }
    auto found = m_lines.find(static_cast<std::uint32_t>(a));
    if (found == m_lines.end()) return ReplyError(client, kInvalidHandle, "no such line");
    return Reply(client, "SESSION " + FormatSessionWords(Snapshot(found->second, now)) + "\nOK");
  }
  if (verb == "LIST" || verb == "WATCH") {
    if (args != 0) return ReplyError(client, kProtocolError, "usage: " + verb);
    if (verb == "WATCH") m_clients[client].watching = true;
    return m_host->Send(client, LineWords(now) + "OK " + std::to_string(m_lines.size()) + "\n");
  }
  if (verb == "COUNTS") return HandleCounts(client, words);
  if (verb == "DROP") {
    if (args != 1) return ReplyError(client, kProtocolError, "usage: DROP all|id|user");
    return HandleDrop(client, words[1]);
  }
  if (verb == "FAIL") {
    if (args < 1 || args > 2 || !ParseNumber(words[1], 99999, &a) ||
        (args == 2 && (!ParseNumber(words[2], 1000000, &b) || b == 0))) {
      return ReplyError(client, kProtocolError, "usage: FAIL code [times]");
    }
    m_failCode = static_cast<int>(a);
    m_failTimes = a == 0 ? 0 : (args == 2 ? b : 1);
    return Reply(client, "OK");
  }
  if (verb == "DELAY") {
    if (args != 1 || !ParseNumber(words[1], kMaxDelayMs, &a)) {
      return ReplyError(client, kProtocolError, "usage: DELAY ms (at most 600000)");
    }
    m_config.delayMs = static_cast<std::uint32_t>(a);
    return Reply(client, "OK");
  }
  if (verb == "TRAFFIC") return HandleTraffic(client, words);
  if (verb == "RESET") {
    if (args != 0) return ReplyError(client, kProtocolError, "usage: RESET");
    Reset();
    return Reply(client, "OK");
  }
  if (verb == "LIFELINE") {
    if (args != 0) return ReplyError(client, kProtocolError, "usage: LIFELINE");
    m_clients[client].lifeline = true;
    return Reply(client, "OK");
  }
  if (verb == "STOP") {
    if (args != 0) return ReplyError(client, kProtocolError, "usage: STOP");
    m_stop = true;
    return Reply(client, "OK");
  }
  ReplyError(client, kProtocolError, "unknown request");
}

void CAccessServer::HandleDial(ClientId client, const std::vector<std::string_view>& words) {
  Line line;
  std::string* fields[] = {&line.info.user, &line.info.entry, &line.info.deviceType, &line.info.deviceName};
  const std::size_t args = words.size() - 1;
  std::uint64_t framing = 0;
  if (args < 6 || args > 7 || !ParseNumber(words[6], UINT32_MAX, &framing) ||
      (args == 7 && !ParseNumber(words[7], kMaxTeardownMs, &line.teardownMs))) {
    return ReplyError(client, kProtocolError,
                      "usage: DIAL user password entry devtype devname framing [teardown_ms]");
  }
  if (!DecodeField(words[1], fields[0]) || !DecodeField(words[2], &line.password) ||
      !DecodeField(words[3], fields[1]) || !DecodeField(words[4], fields[2]) ||
      !DecodeField(words[5], fields[3])) {
    return ReplyError(client, kProtocolError, "bad escape");
  }
  AccountCounts& counts = m_counts[line.info.user];
  ++counts.dials;

  // One line per entry: the entry's port is busy while a line of it dials, tears down or has
  // ended without its handle being hung up; a connected entry hands back its connection.
  for (const auto& entry : m_lines) {
    const Line& other = entry.second;
    if (!SameEntry(other.info.entry, line.info.entry)) continue;
    int refusal = 0;
    const char* text = "";
    switch (other.phase) {
      case Phase::kConnected:
        return Reply(client, "OK " + std::to_string(entry.first) + " " + other.info.address + " " +
                                 std::to_string(other.info.start));
      case Phase::kDialing:
        refusal = kDialAlreadyInProgress;
        text = "the entry is being dialled";
        break;
      case Phase::kClosing:
        refusal = kPortNotAvailable;
        text = "the entry's port is closing";
        break;
      case Phase::kFailed:
      case Phase::kHeld:
        refusal = kPortAlreadyOpen;
        text = "the entry's port is still open";
        break;
    }
    ++counts.refusals[refusal];
    return ReplyError(client, refusal, text);
  }

  const std::uint64_t now = m_host->MonotonicMs();
  const std::uint32_t id = NextSessionId();
  line.info.id = id;
  line.info.phase = kPhaseDialing;
  line.info.state = kStateOpenPort;
  line.info.bps = m_config.lineBps;
  line.owner = client;
  line.dialStartMs = now;
  line.dueMs = now + m_config.delayMs;
  line.stageLimit = kWalkLength - 1;
  // Only a PPPoE device that frames with PPP reaches the access concentrator; anything else is a
  // line that never answers. An injected failure belongs to the attempt that reaches it first.
  if (Upper(line.info.deviceType) != "PPPOE" || framing != kPppFraming) {
    line.failCode = kNoAnswer;
    line.failText = "no answer on a line that is not PPPoE with PPP framing";
  } else if (m_failTimes > 0) {
    line.failCode = m_failCode;
    line.failText = "injected failure";
    if (--m_failTimes == 0) m_failCode = 0;
  } else {
    auto account = m_config.accounts.find(line.info.user);
    if (account == m_config.accounts.end() || account->second != line.password) {
      line.failCode = kAuthenticationFailure;
      line.failText = "authentication failed";
    }
  }
  if (line.failCode != 0) line.stageLimit = StageOf(FailingState(line.failCode));
  m_lines[id] = line;
  Reply(client, "LINE " + std::to_string(id));
  if (m_config.delayMs == 0) return CompleteDial(id);
  // The client's later requests wait behind its dial, so that replies keep their order.
  m_clients[client].dialPending = id;
}

void CAccessServer::CompleteDial(std::uint32_t id) {
  auto it = m_lines.find(id);
  if (it == m_lines.end() || it->second.phase != Phase::kDialing) return;
  Line& line = it->second;
  const ClientId owner = line.owner;
  if (line.failCode != 0) {
    FailDial(line, line.failCode, line.failText);
    return ReleaseDialer(owner);
  }
  for (const auto& entry : m_lines) {
    if (entry.first != id && entry.second.phase == Phase::kConnected &&
        entry.second.info.user == line.info.user) {
      FailDial(line, kAuthenticationFailure, "account already online");
      return ReleaseDialer(owner);
    }
  }
  if (!AllocateAddress(&line.address)) {
    FailDial(line, kNoAddressAssigned, "address pool exhausted");
    return ReleaseDialer(owner);
  }
  const std::uint64_t now = m_host->MonotonicMs();
  line.phase = Phase::kConnected;
  line.info.phase = kPhaseConnected;
  line.info.state = kStateConnected;
  line.info.address = FormatIpv4(line.address);
  line.info.start = m_host->WallSeconds();
  line.startMs = now;
  line.baseMs = now;
  ++m_counts[line.info.user].sessions;
  Reply(owner, "OK " + std::to_string(id) + " " + line.info.address + " " + std::to_string(line.info.start));
  Broadcast("EVENT UP " + FormatSessionWords(Snapshot(line, now)));
  ReleaseDialer(owner);
}

void CAccessServer::FailDial(Line& line, int code, const std::string& text) {
  line.phase = Phase::kFailed;
  line.info.phase = kPhaseFailed;
  line.info.state = FailingState(code);
  line.info.error = static_cast<std::uint32_t>(code);
  line.endMs = m_host->MonotonicMs();
  ++m_counts[line.info.user].refusals[code];
  ReplyError(line.owner, code, text);
  Broadcast("EVENT END " + std::to_string(line.info.id) + " failed");
}

void CAccessServer::ReleaseDialer(ClientId client) {
  auto it = m_clients.find(client);
  if (it == m_clients.end() || it->second.dialPending == 0) return;
  it->second.dialPending = 0;
  ProcessLines(client);
}

void CAccessServer::HandleHangUp(ClientId client, const std::vector<std::string_view>& words) {
  std::uint64_t id = 0, teardownMs = kDefaultTeardownMs;
  const std::size_t args = words.size() - 1;
  if (args < 1 || args > 2 || !ParseNumber(words[1], UINT32_MAX, &id) ||
      (args == 2 && !ParseNumber(words[2], kMaxTeardownMs, &teardownMs))) {
    return ReplyError(client, kProtocolError, "usage: HANGUP id [teardown_ms]");
  }
  auto it = m_lines.find(static_cast<std::uint32_t>(id));
  if (it == m_lines.end()) return ReplyError(client, kInvalidHandle, "no such line");
  if (it->second.phase == Phase::kHeld) {
    // Torn down already: hanging up lets the port go at once.
    m_lines.erase(it);
  } else {
    HangUp(it->second, teardownMs, "hangup");
  }
  Reply(client, "OK");
}

void CAccessServer::HangUp(Line& line, std::uint64_t teardownMs, const char* cause) {
  switch (line.phase) {
    case Phase::kDialing:
      AbortDial(line, teardownMs, cause);
      break;
    case Phase::kConnected:
      StartTeardown(line, teardownMs, 0);
      Broadcast("EVENT DOWN " + std::to_string(line.info.id) + " " + cause);
      break;
    case Phase::kFailed:
      StartTeardown(line, teardownMs, line.info.error);
      break;
    case Phase::kClosing:
    case Phase::kHeld:
      break;
  }
  line.hungUp = true;
}

void CAccessServer::AbortDial(Line& line, std::uint64_t teardownMs, const char* cause) {
  const ClientId owner = line.owner;
  ++m_counts[line.info.user].aborted;
  if (owner != 0) ReplyError(owner, kUserDisconnection, "hung up while dialling");
  StartTeardown(line, teardownMs, kUserDisconnection);
  line.hungUp = true;
  Broadcast("EVENT END " + std::to_string(line.info.id) + " " + cause);
  if (owner != 0) ReleaseDialer(owner);
}

void CAccessServer::StartTeardown(Line& line, std::uint64_t teardownMs, std::uint32_t error) {
  const std::uint64_t now = m_host->MonotonicMs();
  if (line.phase == Phase::kConnected) {
    // The counters stop where the session ended.
    line.receivedBase += Flowed(m_config.downRate, now - line.baseMs);
    line.sentBase += Flowed(m_config.upRate, now - line.baseMs);
    line.baseMs = now;
    line.endMs = now;
  } else if (line.phase == Phase::kDialing) {
    line.endMs = now;
  }
  line.phase = Phase::kClosing;
  line.info.phase = kPhaseClosing;
  line.info.state = kStateDisconnected;
  line.info.error = error;
  line.releaseMs = now + teardownMs;
}

void CAccessServer::HandleDrop(ClientId client, std::string_view target) {
  std::string name;
  if (!DecodeField(target, &name)) return ReplyError(client, kProtocolError, "bad escape");
  std::uint64_t id = 0;
  const bool numeric = ParseNumber(target, UINT32_MAX, &id) && m_lines.count(static_cast<std::uint32_t>(id));
  std::vector<std::uint32_t> victims;
  for (const auto& entry : m_lines) {
    if (entry.second.phase != Phase::kConnected) continue;
    if (Upper(target) == "ALL" || (numeric ? entry.first == id : entry.second.info.user == name)) {
      victims.push_back(entry.first);
    }
  }
  // A dropped line tears down as a hung-up one does, and then stays held until its handle is hung
  // up.
  for (std::uint32_t victim : victims) {
    Line& line = m_lines[victim];
    StartTeardown(line, line.teardownMs, kRemoteDisconnection);
    Broadcast("EVENT DOWN " + std::to_string(victim) + " drop");
  }
  Reply(client, "OK " + std::to_string(victims.size()));
}

void CAccessServer::HandleTraffic(ClientId client, const std::vector<std::string_view>& words) {
  std::uint64_t down = 0, up = 0;
  if (words.size() != 3 || !ParseNumber(words[1], kMaxRate, &down) || !ParseNumber(words[2], kMaxRate, &up)) {
    return ReplyError(client, kProtocolError, "usage: TRAFFIC down up (bytes per second)");
  }
  // The counters so far keep the old rates; only what flows from now on uses the new ones.
  const std::uint64_t now = m_host->MonotonicMs();
  for (auto& entry : m_lines) {
    Line& s = entry.second;
    if (s.phase != Phase::kConnected) continue;
    s.receivedBase += Flowed(m_config.downRate, now - s.baseMs);
    s.sentBase += Flowed(m_config.upRate, now - s.baseMs);
    s.baseMs = now;
  }
  m_config.downRate = down;
  m_config.upRate = up;
  Reply(client, "OK");
}

void CAccessServer::HandleCounts(ClientId client, const std::vector<std::string_view>& words) {
  if (words.size() > 2) return ReplyError(client, kProtocolError, "usage: COUNTS [user]");
  std::vector<std::string> users;
  if (words.size() == 2) {
    std::string user;
    if (!DecodeField(words[1], &user)) return ReplyError(client, kProtocolError, "bad escape");
    users.push_back(user);
  } else {
    for (const auto& entry : m_counts) users.push_back(entry.first);
  }
  std::string text;
  for (const std::string& user : users) text += "COUNT " + FormatCountWords(CountsOf(user)) + "\n";
  m_host->Send(client, text + "OK " + std::to_string(users.size()) + "\n");
}

void CAccessServer::Reset() {
  for (auto& entry : m_lines) {
    Line& line = entry.second;
    if (line.phase == Phase::kDialing) {
      if (line.owner != 0) ReplyError(line.owner, kUserDisconnection, "the server was reset");
      Broadcast("EVENT END " + std::to_string(entry.first) + " reset");
    } else if (line.phase == Phase::kConnected) {
      Broadcast("EVENT DOWN " + std::to_string(entry.first) + " reset");
    }
  }
  std::vector<ClientId> dialers;
  for (const auto& entry : m_clients) {
    if (entry.second.dialPending != 0) dialers.push_back(entry.first);
  }
  m_lines.clear();
  m_counts.clear();
  m_failCode = 0;
  m_failTimes = 0;
  m_config = m_startConfig;
  for (ClientId client : dialers) ReleaseDialer(client);
}

void CAccessServer::Broadcast(const std::string& line) {
  for (const auto& entry : m_clients) {
    if (entry.second.watching && !entry.second.closing) m_host->Send(entry.first, line + "\n");
  }
}

SessionInfo CAccessServer::Snapshot(const Line& line, std::uint64_t now) const {
  SessionInfo info = line.info;
  switch (line.phase) {
    case Phase::kDialing: {
      // The dial walks its states evenly over the negotiation time, and no further than where it
      // is going to fail.
      const std::uint64_t span = line.dueMs - line.dialStartMs;
      const std::uint64_t spent = now - line.dialStartMs;
      std::size_t stage = span == 0 ? kWalkLength - 1 : static_cast<std::size_t>(spent * kWalkLength / span);
      stage = std::min({stage, kWalkLength - 1, line.stageLimit});
      info.state = kWalk[stage];
      break;
    }
    case Phase::kConnected:
      info.durationMs = now - line.startMs;
      info.bytesReceived = line.receivedBase + Flowed(m_config.downRate, now - line.baseMs);
      info.bytesSent = line.sentBase + Flowed(m_config.upRate, now - line.baseMs);
      break;
    case Phase::kFailed:
    case Phase::kClosing:
    case Phase::kHeld:
      info.durationMs = line.startMs != 0 && line.endMs >= line.startMs ? line.endMs - line.startMs : 0;
      info.bytesReceived = line.receivedBase;
      info.bytesSent = line.sentBase;
      break;
  }
  return info;
}

std::string CAccessServer::LineWords(std::uint64_t now) const {
  std::string lines;
  for (const auto& entry : m_lines)
    lines += "SESSION " + FormatSessionWords(Snapshot(entry.second, now)) + "\n";
  return lines;
}

bool CAccessServer::AllocateAddress(std::uint32_t* address) const {
  std::set<std::uint32_t> used;
  for (const auto& entry : m_lines) {
    if (entry.second.phase == Phase::kConnected) used.insert(entry.second.address);
  }
  for (std::uint64_t a = m_config.poolFirst; a <= m_config.poolLast; ++a) {
    if (!used.count(static_cast<std::uint32_t>(a))) {
      *address = static_cast<std::uint32_t>(a);
      return true;
    }
  }
  return false;
}

std::uint32_t CAccessServer::NextSessionId() {
  for (;;) {
    const std::uint32_t id = m_nextId;
    m_nextId = m_nextId >= kLastSessionId ? kFirstSessionId : m_nextId + 1;
    if (!m_lines.count(id)) return id;
  }
}

}  // namespace testbed
