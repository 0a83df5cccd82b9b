#include "updater/Install.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include "common/Handles.h"
#include "updater/UpdateTexts.h"

namespace {

constexpr int kTerminateAttempts = 5;
constexpr DWORD kTerminatePauseMs = 100;

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Stops every process of the client; false when one still runs after five attempts.
bool StopClient(const std::string& name) {
  int attempts = 0;
  for (long pid = FindProcessByName(name); pid != -1; pid = FindProcessByName(name)) {
    if (attempts == kTerminateAttempts) return false;
    ++attempts;
    ui::CHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid)));
    if (process.Valid()) TerminateProcess(process.Get(), 0);
    process.Reset();
    Sleep(kTerminatePauseMs);
  }
  return true;
}

bool InstallFile(HWND owner, const UpdateTargets& file) {
  if (!Exists(file.targetDirectory) && !MakeDirectoryPath(file.targetDirectory)) {
    MessageBoxA(owner, file.targetDirectory.c_str(), texts::kInstallFailedCaption, MB_OK | MB_ICONSTOP);
    return false;
  }
  const std::string download = file.downloadName + kDownloadSuffix;
  if (Exists(file.targetPath)) {
    SetFileAttributesA(file.targetPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(file.targetPath.c_str())) return false;
  }
  if (!CopyFileA(download.c_str(), file.targetPath.c_str(), TRUE)) return false;
  // The new file is in place; a download that cannot be removed only leaves a stray ".upf".
  SetFileAttributesA(download.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(download.c_str());
  return true;
}

}  // namespace

long FindProcessByName(const std::string& name) {
  ui::CHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid() || snapshot.Get() == INVALID_HANDLE_VALUE) {
    snapshot.Release();
    return -1;
  }
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32 entry;
  ZeroMemory(&entry, sizeof(entry));
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.Get(), &entry); more;
       more = Process32Next(snapshot.Get(), &entry)) {
    // A list that names the updater itself must not make it end its own run.
    if (entry.th32ProcessID != self && SameProgramName(entry.szExeFile, name)) {
      return static_cast<long>(entry.th32ProcessID);
    }
  }
  return -1;
}

int MakeDirectoryPath(const std::string& path) {
  if (path.empty()) return 0;
  if (Exists(path)) return 1;
  std::string folder = path;
  if (folder.back() != '\\') folder += '\\';
  for (std::size_t slash = folder.find('\\'); slash != std::string::npos;
       slash = folder.find('\\', slash + 1)) {
    const std::string prefix = folder.substr(0, slash);
    if (prefix.empty() || Exists(prefix)) continue;
    if (!CreateDirectoryA(prefix.c_str(), nullptr)) return 0;
  }
  return 1;
}

int InstallFiles(HWND owner, const InstallPlan& plan) {
  const bool restart = plan.reboot != 0 && !plan.clientName.empty();
  if (restart && !StopClient(plan.clientName)) {
    MessageBoxA(owner, texts::kClientStillRuns, texts::kNotice, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  bool installed = true;
  for (const UpdateTargets& file : plan.files) {
    if (!InstallFile(owner, file)) {
      installed = false;
      break;
    }
  }
  // The client was stopped for the update: it comes back however the update went.
  if (restart) {
    const std::string client = plan.programFolder + plan.clientName;
    ShellExecuteA(nullptr, "open", client.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  return installed ? 1 : 0;
}
