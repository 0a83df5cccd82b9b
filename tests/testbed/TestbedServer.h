// Helpers for test programs that need the testbed: start the native access server on a free
// port, send it control requests, run other programs and wait for conditions. Windows (Wine)
// only; link the static library testbed_support.
//
//   testbed::CTestbedServer server;
//   std::string error;
//   if (testbed::CTestbedServer::FindServerBinary().empty()) GTEST_SKIP() << "no access server";
//   ASSERT_TRUE(server.Start("", &error)) << error;       // sets RASEMU_SERVER for this process
//   server.Ctl("FAIL 678");                               // the next dial fails with 678
//   server.Ctl("DROP all");                               // every connected line drops
//   server.WaitForCounts("demo", [](const testbed::AccountCounts& c) { return c.dials == 3; },
//                        30000);                          // demo dialled three times
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "testbed/protocol/Protocol.h"

namespace testbed {

class CTestbedServer {
 public:
  CTestbedServer() = default;
  // Stops the server if it runs.
  ~CTestbedServer();
  CTestbedServer(const CTestbedServer&) = delete;
  CTestbedServer& operator=(const CTestbedServer&) = delete;

  // The server program in its Windows form (Z:\...), or empty when it was not built. Looked for
  // at $QUILLON_ACCESS_SERVER, $QUILLON_HOST_BUILD_DIR/testbed/access-server/access-server and
  // $QUILLON_SOURCE_DIR/build/host/testbed/access-server/access-server (Unix paths).
  static std::string FindServerBinary();

  // Starts the server on a free port of 127.0.0.1 with extra arguments (such as
  // "--accounts /tmp/accounts --delay 100"; Unix paths), waits until it answers, and sets
  // RASEMU_SERVER of this process (and so of the programs it starts) to it. The server also
  // ends when this process ends (it holds the server's lifeline connection). Returns false with
  // a message in *error.
  bool Start(const std::string& arguments = "", std::string* error = nullptr);
  // Stops the server and waits until its port is closed.
  void Stop();
  bool Running() const { return m_port != 0; }
  int Port() const { return m_port; }
  // "127.0.0.1:PORT", the value of RASEMU_SERVER.
  std::string Address() const;

  // Sends one request ("DROP all", "FAIL 678 2", "DELAY 500", "TRAFFIC 100000 20000", "LIST"...)
  // and returns true when the server accepted it. *reply gets what follows OK or the error text,
  // *lines the data lines before the status.
  bool Ctl(const std::string& request, std::string* reply = nullptr,
           std::vector<std::string>* lines = nullptr);
  // Back to a quiet machine between cases: no line at all (none dialling or tearing down either),
  // no count, no injected failure, no negotiation delay, the default traffic. False when the
  // server refused any of it.
  bool Reset();
  // The connected lines of the server, that is the provider's sessions (empty when it does not
  // answer).
  std::vector<SessionInfo> Sessions();
  // Every line of the machine, whatever its phase (dialing, connected, failed, closing, held).
  std::vector<SessionInfo> Lines();

  // What the server counted for the account since it started or was reset: dials, refusals by
  // code, aborted dials, sessions, and whether it is online now. *counts is all zero for an
  // account that never dialled. False when the server does not answer.
  bool Counts(const std::string& user, AccountCounts* counts);
  AccountCounts Counts(const std::string& user);
  // Waits until the account's counts meet the condition, or timeoutMs passed; returns whether they
  // did. *last gets the counts last read. The counts only grow (but for online), so a condition
  // such as "three dials" cannot be missed between two reads.
  bool WaitForCounts(const std::string& user, const std::function<bool(const AccountCounts&)>& condition,
                     DWORD timeoutMs, AccountCounts* last = nullptr);

 private:
  int m_port = 0;
  SOCKET m_lifeline = INVALID_SOCKET;  // the server ends when it closes
};

// Sends one request to the server at 127.0.0.1:port; as CTestbedServer::Ctl.
bool ServerRequest(int port, const std::string& request, std::string* reply, std::vector<std::string>* lines);

// Runs a command line and waits at most timeoutMs for it to end. Returns its exit code, or -1
// when it could not start or did not end in time (it is then terminated). *output gets what it
// wrote to standard output and standard error.
int RunProgram(const std::string& commandLine, DWORD timeoutMs, std::string* output = nullptr);

// The folder of the running program, with a trailing backslash.
std::string ProgramFolder();

// The Windows form of a Unix path (Z:\...).
std::string WindowsPath(const std::string& unixPath);

// Checks condition every 20 ms until it holds or timeoutMs passed; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// A port of 127.0.0.1 that nothing listens on (free when asked).
int UnusedPort();

}  // namespace testbed
