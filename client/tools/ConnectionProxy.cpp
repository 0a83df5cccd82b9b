#include "client/tools/ConnectionProxy.h"

#include <wininet.h>

#include <cstring>
#include <memory>
#include <new>

#include "client/core/AppTexts.h"

namespace {

// Sets the options for the connection, then tells WinINet that its settings changed, whatever the
// first call gave. Returns the first call's result.
int SetPerConnectionOptions(const char* connection, INTERNET_PER_CONN_OPTIONA* options, DWORD count) {
  INTERNET_PER_CONN_OPTION_LISTA list;
  std::memset(&list, 0, sizeof(list));
  list.dwSize = sizeof(list);
  list.pszConnection = const_cast<char*>(connection);
  list.dwOptionCount = count;
  list.pOptions = options;
  const BOOL set = InternetSetOptionA(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof(list));
  InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
  InternetSetOptionA(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
  return set ? 1 : 0;
}

}  // namespace

std::string QueryGlobalProxy(HWND owner) {
  char buffer[4096];
  std::memset(buffer, 0, sizeof(buffer));
  DWORD size = sizeof(buffer);
  if (!InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, buffer, &size)) {
    MessageBoxA(owner, "查询IE的代理失败!", app::kNotice, MB_OK | MB_ICONINFORMATION);
    return std::string();
  }
  const INTERNET_PROXY_INFO* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer);
  const char* proxy = reinterpret_cast<const char*>(info->lpszProxy);
  if (proxy == nullptr) return std::string();
  // The text lies inside the buffer; it is never read past the buffer's end.
  const char* end = buffer + sizeof(buffer);
  if (proxy < buffer || proxy >= end) return std::string();
  return std::string(proxy, strnlen(proxy, static_cast<size_t>(end - proxy)));
}

int DisableConnectionProxy(const char* connection) {
  std::unique_ptr<INTERNET_PER_CONN_OPTIONA[]> options(new (std::nothrow) INTERNET_PER_CONN_OPTIONA[1]);
  if (!options) {
    OutputDebugStringA("failed to allocat memory in DisableConnectionProxy()");
    return 0;
  }
  std::memset(options.get(), 0, sizeof(INTERNET_PER_CONN_OPTIONA));
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[0].Value.dwValue = PROXY_TYPE_DIRECT;
  return SetPerConnectionOptions(connection, options.get(), 1);
}

int SetConnectionProxy(const char* connection, const char* proxy) {
  std::unique_ptr<INTERNET_PER_CONN_OPTIONA[]> options(new (std::nothrow) INTERNET_PER_CONN_OPTIONA[3]);
  if (!options) {
    OutputDebugStringA("没有分配相关的内存!");
    return 0;
  }
  std::memset(options.get(), 0, 3 * sizeof(INTERNET_PER_CONN_OPTIONA));
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[0].Value.dwValue = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[1].Value.pszValue = const_cast<char*>(proxy);
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[2].Value.pszValue = const_cast<char*>("local");
  return SetPerConnectionOptions(connection, options.get(), 3);
}
