#include "client/store/FileReplace.h"

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

bool CommitToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  // _commit asks the system to write its buffers through to the disk (FlushFileBuffers).
  if (_commit(_fileno(file)) != 0) return false;
#endif
  return true;
}

#ifdef _WIN32
namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    default:
      return EIO;
  }
}

}  // namespace
#endif

int ReplaceFileWith(const char* from, const char* to) {
#ifdef _WIN32
  // rename refuses an existing target on Windows, and moving the old file aside first would
  // leave a moment without any file at `to`. A target that another reader holds open for a
  // moment (the record query, the statistics window, a virus scanner) refuses the replace with a
  // sharing violation; the save waits for it a little instead of losing the write.
  constexpr DWORD kBusyWaitMs = 2000;
  constexpr DWORD kBusyStepMs = 20;
  const DWORD start = GetTickCount();
  for (;;) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    const DWORD error = GetLastError();
    const bool busy =
        error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!busy || GetTickCount() - start >= kBusyWaitMs) return ErrnoOf(error);
    Sleep(kBusyStepMs);
  }
#else
  return std::rename(from, to) == 0 ? 0 : (errno ? errno : EIO);
#endif
}
