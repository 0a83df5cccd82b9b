#include "client/core/Paths.h"

#include <windows.h>

#include <cstring>

namespace app {

std::string ProgramDirectory() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) return std::string();
  char* cut = std::strrchr(path, '\\');
  if (cut == nullptr) return std::string();
  cut[1] = '\0';
  return path;
}

}  // namespace app
