#include "testbed/rasapi/ServerLink.h"

#include <mutex>

namespace rasemu {

namespace {

constexpr DWORD kQueryTimeoutMs = 10000;

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

// RASEMU_SERVER is "address:port" with a dotted IPv4 address (or "localhost").
bool ServerAddress(sockaddr_in* address) {
  char value[128];
  const DWORD length = GetEnvironmentVariableA("RASEMU_SERVER", value, sizeof(value));
  std::string text = length > 0 && length < sizeof(value) ? value : "127.0.0.1:3390";
  const std::size_t colon = text.rfind(':');
  std::uint32_t host = 0;
  std::uint64_t port = 0;
  if (colon == std::string::npos || !testbed::ParseNumber(text.substr(colon + 1), 65535, &port) ||
      port == 0) {
    return false;
  }
  const std::string name = text.substr(0, colon);
  if (name == "localhost") {
    host = 0x7f000001u;
  } else if (!testbed::ParseIpv4(name, &host)) {
    return false;
  }
  *address = sockaddr_in();
  address->sin_family = AF_INET;
  address->sin_port = htons(static_cast<u_short>(port));
  address->sin_addr.s_addr = htonl(host);
  return true;
}

}  // namespace

bool CServerConnection::Open() {
  Close();
  StartWinsock();
  sockaddr_in address;
  if (!ServerAddress(&address)) return false;
  m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (m_socket == INVALID_SOCKET) return false;
  // Connect without blocking, so that an address that swallows packets costs two seconds, not
  // the system's long connect timeout.
  u_long nonBlocking = 1;
  ioctlsocket(m_socket, FIONBIO, &nonBlocking);
  if (connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      Close();
      return false;
    }
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(m_socket, &writable);
    FD_SET(m_socket, &failed);
    timeval limit = {2, 0};
    if (select(0, nullptr, &writable, &failed, &limit) != 1 || !FD_ISSET(m_socket, &writable)) {
      Close();
      return false;
    }
  }
  nonBlocking = 0;
  ioctlsocket(m_socket, FIONBIO, &nonBlocking);
  const BOOL noDelay = TRUE;
  setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof(noDelay));
  m_input = testbed::CLineBuffer();
  return true;
}

void CServerConnection::Close() {
  if (m_socket != INVALID_SOCKET) closesocket(m_socket);
  m_socket = INVALID_SOCKET;
}

bool CServerConnection::SendLine(const std::string& line) {
  if (m_socket == INVALID_SOCKET) return false;
  const std::string text = line + "\n";
  std::size_t sent = 0;
  while (sent < text.size()) {
    const int n = send(m_socket, text.data() + sent, static_cast<int>(text.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool CServerConnection::ReadLine(std::string* line, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (m_input.NextLine(line)) return true;
    if (m_input.Overflowed() || m_socket == INVALID_SOCKET) return false;
    DWORD wait = 0;
    if (timeoutMs != INFINITE) {
      const DWORD spent = GetTickCount() - start;
      if (spent >= timeoutMs) return false;
      wait = timeoutMs - spent;
    }
    // SO_RCVTIMEO of 0 means no limit.
    setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof(wait));
    char buffer[4096];
    const int got = recv(m_socket, buffer, sizeof(buffer), 0);
    if (got <= 0) return false;
    m_input.Append(buffer, static_cast<std::size_t>(got));
  }
}

bool CServerConnection::Request(const std::string& line, DWORD timeoutMs, std::vector<std::string>* data,
                                testbed::Status* status) {
  if (!SendLine(line)) return false;
  std::string reply;
  while (ReadLine(&reply, timeoutMs)) {
    if (testbed::IsStatusLine(reply)) return testbed::ParseStatus(reply, status);
    if (data) data->push_back(reply);
  }
  return false;
}

bool ListLines(std::vector<testbed::SessionInfo>* sessions) {
  sessions->clear();
  CServerConnection server;
  std::vector<std::string> lines;
  testbed::Status status;
  if (!server.Open() || !server.Request("LIST", kQueryTimeoutMs, &lines, &status) || !status.ok) return false;
  for (const std::string& line : lines) {
    const auto words = testbed::SplitWords(line);
    testbed::SessionInfo session;
    if (!words.empty() && words[0] == "SESSION" && testbed::ParseSessionWords(words, 1, &session)) {
      sessions->push_back(session);
    }
  }
  return true;
}

Lookup FindLine(std::uint32_t id, testbed::SessionInfo* session) {
  CServerConnection server;
  std::vector<std::string> lines;
  testbed::Status status;
  if (!server.Open() || !server.Request("STAT " + std::to_string(id), kQueryTimeoutMs, &lines, &status)) {
    return Lookup::kNoServer;
  }
  if (!status.ok) return Lookup::kAbsent;
  for (const std::string& line : lines) {
    const auto words = testbed::SplitWords(line);
    if (!words.empty() && words[0] == "SESSION" && testbed::ParseSessionWords(words, 1, session)) {
      return Lookup::kFound;
    }
  }
  return Lookup::kAbsent;
}

}  // namespace rasemu
