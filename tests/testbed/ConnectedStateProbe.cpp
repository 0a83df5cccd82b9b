// Loads the stand-in and WinINet at run time, in the order the argument names ("rasapi-first"
// or "wininet-first"), and exits with what InternetGetConnectedState answered: the flags, plus
// 1000 when it returned FALSE; 2000 when something could not be loaded.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
  const bool rasapiFirst = argc > 1 && std::strcmp(argv[1], "rasapi-first") == 0;
  HMODULE first = LoadLibraryA(rasapiFirst ? "rasapi32.dll" : "wininet.dll");
  HMODULE second = LoadLibraryA(rasapiFirst ? "wininet.dll" : "rasapi32.dll");
  HMODULE wininet = rasapiFirst ? second : first;
  if (!first || !second) return 2000;
  using GetState = BOOL(WINAPI*)(LPDWORD, DWORD);
  auto getState = reinterpret_cast<GetState>(
      reinterpret_cast<void*>(GetProcAddress(wininet, "InternetGetConnectedState")));
  if (!getState) return 2000;
  DWORD flags = 0;
  const BOOL connected = getState(&flags, 0);
  return static_cast<int>(flags) + (connected ? 0 : 1000);
}
