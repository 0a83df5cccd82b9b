// CMainView: the client's one voice in the main window. The status texts 1013 to 1015 are the dial
// engine's (it writes them while it dials, hangs up and checks the network); everything the client
// itself shows about the connection — the connect and disconnect toolbar buttons, the dial, hang-up
// and statistics menu items and the message line — is written here, from whatever thread, through
// the window system.
#pragma once

#include <windows.h>

#include <atomic>

class CMainView {
 public:
  CMainView() = default;
  CMainView(const CMainView&) = delete;
  CMainView& operator=(const CMainView&) = delete;

  // The window to write into and its toolbar (null when it could not be created: the buttons are
  // then skipped, everything else still written). Registers them with the dial engine as its host.
  void Attach(HWND mainWindow, HWND toolbar);
  // Forgets the window (and unregisters it from the engine); later writes do nothing.
  void Detach();

  // A connection is up: disconnect and statistics enabled, connect disabled.
  void ShowConnectionUp();
  // No connection: connect enabled, disconnect and statistics disabled.
  void ShowConnectionDown();
  // The message line 1016.
  void SetMessageLine(const char* text);
  // After a failed dial: adds the hint for the remote-access error code to what the dial engine
  // wrote on the message line (see WithDialErrorHint); a code without a hint changes nothing.
  void AddDialErrorHint(unsigned long code);
  // Asks the window, by a posted message, to offer the network diagnosis for the error code of a
  // connect command's dial; never waits for the window.
  void OfferDiagnosis(unsigned long code);

  // The state of an item of the menu bar, by position: MF_GRAYED and MF_DISABLED as set, or
  // MF_GRAYED when the item does not exist.
  UINT MenuItemState(int menu, UINT item) const;

  HWND MainWindow() const { return m_main.load(); }
  HWND Toolbar() const { return m_toolbar.load(); }

 private:
  void EnableButton(int command, bool enable);
  void EnableMenuItem(int menu, UINT item, bool enable);

  std::atomic<HWND> m_main{nullptr};
  std::atomic<HWND> m_toolbar{nullptr};
};
