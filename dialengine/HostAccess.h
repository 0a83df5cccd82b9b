// The engine's writes into the registered host window (see HostWindow.h). Each does nothing when
// no host, no toolbar or no menu is registered; none of them fails.
#pragma once

// The main window's controls that the engine writes.
enum {
  kTextIpAddress = 1013,
  kTextConnectionName = 1014,
  kTextNetworkStatus = 1015,
  kTextMessage = 1016,
  kButtonConnect = 32781,
  kButtonDisconnect = 32782,
};
// Menu items by position: menu 0 holds dial (0) and hang up (2), menu 1 statistics (2).
enum { kMenuDial = 0, kMenuStatistics = 1 };
enum { kItemDial = 0, kItemHangUp = 2, kItemStatistics = 2 };

#include <windows.h>

// The registered main window, or null.
HWND HostMainWindow();

// Sets the text of the main window's child control; a null text writes "".
void HostSetText(int controlId, const char* text);
// Sends TB_ENABLEBUTTON for the command to the registered toolbar.
void HostEnableButton(int commandId, int enable);
// Enables, or disables and grays, an item of the main window's menu bar, both counted by position,
// and redraws the menu bar.
void HostEnableMenuItem(int menuPos, unsigned itemPos, bool enable);
