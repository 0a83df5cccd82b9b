// The system services the dial engine calls, behind one table of function pointers.
//
// The table starts out pointing at the real functions of rasapi32, wininet and user32. Tests that
// link the engine statically replace entries with fakes and put the real table back afterwards. The
// table is not exported from Linkwell.dll.
#pragma once

#include <windows.h>

#include <ras.h>

struct EngineSystem {
  DWORD(WINAPI* rasEnumDevices)(LPRASDEVINFOA devices, LPDWORD bytes, LPDWORD count);
  DWORD(WINAPI* rasValidateEntryName)(LPCSTR phoneBook, LPCSTR entryName);
  DWORD(WINAPI* rasSetEntryProperties)
  (LPCSTR phoneBook, LPCSTR entryName, LPRASENTRYA entry, DWORD entrySize, LPBYTE deviceInfo,
   DWORD deviceInfoSize);
  DWORD(WINAPI* rasDial)
  (LPRASDIALEXTENSIONS extensions, LPCSTR phoneBook, LPRASDIALPARAMSA params, DWORD notifierType,
   LPVOID notifier, LPHRASCONN connection);
  DWORD(WINAPI* rasHangUp)(HRASCONN connection);
  DWORD(WINAPI* rasGetConnectStatus)(HRASCONN connection, LPRASCONNSTATUSA status);
  DWORD(WINAPI* rasEnumConnections)(LPRASCONNA connections, LPDWORD bytes, LPDWORD count);
  DWORD(WINAPI* rasGetProjectionInfo)
  (HRASCONN connection, RASPROJECTION projection, LPVOID info, LPDWORD bytes);
  DWORD(WINAPI* rasGetErrorString)(UINT error, LPSTR text, DWORD textSize);
  BOOL(WINAPI* internetGetConnectedState)(LPDWORD flags, DWORD reserved);
  int(WINAPI* messageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
  // Milliseconds of a monotonic clock; bounds the hang-up wait.
  DWORD(WINAPI* tickCount)();
};

// The table the engine calls through. Changes take effect at the next call.
EngineSystem& EngineCalls();
// The table of the real functions.
EngineSystem RealEngineSystem();
