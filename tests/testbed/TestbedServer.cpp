#include "tests/testbed/TestbedServer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace testbed {

namespace {

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

std::string Environment(const char* name) {
  char value[1024];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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

// A connection to 127.0.0.1:port whose reads give up after ten seconds, or INVALID_SOCKET.
SOCKET Connect(int port) {
  StartWinsock();
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

}  // namespace

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return condition();
    Sleep(20);
  }
}

int UnusedPort() {
  StartWinsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  closesocket(s);
  return port;
}

bool ServerRequest(int port, const std::string& request, std::string* reply,
                   std::vector<std::string>* lines) {
  StartWinsock();
  if (reply) reply->clear();
  if (lines) lines->clear();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const DWORD timeout = 10000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  const std::string text = request + "\n";
  bool ok = false;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      send(s, text.data(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size())) {
    CLineBuffer input;
    std::string line;
    char buffer[4096];
    for (;;) {
      if (input.NextLine(&line)) {
        Status status;
        if (ParseStatus(line, &status)) {
          ok = status.ok;
          if (reply) *reply = status.rest;
          break;
        }
        if (lines) lines->push_back(line);
        continue;
      }
      const int got = recv(s, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      input.Append(buffer, static_cast<std::size_t>(got));
    }
  }
  closesocket(s);
  return ok;
}

CTestbedServer::~CTestbedServer() {
  Stop();
}

std::string CTestbedServer::FindServerBinary() {
  std::vector<std::string> candidates;
  if (!Environment("QUILLON_ACCESS_SERVER").empty())
    candidates.push_back(Environment("QUILLON_ACCESS_SERVER"));
  if (!Environment("QUILLON_HOST_BUILD_DIR").empty()) {
    candidates.push_back(Environment("QUILLON_HOST_BUILD_DIR") + "/testbed/access-server/access-server");
  }
  if (!Environment("QUILLON_SOURCE_DIR").empty()) {
    candidates.push_back(Environment("QUILLON_SOURCE_DIR") +
                         "/build/host/testbed/access-server/access-server");
  }
  for (const std::string& candidate : candidates) {
    const std::string path = candidate.size() > 1 && candidate[1] == ':' ? candidate : WindowsPath(candidate);
    if (FileExists(path)) return path;
  }
  return std::string();
}

std::string CTestbedServer::Address() const {
  return "127.0.0.1:" + std::to_string(m_port);
}

bool CTestbedServer::Start(const std::string& arguments, std::string* error) {
  std::string ignored;
  std::string& message = error ? *error : ignored;
  Stop();
  const std::string binary = FindServerBinary();
  if (binary.empty()) {
    message = "the access server was not found: build the host preset (and set QUILLON_HOST_BUILD_DIR)";
    return false;
  }
  // The server is a Linux program: its port file is named by a Unix path.
  static LONG counter = 0;
  char portFile[128];
  snprintf(portFile, sizeof(portFile), "/tmp/quillon-testbed-%lu-%ld.port", GetCurrentProcessId(),
           InterlockedIncrement(&counter));
  const std::string portFileWindows = WindowsPath(portFile);
  DeleteFileA(portFileWindows.c_str());

  // Wine gives a Linux program only standard handles that are Linux files (its pipes are not), so
  // the server inherits this process's own; its "listening" line appears in the test output.
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  std::string commandLine = "\"" + binary + "\" --port 0 --port-file " + portFile + " " + arguments;
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    message = "cannot start " + binary + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  // For a Linux program Wine hands back no usable process handle; the port file and the
  // server's answer tell that it runs.
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
  if (port <= 0 || !WaitUntil([&] { return ServerRequest(port, "PING", nullptr, nullptr); }, 5000)) {
    message = "the access server did not come up (" + commandLine + ")";
    return false;
  }
  // The server ends when this connection closes, that is when this process ends, however the
  // test went.
  m_lifeline = Connect(port);
  const char request[] = "LIFELINE\n";
  char reply[8] = {};
  if (m_lifeline == INVALID_SOCKET ||
      send(m_lifeline, request, sizeof(request) - 1, 0) != sizeof(request) - 1 ||
      recv(m_lifeline, reply, sizeof(reply) - 1, 0) < 3 || std::strncmp(reply, "OK\n", 3) != 0) {
    ServerRequest(port, "STOP", nullptr, nullptr);
    message = "the access server refused its lifeline";
    return false;
  }
  m_port = port;
  SetEnvironmentVariableA("RASEMU_SERVER", Address().c_str());
  return true;
}

void CTestbedServer::Stop() {
  if (m_port != 0) {
    ServerRequest(m_port, "STOP", nullptr, nullptr);
    const int port = m_port;
    WaitUntil([port] { return !ServerRequest(port, "PING", nullptr, nullptr); }, 3000);
  }
  if (m_lifeline != INVALID_SOCKET) closesocket(m_lifeline);
  m_lifeline = INVALID_SOCKET;
  m_port = 0;
}

bool CTestbedServer::Reset() {
  return Ctl("RESET") && Ctl("DELAY 0") && Ctl("TRAFFIC 20000 5000");
}

bool CTestbedServer::Ctl(const std::string& request, std::string* reply, std::vector<std::string>* lines) {
  return m_port != 0 && ServerRequest(m_port, request, reply, lines);
}

std::vector<SessionInfo> CTestbedServer::Lines() {
  std::vector<std::string> lines;
  std::vector<SessionInfo> result;
  if (!Ctl("LIST", nullptr, &lines)) return result;
  for (const std::string& line : lines) {
    const auto words = SplitWords(line);
    SessionInfo session;
    if (!words.empty() && words[0] == "SESSION" && ParseSessionWords(words, 1, &session))
      result.push_back(session);
  }
  return result;
}

std::vector<SessionInfo> CTestbedServer::Sessions() {
  std::vector<SessionInfo> sessions;
  for (const SessionInfo& line : Lines()) {
    if (line.phase == kPhaseConnected) sessions.push_back(line);
  }
  return sessions;
}

bool CTestbedServer::Counts(const std::string& user, AccountCounts* counts) {
  std::vector<std::string> lines;
  if (!Ctl("COUNTS " + EncodeField(user), nullptr, &lines) || lines.size() != 1) return false;
  const auto words = SplitWords(lines[0]);
  return !words.empty() && words[0] == "COUNT" && ParseCountWords(words, 1, counts);
}

AccountCounts CTestbedServer::Counts(const std::string& user) {
  AccountCounts counts;
  Counts(user, &counts);
  return counts;
}

bool CTestbedServer::WaitForCounts(const std::string& user,
                                   const std::function<bool(const AccountCounts&)>& condition,
                                   DWORD timeoutMs, AccountCounts* last) {
  AccountCounts counts;
  const bool met = WaitUntil([&] { return Counts(user, &counts) && condition(counts); }, timeoutMs);
  if (last) *last = counts;
  return met;
}

int RunProgram(const std::string& commandLine, DWORD timeoutMs, std::string* output) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return -1;
  }
  // Read while it runs, so that a chatty program never blocks on a full pipe.
  std::string text;
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD available = 0;
    if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      char buffer[4096];
      DWORD got = 0;
      if (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
      continue;
    }
    if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) {
      DWORD got = 0;
      char buffer[4096];
      while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
             ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
      }
      break;
    }
    if (GetTickCount() - start > timeoutMs) {
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 5000);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
      CloseHandle(readEnd);
      if (output) *output = text;
      return -1;
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(readEnd);
  if (output) *output = text;
  return static_cast<int>(code);
}

}  // namespace testbed
