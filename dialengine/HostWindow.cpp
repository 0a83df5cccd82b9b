#include "dialengine/HostWindow.h"

#include <commctrl.h>

#include <atomic>

#include "dialengine/HostAccess.h"

namespace {

// Registered on the user-interface thread, read from the dial and hang-up workers.
std::atomic<HWND> g_mainWindow{nullptr};
std::atomic<HWND> g_toolbar{nullptr};

}  // namespace

void LinkwellRegisterHost(HWND mainWindow, HWND toolbar) {
  g_mainWindow.store(mainWindow);
  g_toolbar.store(toolbar);
}

HWND HostMainWindow() {
  return g_mainWindow.load();
}

void HostSetText(int controlId, const char* text) {
  HWND main = g_mainWindow.load();
  if (!main) return;
  SetDlgItemTextA(main, controlId, text ? text : "");
}

void HostEnableButton(int commandId, int enable) {
  HWND toolbar = g_toolbar.load();
  if (!toolbar) return;
  SendMessageA(toolbar, TB_ENABLEBUTTON, static_cast<WPARAM>(commandId), MAKELPARAM(LOWORD(enable), 0));
}

void HostEnableMenuItem(int menuPos, unsigned itemPos, bool enable) {
  HWND main = g_mainWindow.load();
  if (!main) return;
  HMENU bar = GetMenu(main);
  if (!bar) return;
  HMENU menu = GetSubMenu(bar, menuPos);
  if (!menu) return;
  EnableMenuItem(menu, itemPos, MF_BYPOSITION | (enable ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
  DrawMenuBar(main);
}
