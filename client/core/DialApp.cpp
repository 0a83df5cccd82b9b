// Windows Sockets 2 must come before windows.h, which the other headers bring in.
#include <winsock2.h>

#include "client/core/DialApp.h"

#include <commctrl.h>
#include <ole2.h>

#include "client/core/AppTexts.h"
#include "client/core/MainDlg.h"

CDialApp::CDialApp() : m_connection(m_config, m_manager) {}

CDialApp::~CDialApp() {}

void CDialApp::OpenMessageStore() {
  m_messages.Open();
}

bool CDialApp::ActivateRunningInstance() {
  for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window != nullptr;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (GetPropA(window, app::kTitle) == nullptr) continue;
    HWND chosen = window;
    if (IsIconic(window)) {
      ShowWindow(window, SW_RESTORE);
    } else {
      // A window that is hidden without being minimised must come back as well.
      if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOW);
      chosen = GetLastActivePopup(window);
    }
    SetForegroundWindow(chosen);
    return true;
  }
  return false;
}

bool CDialApp::WaitForExitingInstance() {
  // The mutex exists but no window marks a running instance: the one before is ending (its window
  // is gone, its hang-up still runs). This start goes on once that one has let the mutex go.
  const DWORD result = WaitForSingleObject(m_mutex.Get(), kExitingInstanceWaitMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

int CDialApp::Run() {
  OpenMessageStore();
  m_mutex.Reset(CreateMutexA(nullptr, TRUE, app::kInstanceMutex));
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    if (ActivateRunningInstance() || !WaitForExitingInstance()) {
      m_mutex.Reset();
      return 0;
    }
  }

  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    MessageBoxA(nullptr, "Windows 通信端口初始化失败。", app::kTitle, MB_OK | MB_ICONERROR);
    m_mutex.Reset();
    return 0;
  }
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES;
  InitCommonControlsEx(&controls);
  // The advertisement view is an embedded control: its container needs OLE on this thread.
  const bool ole = SUCCEEDED(OleInitialize(nullptr));

  {
    CMainDlg main(m_config, m_connection, &m_messages);
    main.DoModal(nullptr);
  }

  if (ole) OleUninitialize();
  WSACleanup();
  m_mutex.Reset();
  return 0;
}
