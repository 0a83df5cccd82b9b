// The provider's access concentrator and the machine's remote-access lines as a state machine:
// accounts, address pool, lines that walk through their dial, sessions with traffic counters,
// tear-down after a hang-up or a drop, injected failures, per-account counts, and subscribers that
// learn of every line that connects or ends. It owns no socket and no clock; CServerLoop feeds it
// bytes and time.
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
  // Line ids start at firstSessionId (clamped into the protocol's id range), so that handles left
  // over from an earlier server run rarely name a line of this one.
  CAccessServer(ServerConfig config, IServerHost* host, std::uint32_t firstSessionId);

  void OnConnect(ClientId client);
  // Bytes from the client; every complete request line gets exactly one status line in reply.
  void OnData(ClientId client, const char* data, std::size_t size);
  // The client went away: the dial it runs is hung up, the lines whose handle it held are let go,
  // its subscription ends; when it held the server's lifeline, the server stops.
  void OnDisconnect(ClientId client);
  // Completes the dials whose negotiation time has passed and ends the tear-downs that are over.
  void OnTimer();
  // Milliseconds until OnTimer has something to do; -1 when nothing waits.
  std::int64_t MillisecondsToNextTimer();
  // True after a STOP request.
  bool StopRequested() const { return m_stop; }

  // The connected lines (the provider's sessions), and every line.
  std::vector<SessionInfo> Sessions();
  std::vector<SessionInfo> Lines();
  std::size_t PendingDials() const;
  AccountCounts CountsOf(const std::string& user) const;

 private:
  enum class Phase { kDialing, kConnected, kFailed, kClosing, kHeld };

  struct Client {
    CLineBuffer input;
    bool watching = false;
    bool lifeline = false;
    std::uint32_t dialPending = 0;  // the line whose dial holds back this client's requests
    bool closing = false;
  };
  struct Line {
    SessionInfo info;  // id, user, entry and device at once; address and start once connected
    Phase phase = Phase::kDialing;
    ClientId owner = 0;  // the connection that holds the line's handle; 0 once let go
    bool hungUp = false;
    std::string password;
    std::uint64_t dialStartMs = 0;
    std::uint64_t dueMs = 0;     // when the dial completes
    std::size_t stageLimit = 0;  // the dial walks no further than this stage
    int failCode = 0;            // known when the dial starts; 0 when none
    std::string failText;
    std::uint64_t teardownMs = kDefaultTeardownMs;  // of a drop, as the dialler asked
    std::uint64_t releaseMs = 0;                    // when the tear-down is over
    std::uint32_t address = 0;
    std::uint64_t startMs = 0;
    std::uint64_t endMs = 0;  // traffic stops here once the line ended
    std::uint64_t receivedBase = 0;
    std::uint64_t sentBase = 0;
    std::uint64_t baseMs = 0;
  };

  void ProcessLines(ClientId client);
  void HandleRequest(ClientId client, const std::string& line);
  void Reply(ClientId client, const std::string& text);
  void ReplyError(ClientId client, int code, const std::string& text);
  void HandleDial(ClientId client, const std::vector<std::string_view>& words);
  void CompleteDial(std::uint32_t id);
  void FailDial(Line& line, int code, const std::string& text);
  void HandleHangUp(ClientId client, const std::vector<std::string_view>& words);
  void HangUp(Line& line, std::uint64_t teardownMs, const char* cause);
  void HandleDrop(ClientId client, std::string_view target);
  void HandleTraffic(ClientId client, const std::vector<std::string_view>& words);
  void HandleCounts(ClientId client, const std::vector<std::string_view>& words);
  void Reset();
  // A dial in progress ends unconnected: its requester gets the error, the line tears down.
  void AbortDial(Line& line, std::uint64_t teardownMs, const char* cause);
  void StartTeardown(Line& line, std::uint64_t teardownMs, std::uint32_t error);
  void ReleaseDialer(ClientId client);
  void Broadcast(const std::string& line);
  SessionInfo Snapshot(const Line& line, std::uint64_t now) const;
  std::string LineWords(std::uint64_t now) const;
  bool AllocateAddress(std::uint32_t* address) const;
  std::uint32_t NextSessionId();

  ServerConfig m_config;
  const ServerConfig m_startConfig;
  IServerHost* m_host;
  std::uint32_t m_nextId;
  std::map<ClientId, Client> m_clients;
  std::map<std::uint32_t, Line> m_lines;
  std::map<std::string, AccountCounts> m_counts;
  int m_failCode = 0;
  std::uint64_t m_failTimes = 0;
  bool m_stop = false;
};

}  // namespace testbed
