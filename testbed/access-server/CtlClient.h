// "access-server ctl": sends one control request to a running server and prints the answer.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "testbed/protocol/Protocol.h"

namespace testbed {

// args are the words after "ctl": [--port N] COMMAND [ARGS...]. Prints the lines of "list" and
// the accounts of "counts" one a line, other answers as the server gives them; errors go to err. Returns 0
// when the server accepted the request, 1 when it refused it, 2 for a usage error or no server.
int RunCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "id user address YYYY-MM-DD HH:MM:SS received N sent N PHASE" in local time; a line that never
// connected shows "-" for its address and time, and a failed or ended one its error.
std::string DescribeSession(const SessionInfo& session);

// "user: dials N, refused N (CODE xN ...), aborted N, sessions N, online|offline".
std::string DescribeCounts(const AccountCounts& counts);

}  // namespace testbed
