#include "testbed/access-server/ServerOptions.h"

#include <fstream>
#include <sstream>

namespace testbed {

const char kServeUsage[] =
    "usage: access-server [--port N] [--accounts FILE] [--pool FIRST-LAST] [--delay MS]\n"
    "                     [--port-file FILE]\n"
    "       access-server ctl [--port N] list | counts [USER] | drop USER|ID|all |\n"
    "                     fail CODE [TIMES] | delay MS | traffic DOWN UP | reset | stop\n";

bool ParseAccounts(const std::string& text, std::map<std::string, std::string>* accounts,
                   std::string* error) {
  accounts->clear();
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty() || words[0][0] == '#') continue;
    if (words.size() != 2) {
      *error = "accounts line " + std::to_string(number) + ": expected \"user password\"";
      return false;
    }
    if (!accounts->emplace(std::string(words[0]), std::string(words[1])).second) {
      *error = "accounts line " + std::to_string(number) + ": user listed twice";
      return false;
    }
  }
  return true;
}

bool ParsePool(std::string_view text, std::uint32_t* first, std::uint32_t* last) {
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) return false;
  std::uint32_t a = 0, b = 0;
  if (!ParseIpv4(text.substr(0, dash), &a) || !ParseIpv4(text.substr(dash + 1), &b) || a > b) return false;
  *first = a;
  *last = b;
  return true;
}

bool ParseServeArguments(const std::vector<std::string>& args, ServerOptions* options, std::string* error) {
  ServerOptions result;
  result.config.accounts = {{"demo", "demo1234"}};
  ParsePool("203.0.113.10-203.0.113.250", &result.config.poolFirst, &result.config.poolLast);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option != "--port" && option != "--accounts" && option != "--pool" && option != "--delay" &&
        option != "--port-file") {
      *error = "unknown argument \"" + option + "\"";
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = option + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    std::uint64_t number = 0;
    if (option == "--port") {
      if (!ParseNumber(value, 65535, &number)) {
        *error = "--port takes a number from 0 to 65535";
        return false;
      }
      result.port = static_cast<int>(number);
    } else if (option == "--delay") {
      if (!ParseNumber(value, 600000, &number)) {
        *error = "--delay takes milliseconds from 0 to 600000";
        return false;
      }
      result.config.delayMs = static_cast<std::uint32_t>(number);
    } else if (option == "--pool") {
      if (!ParsePool(value, &result.config.poolFirst, &result.config.poolLast)) {
        *error = "--pool takes FIRST-LAST, two IPv4 addresses in order";
        return false;
      }
    } else if (option == "--port-file") {
      result.portFile = value;
    } else {
      std::ifstream file(value, std::ios::binary);
      if (!file) {
        *error = "cannot read the accounts file \"" + value + "\"";
        return false;
      }
      std::ostringstream text;
      text << file.rdbuf();
      if (!ParseAccounts(text.str(), &result.config.accounts, error)) return false;
    }
  }
  *options = std::move(result);
  return true;
}

}  // namespace testbed
