// Connection handles of the stand-in. A line of the access server is the machine's: its handle is
// the line id, the same in every process. A process that dialled a line holds its handle through
// a connection to the server that stays open until it hangs the handle up (or ends). A dial that
// could not reach any server fails at once and its handle lives in this process only.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <ras.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testbed/rasapi/ServerLink.h"

namespace rasemu {

HRASCONN SessionHandle(std::uint32_t id);
// True when the handle lies in the line-id range; the line may have ended since.
bool SessionIdOf(HRASCONN handle, std::uint32_t* id);

// The tear-down time of this process's hang-ups and of the lines it dials (RASEMU_TEARDOWN_MS,
// default one second).
DWORD TeardownMs();

// A dial that never reached a server.
struct LocalDial {
  HRASCONN handle = nullptr;
  DWORD error = 0;
  DWORD state = 0;  // where it stopped, a RASCONNSTATE value
  std::string entry;
  std::string deviceType;
  std::string deviceName;
  bool hungUp = false;
};

// Records a failed dial and returns its handle.
HRASCONN AddLocalDial(LocalDial dial);
// Looks a local dial up; false for any other handle and for one whose tear-down is over. A
// hung-up one reports RASCS_Disconnected.
bool FindLocalDial(HRASCONN handle, LocalDial* dial);
// The local dials still listed, in the order they were made.
std::vector<LocalDial> LocalDials();
// Hangs a local dial up: it tears down for TeardownMs(). False when the handle is not one.
bool HangUpLocalDial(HRASCONN handle);

// Keeps the connection that dialled a line, so that the handle stays held until it is hung up.
void HoldHandle(std::uint32_t id, std::unique_ptr<CServerConnection> link);
// Lets the handle go: closes the connection that held it, if this process holds it.
void ReleaseHandle(std::uint32_t id);

}  // namespace rasemu
