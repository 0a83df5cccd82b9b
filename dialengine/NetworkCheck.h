// How the machine reaches the network, as the system's connected-state query answers it.
#pragma once

// 0 not connected, 1 through RAS (modem flag), 2 LAN, 3 proxy, 4 none of these flags. Writes nothing.
int ClassifyNetwork();

// The network check: lists up to 10 RAS connections and writes the IP address (1013) and connection
// name (1014) of the default entry (both empty when none is listed; unchanged when the listing
// fails), then classifies as ClassifyNetwork and writes the matching status text (1015), leaving it
// unchanged for result 4.
int CheckNetwork();
