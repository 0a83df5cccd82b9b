#include "tests/testbed/UpdateServer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "tests/testbed/TestbedServer.h"

namespace testbed {

namespace {

std::string Environment(const char* name) {
  char value[1024];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

SOCKET Connect(int port) {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const DWORD timeout = 10000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

// One GET; true for a 200 answer, whose body goes to *body.
bool Get(int port, const std::string& path, std::string* body) {
  SOCKET s = Connect(port);
  if (s == INVALID_SOCKET) return false;
  const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  std::string reply;
  if (send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size())) {
    char buffer[4096];
    for (int got; (got = recv(s, buffer, sizeof(buffer), 0)) > 0;) reply.append(buffer, got);
  }
  closesocket(s);
  const std::size_t end = reply.find("\r\n\r\n");
  if (reply.compare(0, 12, "HTTP/1.1 200") != 0 || end == std::string::npos) return false;
  if (body) *body = reply.substr(end + 4);
  return true;
}

std::string ReadSmallFile(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  char buffer[64] = {};
  DWORD got = 0;
  ReadFile(file, buffer, sizeof(buffer) - 1, &got, nullptr);
  CloseHandle(file);
  return std::string(buffer, got);
}

}  // namespace

CUpdateServer::~CUpdateServer() {
  Stop();
}

std::string CUpdateServer::FindServerBinary() {
  std::vector<std::string> candidates;
  if (!Environment("QUILLON_HOST_BUILD_DIR").empty()) {
    candidates.push_back(Environment("QUILLON_HOST_BUILD_DIR") + "/testbed/update-server/update-server");
  }
  if (!Environment("QUILLON_SOURCE_DIR").empty()) {
    candidates.push_back(Environment("QUILLON_SOURCE_DIR") +
                         "/build/host/testbed/update-server/update-server");
  }
  for (const std::string& candidate : candidates) {
    if (FileExists(WindowsPath(candidate))) return WindowsPath(candidate);
  }
  return std::string();
}

bool CUpdateServer::Start(const std::string& rootFolder, std::string* error) {
  std::string ignored;
  std::string& message = error ? *error : ignored;
  Stop();
  const std::string binary = FindServerBinary();
  if (binary.empty()) {
    message = "the update server was not found: build the host preset (and set QUILLON_HOST_BUILD_DIR)";
    return false;
  }
  static LONG counter = 0;
  char portFile[128];
  snprintf(portFile, sizeof(portFile), "/tmp/quillon-update-%lu-%ld.port", GetCurrentProcessId(),
           InterlockedIncrement(&counter));
  const std::string portFileWindows = WindowsPath(portFile);
  DeleteFileA(portFileWindows.c_str());

  // A Linux program started by Wine: it gets this process's standard handles, and no usable
  // process handle comes back; the port file and its answer tell that it runs.
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  std::string commandLine = "\"" + binary + "\" --root " + rootFolder + " --port-file " + portFile;
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    message = "cannot start " + binary + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);

  int port = 0;
  WaitUntil(
      [&] {
        port = std::atoi(ReadSmallFile(portFileWindows).c_str());
        return port > 0;
      },
      10000);
  DeleteFileA(portFileWindows.c_str());
  if (port <= 0 || !WaitUntil([&] { return Get(port, "/-/log", nullptr); }, 5000)) {
    message = "the update server did not come up (" + commandLine + ")";
    return false;
  }
  // The server ends when this connection closes, that is when this process ends at the latest.
  m_lifeline = Connect(port);
  const std::string request = "GET /-/lifeline HTTP/1.0\r\n\r\n";
  char reply[16] = {};
  if (m_lifeline == INVALID_SOCKET ||
      send(m_lifeline, request.data(), static_cast<int>(request.size()), 0) !=
          static_cast<int>(request.size()) ||
      recv(m_lifeline, reply, sizeof(reply) - 1, 0) < 12 || std::strncmp(reply, "HTTP/1.1 200", 12) != 0) {
    Get(port, "/-/stop", nullptr);
    message = "the update server refused its lifeline";
    return false;
  }
  m_port = port;
  return true;
}

void CUpdateServer::Stop() {
  if (m_port != 0) {
    Get(m_port, "/-/stop", nullptr);
    const int port = m_port;
    WaitUntil([port] { return !Get(port, "/-/log", nullptr); }, 3000);
  }
  if (m_lifeline != INVALID_SOCKET) closesocket(m_lifeline);
  m_lifeline = INVALID_SOCKET;
  m_port = 0;
}

std::string CUpdateServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

bool CUpdateServer::Control(const std::string& path, std::string* body) {
  return m_port != 0 && Get(m_port, path, body);
}

std::vector<std::string> CUpdateServer::Log() {
  std::string text;
  std::vector<std::string> paths;
  if (!Control("/-/log", &text)) return paths;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    paths.push_back(text.substr(start, end - start));
  }
  return paths;
}

int CUpdateServer::Requests(const std::string& path) {
  int count = 0;
  for (const std::string& logged : Log()) count += logged == path ? 1 : 0;
  return count;
}

bool CUpdateServer::WaitForRequests(const std::string& path, int count, DWORD timeoutMs) {
  return WaitUntil([&] { return Requests(path) >= count; }, timeoutMs);
}

bool CUpdateServer::Answer(const std::string& path, int code) {
  return Control("/-/answer/" + std::to_string(code) + path);
}

bool CUpdateServer::Hold(const std::string& path) {
  return Control("/-/hold" + path);
}

bool CUpdateServer::Release() {
  return Control("/-/release");
}

bool CUpdateServer::Unhold() {
  return Control("/-/unhold");
}

}  // namespace testbed
