// The access server on 127.0.0.1: one thread, poll(2), non-blocking sockets. POSIX only.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "testbed/access-server/AccessServer.h"

namespace testbed {

class CServerLoop : private IServerHost {
 public:
  CServerLoop(ServerConfig config, std::uint32_t firstSessionId);
  ~CServerLoop() override;
  CServerLoop(const CServerLoop&) = delete;
  CServerLoop& operator=(const CServerLoop&) = delete;

  // Binds 127.0.0.1:port (0 picks a free port). Returns false with a message in *error.
  bool Listen(int port, std::string* error);
  int Port() const { return m_port; }
  // Makes SIGTERM and SIGINT end Run (for the one loop of the program).
  void HandleSignals();
  // Serves until a STOP request, the loss of a lifeline connection, Stop() or a handled signal.
  // Returns 0.
  int Run();
  // Ends Run from any thread.
  void Stop();

  // At most this many clients at once; further connections are closed at once.
  static constexpr std::size_t kMaxClients = 256;
  // A client that leaves more than this unread is disconnected.
  static constexpr std::size_t kMaxOutput = 1 << 20;

 private:
  struct Connection {
    int fd = -1;
    std::string output;
    bool closeAfterSend = false;
  };

  void Send(ClientId client, const std::string& text) override;
  void CloseAfterSend(ClientId client) override;
  std::uint64_t MonotonicMs() override;
  std::int64_t WallSeconds() override;

  void Accept();
  void ReadFrom(ClientId client);
  void Flush(ClientId client);
  void Drop(ClientId client);

  CAccessServer m_server;
  int m_listenFd = -1;
  int m_port = 0;
  int m_wake[2] = {-1, -1};
  ClientId m_nextClient = 1;
  std::map<ClientId, Connection> m_connections;
};

}  // namespace testbed
