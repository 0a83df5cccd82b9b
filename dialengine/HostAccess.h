// The engine's writes into the registered host window (see HostWindow.h). Each does nothing when
// no host, no toolbar or no menu is registered; none of them fails.
#pragma once

#include "dialengine/HostControls.h"

// The main window's controls that the engine writes.
enum {
  kTextIpAddress = LINKWELL_TEXT_IP_ADDRESS,
  kTextConnectionName = LINKWELL_TEXT_CONNECTION_NAME,
  kTextNetworkStatus = LINKWELL_TEXT_NETWORK_STATUS,
  kTextMessage = LINKWELL_TEXT_MESSAGE,
  kButtonConnect = LINKWELL_BUTTON_CONNECT,
  kButtonDisconnect = LINKWELL_BUTTON_DISCONNECT,
};
enum { kMenuDial = LINKWELL_MENU_DIAL, kMenuStatistics = LINKWELL_MENU_STATISTICS };
enum {
  kItemDial = LINKWELL_ITEM_DIAL,
  kItemHangUp = LINKWELL_ITEM_HANG_UP,
  kItemStatistics = LINKWELL_ITEM_STATISTICS
};

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
