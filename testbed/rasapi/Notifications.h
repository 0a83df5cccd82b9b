// Connection notifications of the machine: a thread of this process subscribes to the access
// server and signals the events that callers registered when lines connect or end anywhere.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <ras.h>

namespace rasemu {

// The work of RasConnectionNotificationA. handle INVALID_HANDLE_VALUE stands for every
// connection: RASCN_Connection signals when any line connects, RASCN_Disconnection when any
// connected line ends. A registration for one connection signals RASCN_Disconnection when that
// line ends (a dial in progress included) and ends with it. Only what happens after the
// registration signals: a connection that has already ended (a failed dial, a line that tears
// down or is held) is accepted and never signals. Registering the same event again adds the new
// flags. Returns 0, ERROR_INVALID_PARAMETER for a null event, or ERROR_INVALID_HANDLE for a
// handle that names no line (never one, or one whose tear-down is over).
DWORD RegisterNotification(HRASCONN handle, HANDLE event, DWORD flags);

}  // namespace rasemu
