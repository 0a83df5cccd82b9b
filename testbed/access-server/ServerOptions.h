// Command line and accounts file of the access server. Portable.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "testbed/access-server/AccessServer.h"

namespace testbed {

struct ServerOptions {
  ServerConfig config;
  int port = kDefaultPort;  // 0: any free port
  std::string portFile;     // when set, the port in use is written there once listening
};

// Parses the serving command line (the words after the program name). Reads the accounts file
// it names. Without --accounts the one account is demo / demo1234. Returns false with a
// message in *error for anything it does not understand.
bool ParseServeArguments(const std::vector<std::string>& args, ServerOptions* options, std::string* error);

// One "user password" a line; blank lines and lines starting with "#" are skipped. Returns false
// with the line number in *error for a line that is not exactly two words, or a user listed twice.
bool ParseAccounts(const std::string& text, std::map<std::string, std::string>* accounts, std::string* error);

// "FIRST-LAST", two dotted IPv4 addresses with FIRST <= LAST.
bool ParsePool(std::string_view text, std::uint32_t* first, std::uint32_t* last);

extern const char kServeUsage[];

}  // namespace testbed
