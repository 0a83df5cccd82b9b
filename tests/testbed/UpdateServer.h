// The testbed's update server (testbed/update-server), started from a test under Wine: it serves
// the files of a Unix folder over HTTP on 127.0.0.1, logs every request, and can hold a request or
// answer a path with another status. Link testbed_support.
//
//   testbed::CUpdateServer server;
//   ASSERT_TRUE(server.Start(rootFolder, &error)) << error;
//   config: "URL=" + server.Url("/case1/UpdateList.ini")
//   server.WaitForRequests("/case1/UpdateList.ini", 1, 10000);
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <string>
#include <vector>

namespace testbed {

class CUpdateServer {
 public:
  CUpdateServer() = default;
  // Stops the server.
  ~CUpdateServer();
  CUpdateServer(const CUpdateServer&) = delete;
  CUpdateServer& operator=(const CUpdateServer&) = delete;

  // The server program in its Windows form, or empty when it was not built (looked for beside the
  // access server: $QUILLON_HOST_BUILD_DIR/testbed/update-server/update-server and
  // $QUILLON_SOURCE_DIR/build/host/...).
  static std::string FindServerBinary();

  // Serves rootFolder (a Unix path) on a free port of 127.0.0.1 until Stop or the end of this
  // process. False with a message in *error.
  bool Start(const std::string& rootFolder, std::string* error = nullptr);
  void Stop();
  int Port() const { return m_port; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;

  // The paths requested so far, in order (control requests not counted).
  std::vector<std::string> Log();
  // How often path was requested.
  int Requests(const std::string& path);
  // Waits until path was requested at least count times; false after the timeout.
  bool WaitForRequests(const std::string& path, int count, DWORD timeoutMs);
  // From now on path is answered with that status code.
  bool Answer(const std::string& path, int code);
  // From now on a request for path waits (after it is logged) until Release or Unhold.
  bool Hold(const std::string& path);
  bool Release();
  bool Unhold();

 private:
  // A control request; the body of the answer goes to *body.
  bool Control(const std::string& path, std::string* body = nullptr);

  int m_port = 0;
  SOCKET m_lifeline = INVALID_SOCKET;
};

}  // namespace testbed
