// "access-server ctl": sends one control request to a running server and prints the answer.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "testbed/protocol/Protocol.h"

namespace testbed {

// args are the words after "ctl": [--port N] COMMAND [ARGS...]. Prints the sessions of "list"
// one a line, other answers as the server gives them; errors go to err. Returns 0 when the
// server accepted the request, 1 when it refused it, 2 for a usage error or no server.
int RunCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "id user address YYYY-MM-DD HH:MM:SS received N sent N" in local time.
std::string DescribeSession(const SessionInfo& session);

}  // namespace testbed
