// The stand-in's line to the access server (RASEMU_SERVER, default 127.0.0.1:3390).
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "testbed/protocol/Protocol.h"

namespace rasemu {

// One connection to the server.
class CServerConnection {
 public:
  CServerConnection() = default;
  ~CServerConnection() { Close(); }
  CServerConnection(const CServerConnection&) = delete;
  CServerConnection& operator=(const CServerConnection&) = delete;

  // Connects to the server; false when there is none (refused, bad address, no answer within
  // two seconds).
  bool Open();
  void Close();
  bool IsOpen() const { return m_socket != INVALID_SOCKET; }

  bool SendLine(const std::string& line);
  // The next line, waiting at most timeoutMs (INFINITE for no limit). False on timeout, on a
  // closed connection or on a peer that does not speak the protocol.
  bool ReadLine(std::string* line, DWORD timeoutMs);

  // Sends one request and collects the data lines up to its status line.
  bool Request(const std::string& line, DWORD timeoutMs, std::vector<std::string>* data,
               testbed::Status* status);

 private:
  SOCKET m_socket = INVALID_SOCKET;
  testbed::CLineBuffer m_input;
};

// What a query of the machine's lines found.
enum class Lookup { kFound, kAbsent, kNoServer };

// The machine's lines in the order their dials started, whatever their phase; false when no
// server answers (then there are none).
bool ListLines(std::vector<testbed::SessionInfo>* lines);
// One line by id.
Lookup FindLine(std::uint32_t id, testbed::SessionInfo* line);

}  // namespace rasemu
