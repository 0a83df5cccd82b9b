// Connection notifications of the machine: a thread of this process subscribes to the access
// server and signals the events that callers registered when sessions start or end anywhere.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <ras.h>

namespace rasemu {

// The work of RasConnectionNotificationA. handle INVALID_HANDLE_VALUE stands for every
// connection. A registration for every connection stays in force; one for a given connection
// ends when that connection ends. Registering the same event again adds the new flags.
// A connection that already ended (or a failed dial's handle) signals a disconnection
// registration at once. Returns 0, ERROR_INVALID_PARAMETER for a null event, or
// ERROR_INVALID_HANDLE for a handle that was never a connection.
DWORD RegisterNotification(HRASCONN handle, HANDLE event, DWORD flags);

}  // namespace rasemu
