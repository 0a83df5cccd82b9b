// The proxy server of a connection, kept in the system's Internet settings (WinINet
// per-connection options), and the process-wide proxy the system reports.
#pragma once

#include <windows.h>

#include <string>

// The proxy-server string of the process-wide proxy settings; empty when there is none. When the
// system cannot be asked, shows "查询IE的代理失败!" over owner and returns an empty string.
std::string QueryGlobalProxy(HWND owner);

// Sets the named connection to direct access (one option: the flags, PROXY_TYPE_DIRECT). Nonzero
// on success.
int DisableConnectionProxy(const char* connection);

// Sets the named connection to go through proxy ("address:port"), with "local" as the bypass
// list (three options: flags direct or proxy, the server, the bypass). Nonzero on success.
int SetConnectionProxy(const char* connection, const char* proxy);
