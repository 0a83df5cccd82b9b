// Connection handles of the stand-in. A connection that is up is a session of the access server
// and its handle is the session id, the same in every process of the machine. A dial that failed
// still hands its caller a handle (Windows does), which lives in this process until hung up.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <ras.h>

#include <cstdint>
#include <string>

namespace rasemu {

HRASCONN SessionHandle(std::uint32_t id);
// True when the handle lies in the session-id range; the session may have ended since.
bool SessionIdOf(HRASCONN handle, std::uint32_t* id);

struct FailedDial {
  DWORD error = 0;
  std::string entry;
  std::string deviceType;
  std::string deviceName;
};

// Records a failed dial and returns its handle.
HRASCONN AddFailedDial(const FailedDial& dial);
// Looks a failed dial up; false for any other handle.
bool FindFailedDial(HRASCONN handle, FailedDial* dial);
// Forgets a failed dial; false when the handle was not one.
bool RemoveFailedDial(HRASCONN handle);

}  // namespace rasemu
