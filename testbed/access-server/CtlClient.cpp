#include "testbed/access-server/CtlClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace testbed {

namespace {

class CSocket {
 public:
  explicit CSocket(int fd) : m_fd(fd) {}
  ~CSocket() {
    if (m_fd >= 0) close(m_fd);
  }
  CSocket(const CSocket&) = delete;
  CSocket& operator=(const CSocket&) = delete;
  int Get() const { return m_fd; }

 private:
  int m_fd;
};

}  // namespace

std::string DescribeSession(const SessionInfo& s) {
  std::string when = "-";
  if (s.start != 0) {
    const std::time_t start = static_cast<std::time_t>(s.start);
    std::tm local{};
    localtime_r(&start, &local);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    when = text;
  }
  std::string description =
      std::to_string(s.id) + " " + s.user + " " + (s.address.empty() ? "-" : s.address) + " " + when +
      " received " + std::to_string(s.bytesReceived) + " sent " + std::to_string(s.bytesSent) + " " + s.phase;
  if (s.error != 0) description += " error " + std::to_string(s.error);
  return description;
}

std::string DescribeCounts(const AccountCounts& c) {
  std::string refused = std::to_string(c.Refusals());
  if (!c.refusals.empty()) {
    refused += " (";
    for (const auto& entry : c.refusals) {
      if (refused.back() != '(') refused += " ";
      refused += std::to_string(entry.first) + " x" + std::to_string(entry.second);
    }
    refused += ")";
  }
  return c.user + ": dials " + std::to_string(c.dials) + ", refused " + refused + ", aborted " +
         std::to_string(c.aborted) + ", sessions " + std::to_string(c.sessions) + ", " +
         (c.online ? "online" : "offline");
}

int RunCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::size_t i = 0;
  std::uint64_t port = kDefaultPort;
  if (i < args.size() && args[i] == "--port") {
    if (i + 1 >= args.size() || !ParseNumber(args[i + 1], 65535, &port) || port == 0) {
      err << "access-server ctl: --port takes a number from 1 to 65535\n";
      return 2;
    }
    i += 2;
  }
  if (i >= args.size()) {
    err << "access-server ctl: no command (list, counts, drop, fail, delay, traffic, reset, stop)\n";
    return 2;
  }
  std::string request;
  for (; i < args.size(); ++i) request += (request.empty() ? "" : " ") + args[i];
  if (request.find('\n') != std::string::npos || request.size() > kMaxLineLength) {
    err << "access-server ctl: the command must be one short line\n";
    return 2;
  }

  CSocket connection(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connection.Get() < 0 ||
      connect(connection.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    err << "access-server ctl: no server on 127.0.0.1:" << port << " (" << std::strerror(errno) << ")\n";
    return 2;
  }
  timeval limit{10, 0};
  setsockopt(connection.Get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
  const std::string verb = request.substr(0, request.find(' '));
  const bool listing = verb == "list" || verb == "LIST" || verb == "counts" || verb == "COUNTS";
  request += "\n";
  if (send(connection.Get(), request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    err << "access-server ctl: the server closed the connection\n";
    return 2;
  }

  CLineBuffer input;
  std::string line;
  for (;;) {
    while (input.NextLine(&line)) {
      Status status;
      if (ParseStatus(line, &status)) {
        if (!status.ok) {
          err << "access-server ctl: error " << status.code << ": " << status.rest << "\n";
          return 1;
        }
        // "list" ends with the number of sessions it just printed; other answers say something.
        if (!status.rest.empty() && !listing) out << status.rest << "\n";
        return 0;
      }
      const std::vector<std::string_view> words = SplitWords(line);
      SessionInfo session;
      AccountCounts counts;
      if (!words.empty() && words[0] == "SESSION" && ParseSessionWords(words, 1, &session)) {
        out << DescribeSession(session) << "\n";
      } else if (!words.empty() && words[0] == "COUNT" && ParseCountWords(words, 1, &counts)) {
        out << DescribeCounts(counts) << "\n";
      } else {
        out << line << "\n";
      }
    }
    char buffer[4096];
    const ssize_t got = recv(connection.Get(), buffer, sizeof(buffer), 0);
    if (got <= 0) {
      err << "access-server ctl: no complete answer from the server\n";
      return 2;
    }
    input.Append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace testbed
