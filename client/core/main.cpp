#include <windows.h>

#include "client/core/DialApp.h"

namespace {
// Static storage: the connection manager inside starts zero-filled, as the dial engine expects.
CDialApp g_application;
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return g_application.Run();
}
