// Texts of remote-access errors as Simplified Chinese Windows words them, in GB2312. Portable.
#pragma once

namespace rasemu {

// The range of remote-access error codes (RASBASE to RASBASEEND).
constexpr unsigned kFirstRasError = 600;
constexpr unsigned kLastRasError = 870;

// The text of a remote-access error the stand-in knows (the dial-up and PPPoE codes of the range),
// or nullptr for any other code: the remote-access service words its own codes only.
const char* KnownErrorText(unsigned code);

}  // namespace rasemu
