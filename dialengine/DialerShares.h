// The manager's copies share one dialer (a copy takes the dialer pointer as it is). The module
// counts the managers that hold each dialer, so that the last one to let go destroys it and no copy
// is ever left with a destroyed dialer.
#pragma once

class CDial;

// Starts the count of a new dialer at one holder; null does nothing.
void AdoptDialer(CDial* dialer);
// One more holder; null does nothing.
void ShareDialer(CDial* dialer);
// One holder less; the last one destroys the dialer. Null does nothing.
void ReleaseDialer(CDial* dialer);
