#include "testbed/access-server/AccessServer.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace testbed {

namespace {

constexpr int kInvalidHandle = 6;  // no such session
constexpr int kAuthenticationFailure = 691;
constexpr int kNoAddressAssigned = 738;
constexpr std::uint64_t kMaxDelayMs = 600000;
constexpr std::uint64_t kMaxRate = 1000000000;

std::string Upper(std::string_view word) {
  std::string result(word);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Bytes that flowed at `rate` bytes per second during `ms` milliseconds.
std::uint64_t Flowed(std::uint64_t rate, std::uint64_t ms) {
  return rate * ms / 1000;
}

}  // namespace

CAccessServer::CAccessServer(ServerConfig config, IServerHost* host, std::uint32_t firstSessionId)
    : m_config(std::move(config)), m_host(host), m_nextId(firstSessionId) {
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
  m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                 [client](const PendingDial& dial) { return dial.client == client; }),
                  m_pending.end());
}

void CAccessServer::OnTimer() {
  const std::uint64_t now = m_host->MonotonicMs();
  // Completing a dial may queue more requests of the same client, so take the due ones first.
  std::vector<PendingDial> due;
  for (auto it = m_pending.begin(); it != m_pending.end();) {
    if (it->dueMs <= now) {
      due.push_back(std::move(*it));
      it = m_pending.erase(it);
    } else {
      ++it;
    }
  }
  for (const PendingDial& dial : due) {
    CompleteDial(dial);
    auto client = m_clients.find(dial.client);
    if (client != m_clients.end()) {
      client->second.dialPending = false;
      ProcessLines(dial.client);
    }
  }
}

std::int64_t CAccessServer::MillisecondsToNextTimer() {
  if (m_pending.empty()) return -1;
  const std::uint64_t now = m_host->MonotonicMs();
  std::uint64_t next = UINT64_MAX;
  for (const PendingDial& dial : m_pending) next = std::min(next, dial.dueMs);
  return next <= now ? 0 : static_cast<std::int64_t>(next - now);
}

std::vector<SessionInfo> CAccessServer::Sessions() {
  const std::uint64_t now = m_host->MonotonicMs();
  std::vector<SessionInfo> result;
  for (const auto& entry : m_sessions) result.push_back(Snapshot(entry.second, now));
  return result;
}

