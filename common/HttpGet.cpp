#include "common/HttpGet.h"

#include <cstdio>

bool CHttpGet::Send(const std::string& server, int port, const std::string& object) {
  Close();
  m_internet.Reset(InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!m_internet.Valid()) {
    m_error = GetLastError();
    return false;
  }
  DWORD timeout = kConnectTimeoutMs;
  InternetSetOptionA(m_internet.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
  m_connection.Reset(InternetConnectA(m_internet.Get(), server.c_str(), static_cast<INTERNET_PORT>(port),
                                      nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
  if (!m_connection.Valid()) {
    m_error = GetLastError();
    return false;
  }
  m_request.Reset(HttpOpenRequestA(m_connection.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr,
                                   kRequestFlags, 1));
  if (!m_request.Valid()) {
    m_error = GetLastError();
    return false;
  }
  if (!HttpSendRequestA(m_request.Get(), nullptr, 0, nullptr, 0)) {
    m_error = GetLastError();
    return false;
  }
  m_error = 0;
  return true;
}

std::string CHttpGet::StatusText() {
  if (!m_request.Valid()) return std::string();
  char text[32] = {};
  DWORD size = sizeof(text);
  if (!HttpQueryInfoA(m_request.Get(), HTTP_QUERY_STATUS_CODE, text, &size, nullptr)) return std::string();
  text[sizeof(text) - 1] = '\0';
  return text;
}

bool CHttpGet::CopyBodyTo(HANDLE file) {
  char block[kReadBlock];
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(m_request.Get(), block, sizeof(block), &got)) return false;
    if (got == 0) return true;
    DWORD written = 0;
    if (!WriteFile(file, block, got, &written, nullptr) || written != got) return false;
  }
}

bool CHttpGet::ReadBody(std::string& bytes, std::size_t limit) {
  bytes.clear();
  char block[kReadBlock];
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(m_request.Get(), block, sizeof(block), &got)) return false;
    if (got == 0) return true;
    if (bytes.size() + got > limit) return false;
    bytes.append(block, got);
  }
}

void CHttpGet::Close() {
  m_request.Reset();
  m_connection.Reset();
  m_internet.Reset();
}

std::string InternetErrorText(DWORD error) {
  char text[1024] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                GetModuleHandleA("wininet.dll"), error, 0, text, sizeof(text), nullptr);
  if (length == 0) {
    length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                            text, sizeof(text), nullptr);
  }
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  if (message.empty()) {
    char fallback[64];
    std::snprintf(fallback, sizeof(fallback), "网络错误 %lu", static_cast<unsigned long>(error));
    message = fallback;
  }
  return message;
}
