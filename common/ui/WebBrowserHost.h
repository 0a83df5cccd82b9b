// CWebBrowserHost: the system's web browser control placed in a window of ours.
//
// A minimal in-place container: the browser fills the host window's client area, shows no
// script error dialogs, and is torn down with Destroy or the destructor. Where the control
// cannot be created (no browser installed, no HTML engine), Create fails and the host window
// stays as it was, so the caller can leave it as a quiet placeholder. Needs OleInitialize on the
// calling thread.
#pragma once

#include <windows.h>

struct IOleObject;
struct IWebBrowser2;

namespace ui {

class CWebBrowserHost {
 public:
  CWebBrowserHost();
  ~CWebBrowserHost();

  CWebBrowserHost(const CWebBrowserHost&) = delete;
  CWebBrowserHost& operator=(const CWebBrowserHost&) = delete;

  // Creates the browser inside host. Returns false (and keeps nothing) when it cannot.
  bool Create(HWND host);
  // Starts loading the address (a URL or a file path, GB2312). False without a browser or when
  // the browser refused the request.
  bool Navigate(const char* address);
  // Fits the browser to the host's client area again.
  void Resize();
  // Closes the browser; nothing happens when there is none.
  void Destroy();

  bool IsCreated() const { return m_browser != nullptr; }

 private:
  class CSite;

  HWND m_host = nullptr;
  CSite* m_site = nullptr;
  IOleObject* m_object = nullptr;
  IWebBrowser2* m_browser = nullptr;
};

}  // namespace ui
