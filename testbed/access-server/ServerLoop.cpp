#include "testbed/access-server/ServerLoop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <vector>

namespace testbed {

namespace {

// The write end of the wake pipe of the loop that handles signals; a handler may only write.
volatile sig_atomic_t g_signalFd = -1;

void OnSignal(int) {
  const int fd = g_signalFd;
  if (fd >= 0) {
    const char byte = 's';
    [[maybe_unused]] ssize_t ignored = write(fd, &byte, 1);
  }
}

bool SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

CServerLoop::CServerLoop(ServerConfig config, std::uint32_t firstSessionId)
    : m_server(std::move(config), this, firstSessionId) {
  if (pipe(m_wake) == 0) {
    SetNonBlocking(m_wake[0]);
    SetNonBlocking(m_wake[1]);
    fcntl(m_wake[0], F_SETFD, FD_CLOEXEC);
    fcntl(m_wake[1], F_SETFD, FD_CLOEXEC);
  }
}

CServerLoop::~CServerLoop() {
  if (g_signalFd == m_wake[1]) g_signalFd = -1;
  for (auto& entry : m_connections) close(entry.second.fd);
  if (m_listenFd >= 0) close(m_listenFd);
  for (int fd : m_wake) {
    if (fd >= 0) close(fd);
  }
}

bool CServerLoop::Listen(int port, std::string* error) {
  m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listenFd < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int yes = 1;
  setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(m_listenFd, 64) != 0 || !SetNonBlocking(m_listenFd)) {
    *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  socklen_t length = sizeof(address);
  getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
  m_port = ntohs(address.sin_port);
  return true;
}

void CServerLoop::HandleSignals() {
  g_signalFd = m_wake[1];
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void CServerLoop::Stop() {
  const char byte = 'q';
  [[maybe_unused]] ssize_t ignored = write(m_wake[1], &byte, 1);
}

int CServerLoop::Run() {
  // A subscriber that vanished must not kill the server with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<ClientId> owners;
    fds.push_back({m_wake[0], POLLIN, 0});
    fds.push_back({m_listenFd, POLLIN, 0});
    const std::size_t firstClient = fds.size();
    for (const auto& entry : m_connections) {
      short events = entry.second.closeAfterSend ? 0 : POLLIN;
      if (!entry.second.output.empty()) events |= POLLOUT;
      fds.push_back({entry.second.fd, events, 0});
      owners.push_back(entry.first);
    }
    const std::int64_t timer = m_server.MillisecondsToNextTimer();
    const int timeout = timer < 0 ? -1 : static_cast<int>(timer > 60000 ? 60000 : timer);
    if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return 1;

    if (fds[0].revents) return 0;
    for (std::size_t i = firstClient; i < fds.size(); ++i) {
      const ClientId client = owners[i - firstClient];
      if (!m_connections.count(client)) continue;
      if (fds[i].revents & POLLOUT) Flush(client);
      if (!m_connections.count(client)) continue;
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ReadFrom(client);
    }
    if (fds[1].revents & POLLIN) Accept();
    m_server.OnTimer();
    std::vector<ClientId> finished;
    for (const auto& entry : m_connections) {
      if (entry.second.closeAfterSend && entry.second.output.empty()) finished.push_back(entry.first);
    }
    for (ClientId client : finished) Drop(client);
    if (m_server.StopRequested()) {
      // Let the "OK" of STOP reach its sender before the connections go.
      for (auto& entry : m_connections) {
        if (!entry.second.output.empty()) {
          SetNonBlocking(entry.second.fd);
          [[maybe_unused]] ssize_t ignored =
              send(entry.second.fd, entry.second.output.data(), entry.second.output.size(), MSG_NOSIGNAL);
        }
      }
      return 0;
    }
  }
}

void CServerLoop::Accept() {
  for (;;) {
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (m_connections.size() >= kMaxClients) {
      close(fd);
      continue;
    }
    const ClientId client = m_nextClient++;
    m_connections[client].fd = fd;
    m_server.OnConnect(client);
  }
}

void CServerLoop::ReadFrom(ClientId client) {
  char buffer[4096];
  const ssize_t got = recv(m_connections[client].fd, buffer, sizeof(buffer), 0);
  if (got > 0) {
    m_server.OnData(client, buffer, static_cast<std::size_t>(got));
    if (m_connections.count(client)) Flush(client);
    return;
  }
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  Drop(client);
}

void CServerLoop::Flush(ClientId client) {
  Connection& connection = m_connections[client];
  while (!connection.output.empty()) {
    const ssize_t sent =
        send(connection.fd, connection.output.data(), connection.output.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
      return Drop(client);
    }
    connection.output.erase(0, static_cast<std::size_t>(sent));
  }
  if (connection.closeAfterSend) Drop(client);
}

void CServerLoop::Drop(ClientId client) {
  auto it = m_connections.find(client);
  if (it == m_connections.end()) return;
  close(it->second.fd);
  m_connections.erase(it);
  m_server.OnDisconnect(client);
}

void CServerLoop::Send(ClientId client, const std::string& text) {
  auto it = m_connections.find(client);
  if (it == m_connections.end()) return;
  it->second.output += text;
  // A subscriber that stopped reading would otherwise make the server hold everything for it.
  if (it->second.output.size() > kMaxOutput) {
    it->second.output.clear();
    it->second.closeAfterSend = true;
  }
}

void CServerLoop::CloseAfterSend(ClientId client) {
  auto it = m_connections.find(client);
  if (it != m_connections.end()) it->second.closeAfterSend = true;
}

std::uint64_t CServerLoop::MonotonicMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

std::int64_t CServerLoop::WallSeconds() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace testbed
