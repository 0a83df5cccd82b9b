// The provider's access concentrator as a state machine: accounts, address pool, sessions with
// traffic counters, injected failures, subscribers that learn of every session that starts or
// ends. It owns no socket and no clock; CServerLoop feeds it bytes and time.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "testbed/protocol/Protocol.h"

namespace testbed {

using ClientId = std::uint64_t;

struct ServerConfig {
  std::map<std::string, std::string> accounts;  // user -> password
  std::uint32_t poolFirst = 0;                  // host-order IPv4, inclusive range
  std::uint32_t poolLast = 0;
  std::uint32_t delayMs = 0;         // negotiation time of each dial
  std::uint64_t downRate = 20000;    // bytes per second received by the subscriber
  std::uint64_t upRate = 5000;       // bytes per second sent by the subscriber
  std::uint32_t lineBps = 10000000;  // link speed reported for every session
};

// The access server's surroundings: where replies go and what time it is.
class IServerHost {
 public:
  virtual ~IServerHost() = default;
  // Queues one or more complete lines for the client.
  virtual void Send(ClientId client, const std::string& text) = 0;
  // Closes the client's connection once what was queued for it has gone out.
  virtual void CloseAfterSend(ClientId client) = 0;
  virtual std::uint64_t MonotonicMs() = 0;
  virtual std::int64_t WallSeconds() = 0;
};

class CAccessServer {
 public:
  // Session ids start at firstSessionId (clamped into the protocol's id range), so that handles
  // left over from an earlier server run rarely name a session of this one.
  CAccessServer(ServerConfig config, IServerHost* host, std::uint32_t firstSessionId);

  void OnConnect(ClientId client);
  // Bytes from the client; every complete request line gets exactly one status line in reply.
  void OnData(ClientId client, const char* data, std::size_t size);
  // The client went away: a dial it was waiting for is abandoned, its subscription ends; when
  // it held the server's lifeline, the server stops.
  void OnDisconnect(ClientId client);
  // Completes the dials whose negotiation time has passed.
  void OnTimer();
  // Milliseconds until OnTimer has something to do; -1 when no dial is pending.
  std::int64_t MillisecondsToNextTimer();
  // True after a STOP request.
  bool StopRequested() const { return m_stop; }

  std::vector<SessionInfo> Sessions();
  std::size_t PendingDials() const { return m_pending.size(); }

 private:
  struct Client {
    CLineBuffer input;
    bool watching = false;
    bool lifeline = false;
    bool dialPending = false;
    bool closing = false;
  };
  struct PendingDial {
    ClientId client = 0;
    std::uint64_t dueMs = 0;
    int injectedCode = 0;
    std::string user, password, entry, deviceType, deviceName;
  };
  struct Session {
    SessionInfo info;
    std::uint32_t address = 0;
    std::uint64_t startMs = 0;
    std::uint64_t receivedBase = 0;
    std::uint64_t sentBase = 0;
    std::uint64_t baseMs = 0;
  };

  void ProcessLines(ClientId client);
  void HandleRequest(ClientId client, const std::string& line);
  void Reply(ClientId client, const std::string& text);
  void ReplyError(ClientId client, int code, const std::string& text);
  void HandleDial(ClientId client, const std::vector<std::string_view>& words);
  void CompleteDial(const PendingDial& dial);
  void HandleDrop(ClientId client, std::string_view target);
  void HandleTraffic(ClientId client, const std::vector<std::string_view>& words);
  void EndSession(std::uint32_t id, const char* cause);
  void Broadcast(const std::string& line);
  SessionInfo Snapshot(const Session& session, std::uint64_t now) const;
  std::string SessionLines(std::uint64_t now) const;
  bool AllocateAddress(std::uint32_t* address) const;
  std::uint32_t NextSessionId();

  ServerConfig m_config;
  IServerHost* m_host;
  std::uint32_t m_nextId;
  std::map<ClientId, Client> m_clients;
  std::vector<PendingDial> m_pending;
  std::map<std::uint32_t, Session> m_sessions;
  int m_failCode = 0;
  std::uint64_t m_failTimes = 0;
  bool m_stop = false;
};

}  // namespace testbed
