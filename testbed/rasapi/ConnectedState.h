// InternetGetConnectedState of this process, answering as Windows does: while a remote-access
// connection of the machine is up, a modem connection; otherwise whatever the installed WinINet
// says. Wine's WinINet always reports the LAN, so its export is patched in place: now when it is
// already loaded, later whenever it is loaded.
#pragma once

namespace rasemu {

// Call once, when the stand-in is loaded (it may run under the loader lock).
void InstallConnectedStatePatch();

}  // namespace rasemu
