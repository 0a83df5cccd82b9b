// update-server: the provider's update server of the testbed, an HTTP/1.1 server on 127.0.0.1
// that serves the files of one folder, for the updater and the client's update check.
//
//   update-server --root DIR [--port N] [--port-file FILE]
//
// GET /some/path answers the file DIR/some/path (200), or 404 when there is none. Every such
// request is logged first. Control requests, all GET:
//   /-/log                 the logged paths, one a line, in the order they came
//   /-/answer/CODE/PATH    from now on PATH is answered with status CODE and a short body
//   /-/hold/PATH           from now on a request for PATH is logged, then waits for a release
//   /-/release             lets every waiting request go on (the hold stays)
//   /-/unhold              ends the hold and lets every waiting request go on
//   /-/lifeline            kept open by the test; the server ends when it closes
//   /-/stop                ends the server
// Every answer closes its connection. The server also ends on SIGTERM or SIGINT.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string g_root;
std::mutex g_lock;
std::condition_variable g_released;
std::vector<std::string> g_log;
std::map<std::string, int> g_answers;
std::string g_held;
unsigned long g_generation = 0;

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

const char* Reason(int code) {
  switch (code) {
    case 200:
      return "OK";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

void Answer(int fd, int code, const std::string& body) {
  std::ostringstream head;
  head << "HTTP/1.1 " << code << " " << Reason(code) << "\r\n"
       << "Content-Type: application/octet-stream\r\n"
       << "Content-Length: " << body.size() << "\r\n"
       << "Connection: close\r\n\r\n";
  SendAll(fd, head.str() + body);
}

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream content;
  content << file.rdbuf();
  bytes = content.str();
  return true;
}

void Serve(int fd) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  std::istringstream line(request.substr(0, request.find("\r\n")));
  std::string method, path;
  line >> method >> path;
  if (method != "GET" || path.empty() || path[0] != '/') {
    Answer(fd, 400, "bad request\n");
    return;
  }

  if (path == "/-/log") {
    std::string text;
    {
      std::lock_guard<std::mutex> guard(g_lock);
      for (const std::string& logged : g_log) text += logged + "\n";
    }
    Answer(fd, 200, text);
  } else if (path.compare(0, 10, "/-/answer/") == 0) {
    const std::size_t slash = path.find('/', 10);
    const int code = std::atoi(path.substr(10, slash - 10).c_str());
    if (slash == std::string::npos || code < 100 || code > 599) {
      Answer(fd, 400, "bad answer\n");
      return;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    g_answers[path.substr(slash)] = code;
    Answer(fd, 200, "");
  } else if (path.compare(0, 8, "/-/hold/") == 0) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_held = path.substr(7);
    Answer(fd, 200, "");
  } else if (path == "/-/release" || path == "/-/unhold") {
    {
      std::lock_guard<std::mutex> guard(g_lock);
      ++g_generation;
      if (path == "/-/unhold") g_held.clear();
    }
    g_released.notify_all();
    Answer(fd, 200, "");
  } else if (path == "/-/lifeline") {
    SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    while (recv(fd, buffer, sizeof(buffer), 0) > 0) {
    }
    std::printf("update-server: lifeline closed\n");
    std::fflush(stdout);
    _exit(0);
  } else if (path == "/-/stop") {
    Answer(fd, 200, "");
    _exit(0);
  } else {
    int code = 0;
    {
      std::unique_lock<std::mutex> guard(g_lock);
      g_log.push_back(path);
      const auto answer = g_answers.find(path);
      if (answer != g_answers.end()) code = answer->second;
      if (!g_held.empty() && g_held == path) {
        const unsigned long generation = g_generation;
        g_released.wait(guard, [generation] { return g_generation != generation; });
      }
    }
    std::string body;
    if (code != 0) {
      Answer(fd, code, "status " + std::to_string(code) + "\n");
    } else if (path.find("..") == std::string::npos && ReadFile(g_root + path, body)) {
      Answer(fd, 200, body);
    } else {
      Answer(fd, 404, "not found\n");
    }
  }
}

bool WritePortFile(const std::string& path, int port) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::trunc);
    if (!(file << port << "\n")) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  std::string portFile;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--root") {
      g_root = argv[i + 1];
    } else if (option == "--port") {
      port = std::atoi(argv[i + 1]);
    } else if (option == "--port-file") {
      portFile = argv[i + 1];
    } else {
      std::fprintf(stderr, "update-server: unknown option %s\n", option.c_str());
      return 2;
    }
  }
  if (g_root.empty()) {
    std::fprintf(stderr, "usage: update-server --root DIR [--port N] [--port-file FILE]\n");
    return 2;
  }
  while (g_root.size() > 1 && g_root.back() == '/') g_root.pop_back();

  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, 64) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("update-server: listen");
    return 1;
  }
  port = ntohs(address.sin_port);
  if (!portFile.empty() && !WritePortFile(portFile, port)) {
    std::fprintf(stderr, "update-server: cannot write the port file %s\n", portFile.c_str());
    return 1;
  }
  std::printf("update-server: serving %s on 127.0.0.1:%d\n", g_root.c_str(), port);
  std::fflush(stdout);
  for (;;) {
    const int fd = accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    std::thread([fd] {
      Serve(fd);
      shutdown(fd, SHUT_WR);
      close(fd);
    }).detach();
  }
}
