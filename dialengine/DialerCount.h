// How many dialer objects are alive in this module. The manager replaces and destroys dialers; the
// count lets a check see that none is left behind.
#pragma once

int LiveDialerCount();
