// The client's own questions to the remote-access service and the IP helper: which connection is
// the default entry's, its address, its traffic counters, and the link speed.
#pragma once

#include <windows.h>

#include <ras.h>

#include <cstdint>
#include <string>
#include <vector>

// True when the connection's entry name is exactly the default entry's, byte for byte.
bool IsDefaultEntry(const RASCONNA& connection);

// The active connections, with room for capacity of them; empty when the listing fails or there
// is none.
std::vector<RASCONNA> ListConnections(DWORD capacity);

// The first active connection of the default entry among up to 10 listed ones, whatever its
// state (it may still be dialling, or tearing down); null when none.
HRASCONN FindDefaultEntryConnection();
// The first connection of the default entry that is connected (RASCS_Connected); null when none.
HRASCONN FindConnectedDefaultEntry();

// Waits, up to timeoutMs, until no connection of the default entry is listed in any state but
// connected: a dial of the entry while one is still dialling, failed or tearing down would be
// refused (756, 602, 633). True when the entry is clear.
bool WaitForDefaultEntryToClear(DWORD timeoutMs);
// Hangs up every listed connection of the default entry that is not connected (a dial in progress
// or a failed one), so that a dial blocked in it returns. The number hung up.
int AbortDefaultEntryDials();
// Hangs up a connection and waits, up to timeoutMs, until its handle is no longer valid (the
// tear-down has ended). False when the wait ran out.
bool HangUpAndWait(HRASCONN connection, DWORD timeoutMs);

// The IP address of a connection's PPP IP projection; empty when it cannot be read.
std::string ConnectionIpAddress(HRASCONN connection);

// The IP address of the default entry's connection; empty when there is none.
std::string DefaultEntryIpText();

// Reads the 32-bit byte counters of a connection (as the subscriber sees them); false when the
// statistics cannot be read.
bool ReadConnectionStatistics(HRASCONN connection, uint32_t* sent, uint32_t* received);

// True while the system reports the connection connected; false once its handle is no longer
// valid, or when its state cannot be read.
bool IsConnectionUp(HRASCONN connection);

// The speed of the first row of the interface table, "%ldMbps"; empty when the table cannot be read.
std::string LinkSpeedText();
