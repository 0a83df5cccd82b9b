// What the updater and the client's update check decide without a window or a network: how an
// address is split, and when an offered version counts as newer. Portable: no Windows header.
#pragma once

#include <string>

// The parts of an absolute http address that a request needs.
struct HttpAddress {
  std::string server;
  int port = 80;
  // The object path with its query, beginning with "/" ("/" when the address has none).
  std::string object;
};

// Splits "http://server[:port][/path]" (scheme in any case, blanks around it ignored). False when
// the address is not an absolute http address: another scheme (https, ftp...), no server, a port
// that is not a number from 1 to 65535, or a user name in front of the server. parts is left
// unchanged then.
bool SplitHttpAddress(const std::string& address, HttpAddress& parts);

// True when offered is a greater version than installed. Both compare as the leading decimal
// number of their text, as the standard library's atof reads it: "1.10" is 1.1, older than "1.9";
// "1.2" equals "1.20"; a text without a number counts as 0.
bool IsNewerVersion(const std::string& offered, const std::string& installed);
