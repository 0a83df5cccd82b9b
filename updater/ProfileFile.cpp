#include "updater/ProfileFile.h"

#include <windows.h>

#include <vector>

std::string CProfileFile::Text(const char* section, const char* key, const char* fallback, std::size_t size) {
  if (size == 0) return std::string();
  std::vector<char> text(size, '\0');
  const DWORD length =
      GetPrivateProfileStringA(section, key, fallback, text.data(), static_cast<DWORD>(size), m_path.c_str());
  return std::string(text.data(), length < size ? length : size - 1);
}

int CProfileFile::Number(const char* section, const char* key, int fallback) {
  return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, m_path.c_str()));
}
