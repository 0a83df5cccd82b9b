// How the dial engine reaches the host's main window.
//
// The host registers its main window and toolbar once; from then on the engine sets the main
// window's static texts (1013 to 1016), enables toolbar buttons with TB_ENABLEBUTTON and enables or
// grays main-menu items by position, from whatever thread calls it. Before a registration (or after
// one with null handles) those writes do nothing and fail nothing.
#pragma once

#include <windows.h>

#include "dialengine/LinkwellApi.h"

extern "C" LINKWELL_API void LinkwellRegisterHost(HWND mainWindow, HWND toolbar);
