// CKeyFilter: keeps chosen keys away from a dialog and its controls.
//
// The dialog manager hands every message of a modal loop to the thread's WH_MSGFILTER hooks
// before it processes the message; the filter swallows key messages of the listed virtual keys
// that are meant for the window or one of its descendants, so that, for example, neither Escape nor
// Enter closes a window that must stay open. One filter may be installed per thread.
#pragma once

#include <windows.h>

namespace ui {

class CKeyFilter {
 public:
  CKeyFilter() = default;
  // Removes the filter if it is installed.
  ~CKeyFilter();
  CKeyFilter(const CKeyFilter&) = delete;
  CKeyFilter& operator=(const CKeyFilter&) = delete;

  // Starts swallowing WM_KEYDOWN, WM_KEYUP and WM_CHAR of the keys (a list of virtual-key codes
  // ending in 0) for window and its descendants, on the calling thread. False when another filter
  // of this kind is installed on the thread or the hook cannot be set.
  bool Install(HWND window, const UINT* keys);
  // Stops the filter; nothing happens when it is not installed.
  void Remove();

  bool IsInstalled() const { return m_hook != nullptr; }

 private:
  static LRESULT CALLBACK FilterProc(int code, WPARAM wParam, LPARAM lParam);

  HHOOK m_hook = nullptr;
  HWND m_window = nullptr;
  const UINT* m_keys = nullptr;
};

}  // namespace ui
