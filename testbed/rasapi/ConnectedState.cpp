#include "testbed/rasapi/ConnectedState.h"

#include <winsock2.h>

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "testbed/rasapi/ServerLink.h"

namespace rasemu {

namespace {

using GetStateExW = BOOL(WINAPI*)(LPDWORD, LPWSTR, DWORD, DWORD);

std::atomic<GetStateExW> g_ownAnswer{nullptr};

BOOL WINAPI ConnectedStateAsWindows(LPDWORD flags, DWORD reserved) {
  DWORD own = 0;
  const GetStateExW ownAnswer = g_ownAnswer.load();
  const BOOL result = ownAnswer ? ownAnswer(&own, nullptr, 0, reserved) : FALSE;
  std::vector<testbed::SessionInfo> lines;
  ListLines(&lines);
  const bool connected = std::any_of(lines.begin(), lines.end(), [](const testbed::SessionInfo& line) {
    return line.phase == testbed::kPhaseConnected;
  });
  if (connected) {
    if (flags)
      *flags = INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_CONFIGURED | (own & INTERNET_RAS_INSTALLED);
    return TRUE;
  }
  if (flags) *flags = own;
  return result;
}

// The address of a named export, read from the image itself: this also works inside a loader
// notification, before the module is fully registered. Forwarded exports are not followed.
void* FindExport(HMODULE module, const char* name) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0) return nullptr;
  auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  auto* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
  auto* ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
  auto* functions = reinterpret_cast<DWORD*>(base + exports->AddressOfFunctions);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    if (std::strcmp(reinterpret_cast<const char*>(base + names[i]), name) != 0) continue;
    const DWORD rva = functions[ordinals[i]];
    if (rva >= directory.VirtualAddress && rva < directory.VirtualAddress + directory.Size) return nullptr;
    return base + rva;
  }
  return nullptr;
}

void PatchWinInet(HMODULE wininet) {
  auto* target = static_cast<unsigned char*>(FindExport(wininet, "InternetGetConnectedState"));
  auto* ownAnswer = FindExport(wininet, "InternetGetConnectedStateExW");
  if (!target || !ownAnswer) return;
  const auto hook = reinterpret_cast<std::uintptr_t>(&ConnectedStateAsWindows);
#if defined(_WIN64)
  // jmp qword ptr [rip+0], followed by the absolute address.
  unsigned char jump[14] = {0xff, 0x25, 0, 0, 0, 0};
  std::memcpy(jump + 6, &hook, sizeof(hook));
#else
  unsigned char jump[5] = {0xe9};
  const std::int32_t relative =
      static_cast<std::int32_t>(hook - (reinterpret_cast<std::uintptr_t>(target) + 5));
  std::memcpy(jump + 1, &relative, sizeof(relative));
#endif
  // The jump overwrites the start of the function: if the function were a short stub with the
  // Ex function right behind it, the patch would break the very function it calls.
  const auto start = reinterpret_cast<std::uintptr_t>(target);
  const auto own = reinterpret_cast<std::uintptr_t>(ownAnswer);
  if (own > start && own < start + sizeof(jump)) return;
  g_ownAnswer.store(reinterpret_cast<GetStateExW>(ownAnswer));
  if (std::memcmp(target, jump, sizeof(jump)) == 0) return;
  DWORD protection = 0;
  if (!VirtualProtect(target, sizeof(jump), PAGE_EXECUTE_READWRITE, &protection)) return;
  std::memcpy(target, jump, sizeof(jump));
  VirtualProtect(target, sizeof(jump), protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), target, sizeof(jump));
}

// The loader's notification of modules that arrive later (ntdll, not in the headers).
struct LoaderText {
  USHORT length;
  USHORT maximumLength;
  PWSTR buffer;
};
struct LoadedModule {
  ULONG flags;
  const LoaderText* fullName;
  const LoaderText* baseName;
  PVOID base;
  ULONG size;
};
using LoaderCallback = VOID(CALLBACK*)(ULONG reason, const LoadedModule* module, PVOID context);
using RegisterLoaderCallback = LONG(NTAPI*)(ULONG flags, LoaderCallback callback, PVOID context,
                                            PVOID* cookie);
constexpr ULONG kModuleLoaded = 1;

bool IsWinInet(const LoaderText* name) {
  static const wchar_t kName[] = L"wininet.dll";
  const std::size_t length = sizeof(kName) / sizeof(kName[0]) - 1;
  if (!name || !name->buffer || name->length / sizeof(wchar_t) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    wchar_t c = name->buffer[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != kName[i]) return false;
  }
  return true;
}

VOID CALLBACK OnModuleEvent(ULONG reason, const LoadedModule* module, PVOID) {
  if (reason == kModuleLoaded && module && IsWinInet(module->baseName)) {
    PatchWinInet(static_cast<HMODULE>(module->base));
  }
}

}  // namespace

void InstallConnectedStatePatch() {
  if (HMODULE wininet = GetModuleHandleA("wininet.dll")) PatchWinInet(wininet);
  auto registerCallback = reinterpret_cast<RegisterLoaderCallback>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrRegisterDllNotification")));
  PVOID cookie = nullptr;
  if (registerCallback) registerCallback(0, OnModuleEvent, nullptr, &cookie);
}

}  // namespace rasemu
