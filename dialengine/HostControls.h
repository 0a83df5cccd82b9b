/* The main window's controls that the dial engine writes: the static texts, the toolbar commands
   and the menu items by position. The engine, the client's resource script and the client's window
   code all take the numbers from here, so they exist once. Preprocessor definitions only: the
   resource compiler reads this file too. */
#pragma once

/* Static texts of the main window. */
#define LINKWELL_TEXT_IP_ADDRESS 1013
#define LINKWELL_TEXT_CONNECTION_NAME 1014
#define LINKWELL_TEXT_NETWORK_STATUS 1015
#define LINKWELL_TEXT_MESSAGE 1016

/* Toolbar commands. */
#define LINKWELL_BUTTON_CONNECT 32781
#define LINKWELL_BUTTON_DISCONNECT 32782

/* Menu items, by position: menu 0 holds dial (item 0) and hang up (item 2), menu 1 statistics
   (item 2). */
#define LINKWELL_MENU_DIAL 0
#define LINKWELL_MENU_STATISTICS 1
#define LINKWELL_ITEM_DIAL 0
#define LINKWELL_ITEM_HANG_UP 2
#define LINKWELL_ITEM_STATISTICS 2
