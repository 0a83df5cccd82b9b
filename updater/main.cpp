// Renewer.exe: the updater. No arguments; everything it needs is in "UpdateConfig.ini" beside it.
#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "updater/Resource.h"
#include "updater/UpdateDlg.h"
#include "updater/UpdateTexts.h"

namespace {

// Shows the window of an updater that runs already; false when there is none.
BOOL CALLBACK ShowRunningUpdater(HWND window, LPARAM found) {
  if (GetPropA(window, texts::kRunningProperty) != reinterpret_cast<HANDLE>(1)) return TRUE;
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

std::string FolderOf(const char* path) {
  const std::string text(path);
  const std::size_t slash = text.rfind('\\');
  return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WSADATA sockets;
  if (WSAStartup(MAKEWORD(1, 1), &sockets) != 0) {
    char text[256] = {};
    LoadStringA(instance, IDS_SOCKETS_INIT_FAILED, text, sizeof(text));
    MessageBoxA(nullptr, text, texts::kCaption, MB_OK | MB_ICONSTOP);
    return 1;
  }
  bool running = false;
  EnumWindows(ShowRunningUpdater, reinterpret_cast<LPARAM>(&running));
  if (running) return 0;

  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  char temporary[MAX_PATH] = {};
  GetTempPathA(sizeof(temporary), temporary);
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof(program));

  CUpdateDlg dialog(temporary, FolderOf(program));
  if (!dialog.ReadConfig()) {
    MessageBoxA(nullptr, texts::kConfigError, texts::kCaption, MB_OK | MB_ICONSTOP);
    ExitProcess(1);
  }
  dialog.DoModal(nullptr);
  // The program ends with its window, also while a download runs: ExitProcess ends the threads
  // where they stand, whereas leaving this scope would wait for them.
  ExitProcess(0);
}
