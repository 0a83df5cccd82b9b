// A hidden stand-in for the client's main window: static texts 1013 to 1016, a toolbar with the
// connect (32781) and disconnect (32782) buttons, and a menu bar whose menu 0 has items at positions
// 0 and 2 and menu 1 an item at position 2. It registers itself with the engine.
#pragma once

#include <windows.h>

#include <string>

class TestHost {
 public:
  // A message the window counts when dispatched, to see that a wait keeps dispatching.
  static const UINT kPingMessage = WM_APP + 7;

  TestHost();
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  HWND Window() const { return m_window; }
  HWND Toolbar() const { return m_toolbar; }
  void Register();

  std::string Text(int controlId) const;
  void SetText(int controlId, const char* text);
  bool ButtonEnabled(int commandId) const;
  void SetButton(int commandId, bool enable);
  bool MenuItemEnabled(int menuPos, unsigned itemPos) const;
  void SetMenuItem(int menuPos, unsigned itemPos, bool enable);
  // Sets the four texts to markers and enables every button and menu item.
  void Reset();

  int Pings() const { return m_pings; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_window;
  HWND m_toolbar;
  int m_pings;
};

// Runs the calling thread's message loop until done() is true or the time is up; false on timeout.
bool PumpUntil(bool (*done)(void*), void* context, DWORD timeoutMs);
