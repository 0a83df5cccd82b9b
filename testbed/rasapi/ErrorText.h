// Texts of remote-access errors as Simplified Chinese Windows words them, in GB2312. Portable.
#pragma once

#include <string>

namespace rasemu {

// The text for a known code (600 and 700 series of dial-up and PPPoE, and the few system codes
// that the remote-access functions return), or nullptr.
const char* KnownErrorText(unsigned code);

// KnownErrorText, or a generic text that names the code.
std::string ErrorText(unsigned code);

}  // namespace rasemu