void CAccessServer::ProcessLines(ClientId client) {
  std::string line;
  for (;;) {
    auto it = m_clients.find(client);
    if (it == m_clients.end() || it->second.closing || it->second.dialPending) return;
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
  if (verb == "HANGUP" || verb == "STAT") {
    if (args != 1 || !ParseNumber(words[1], UINT32_MAX, &a)) {
      return ReplyError(client, kProtocolError, "usage: " + verb + " id");
    }
    auto session = m_sessions.find(static_cast<std::uint32_t>(a));
    if (session == m_sessions.end()) return ReplyError(client, kInvalidHandle, "no such session");
    if (verb == "STAT") {
      return Reply(client, "SESSION " + FormatSessionWords(Snapshot(session->second, now)) + "\nOK");
    }
    EndSession(session->first, "hangup");
    return Reply(client, "OK");
  }
  if (verb == "LIST" || verb == "WATCH") {
    if (args != 0) return ReplyError(client, kProtocolError, "usage: " + verb);
    if (verb == "WATCH") m_clients[client].watching = true;
    return m_host->Send(client, SessionLines(now) + "OK " + std::to_string(m_sessions.size()) + "\n");
  }
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
  PendingDial dial;
  std::string* fields[] = {&dial.user, &dial.password, &dial.entry, &dial.deviceType, &dial.deviceName};
  const std::size_t args = words.size() - 1;
  if (args < 2 || args > 5) {
    return ReplyError(client, kProtocolError, "usage: DIAL user password [entry [devtype [devname]]]");
  }
  for (std::size_t i = 0; i < args; ++i) {
    if (!DecodeField(words[i + 1], fields[i])) return ReplyError(client, kProtocolError, "bad escape");
  }
  // An injected failure belongs to the attempt that asked first, whatever the negotiation time.
  if (m_failTimes > 0) {
    dial.injectedCode = m_failCode;
    if (--m_failTimes == 0) m_failCode = 0;
  }
  dial.client = client;
  if (m_config.delayMs == 0) return CompleteDial(dial);
  // The client's later requests wait behind its dial, so that replies keep their order.
  dial.dueMs = m_host->MonotonicMs() + m_config.delayMs;
  m_clients[client].dialPending = true;
  m_pending.push_back(std::move(dial));
}

void CAccessServer::CompleteDial(const PendingDial& dial) {
  if (dial.injectedCode != 0) return ReplyError(dial.client, dial.injectedCode, "injected failure");
  auto account = m_config.accounts.find(dial.user);
  if (account == m_config.accounts.end() || account->second != dial.password) {
    return ReplyError(dial.client, kAuthenticationFailure, "authentication failed");
  }
  for (const auto& entry : m_sessions) {
    if (entry.second.info.user == dial.user) {
      return ReplyError(dial.client, kAuthenticationFailure, "account already online");
    }
  }
  Session session;
  if (!AllocateAddress(&session.address)) {
    return ReplyError(dial.client, kNoAddressAssigned, "address pool exhausted");
  }
  const std::uint64_t now = m_host->MonotonicMs();
  session.info.id = NextSessionId();
  session.info.user = dial.user;
  session.info.address = FormatIpv4(session.address);
  session.info.start = m_host->WallSeconds();
  session.info.bps = m_config.lineBps;
  session.info.entry = dial.entry;
  session.info.deviceType = dial.deviceType;
  session.info.deviceName = dial.deviceName;
  session.startMs = now;
  session.baseMs = now;
  const std::uint32_t id = session.info.id;
  m_sessions[id] = session;
  Reply(dial.client,
        "OK " + std::to_string(id) + " " + session.info.address + " " + std::to_string(session.info.start));
  Broadcast("EVENT UP " + FormatSessionWords(Snapshot(session, now)));
}

void CAccessServer::HandleDrop(ClientId client, std::string_view target) {
  std::string name;
  if (!DecodeField(target, &name)) return ReplyError(client, kProtocolError, "bad escape");
  std::uint64_t id = 0;
  const bool numeric =
      ParseNumber(target, UINT32_MAX, &id) && m_sessions.count(static_cast<std::uint32_t>(id));
  std::vector<std::uint32_t> victims;
  for (const auto& entry : m_sessions) {
    if (Upper(target) == "ALL" || (numeric ? entry.first == id : entry.second.info.user == name)) {
      victims.push_back(entry.first);
    }
  }
  for (std::uint32_t victim : victims) EndSession(victim, "drop");
  Reply(client, "OK " + std::to_string(victims.size()));
}

void CAccessServer::HandleTraffic(ClientId client, const std::vector<std::string_view>& words) {
  std::uint64_t down = 0, up = 0;
  if (words.size() != 3 || !ParseNumber(words[1], kMaxRate, &down) || !ParseNumber(words[2], kMaxRate, &up)) {
    return ReplyError(client, kProtocolError, "usage: TRAFFIC down up (bytes per second)");
  }
  // The counters so far keep the old rates; only what flows from now on uses the new ones.
  const std::uint64_t now = m_host->MonotonicMs();
  for (auto& entry : m_sessions) {
    Session& s = entry.second;
    s.receivedBase += Flowed(m_config.downRate, now - s.baseMs);
    s.sentBase += Flowed(m_config.upRate, now - s.baseMs);
    s.baseMs = now;
  }
  m_config.downRate = down;
  m_config.upRate = up;
  Reply(client, "OK");
}

void CAccessServer::EndSession(std::uint32_t id, const char* cause) {
  if (m_sessions.erase(id) == 0) return;
  Broadcast("EVENT DOWN " + std::to_string(id) + " " + cause);
}

void CAccessServer::Broadcast(const std::string& line) {
  for (const auto& entry : m_clients) {
    if (entry.second.watching && !entry.second.closing) m_host->Send(entry.first, line + "\n");
  }
}

SessionInfo CAccessServer::Snapshot(const Session& session, std::uint64_t now) const {
  SessionInfo info = session.info;
  info.durationMs = now - session.startMs;
  info.bytesReceived = session.receivedBase + Flowed(m_config.downRate, now - session.baseMs);
  info.bytesSent = session.sentBase + Flowed(m_config.upRate, now - session.baseMs);
  return info;
}

std::string CAccessServer::SessionLines(std::uint64_t now) const {
  std::string lines;
  for (const auto& entry : m_sessions)
    lines += "SESSION " + FormatSessionWords(Snapshot(entry.second, now)) + "\n";
  return lines;
}

bool CAccessServer::AllocateAddress(std::uint32_t* address) const {
  std::set<std::uint32_t> used;
  for (const auto& entry : m_sessions) used.insert(entry.second.address);
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
    if (!m_sessions.count(id)) return id;
  }
}

}  // namespace testbed
