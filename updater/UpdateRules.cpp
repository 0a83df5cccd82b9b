#include "updater/UpdateRules.h"

#include <cstdlib>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SplitHttpAddress(const std::string& address, HttpAddress& parts) {
  std::size_t begin = 0, end = address.size();
  while (begin < end && IsBlank(address[begin])) ++begin;
  while (end > begin && IsBlank(address[end - 1])) --end;
  const std::string text = address.substr(begin, end - begin);

  static const char kScheme[] = "http://";
  const std::size_t schemeLength = sizeof(kScheme) - 1;
  if (text.size() <= schemeLength) return false;
  for (std::size_t i = 0; i < schemeLength; ++i) {
    if (Lower(text[i]) != kScheme[i]) return false;
  }
  std::size_t hostEnd = text.find_first_of("/?#", schemeLength);
  if (hostEnd == std::string::npos) hostEnd = text.size();
  std::string host = text.substr(schemeLength, hostEnd - schemeLength);
  if (host.find('@') != std::string::npos) return false;

  int port = 80;
  const std::size_t colon = host.find(':');
  if (colon != std::string::npos) {
    const std::string digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    port = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return false;
    host.resize(colon);
  }
  if (host.empty()) return false;

  std::string object = text.substr(hostEnd);
  const std::size_t fragment = object.find('#');
  if (fragment != std::string::npos) object.resize(fragment);
  if (object.empty() || object[0] != '/') object.insert(0, "/");

  parts.server = host;
  parts.port = port;
  parts.object = object;
  return true;
}

bool IsNewerVersion(const std::string& offered, const std::string& installed) {
  return std::atof(offered.c_str()) > std::atof(installed.c_str());
}
