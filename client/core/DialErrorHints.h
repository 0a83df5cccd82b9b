// Plain words for the dial errors subscribers meet: one short hint of what to check, added after
// the system's own text on the message line, and which failures mean the line itself did not
// answer (so that the network diagnosis is worth offering). Portable: no Windows header.
#pragma once

#include <string>

// The hint for a remote-access error code (GB2312); null for a code without one.
const char* DialErrorHint(unsigned long code);

// True for the failures of the discovery stage, where no access concentrator answered the line:
// 651, 678 and 815.
bool IsDiscoveryFailure(unsigned long code);

// The message line of a failed dial with the hint of code added: line is what the dial engine
// wrote ("连接错误!" with a line break and the system's text). The hint follows the system's text
// directly, after a blank when that text ends in a Latin character. A line that is not a dial
// error's, a line that already ends in the hint, and a code without a hint give line back as it is.
std::string WithDialErrorHint(const std::string& line, unsigned long code);
