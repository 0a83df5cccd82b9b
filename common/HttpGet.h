// One HTTP GET through WinINet, made the way the client's update check and the updater make
// theirs: the system's preconfigured access (the user's proxy settings), a connect time-out of
// five seconds, a request for an object path that keeps an existing connection, does not follow
// redirections and is kept in the cache as a file; the body is read in blocks of 2048 bytes.
#pragma once

#include <windows.h>

#include <wininet.h>

#include <string>

#include "common/Handles.h"

namespace ui {
struct InternetTraits {
  static HINTERNET Invalid() { return nullptr; }
  static void Free(HINTERNET h) { InternetCloseHandle(h); }
};
// An Internet, connection or request handle.
using CInternetHandle = CUnique<HINTERNET, InternetTraits>;
}  // namespace ui

class CHttpGet {
 public:
  // The flags of the request: an existing connection, no automatic redirection, a cache file.
  static constexpr DWORD kRequestFlags =
      INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NEED_FILE;
  static constexpr DWORD kConnectTimeoutMs = 5000;
  static constexpr DWORD kReadBlock = 2048;

  CHttpGet() = default;
  CHttpGet(const CHttpGet&) = delete;
  CHttpGet& operator=(const CHttpGet&) = delete;

  // Opens the Internet, connects to server:port and sends the GET for object. False when any step
  // fails; Error() then tells the WinINet (or system) error code. A failure to open the handles
  // counts as a failure to send.
  bool Send(const std::string& server, int port, const std::string& object);
  DWORD Error() const { return m_error; }
  // The status code of the response as the server wrote it ("200", "404"); empty before a send.
  std::string StatusText();
  // Copies the whole body into an open file. False when a read or a write fails.
  bool CopyBodyTo(HANDLE file);
  // Reads the body into bytes, at most limit bytes. False when a read fails or the body is
  // longer.
  bool ReadBody(std::string& bytes, std::size_t limit);
  // Closes the request and the connection, then the Internet handle.
  void Close();

 private:
  ui::CInternetHandle m_internet;
  ui::CInternetHandle m_connection;
  ui::CInternetHandle m_request;
  DWORD m_error = 0;
};

// The system's text for a WinINet error code, without its line end; "网络错误 <code>" when the
// system has none.
std::string InternetErrorText(DWORD error);
