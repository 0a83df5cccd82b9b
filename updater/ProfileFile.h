// CProfileFile: the values of one profile (INI) file through GetPrivateProfileStringA and
// GetPrivateProfileIntA.
#pragma once

#include <string>

#include "updater/UpdateList.h"

class CProfileFile : public CProfileReader {
 public:
  // path: the file's full path (a name without a folder would be looked for in the Windows folder).
  explicit CProfileFile(const std::string& path) : m_path(path) {}

  std::string Text(const char* section, const char* key, const char* fallback, std::size_t size) override;
  int Number(const char* section, const char* key, int fallback) override;

 private:
  std::string m_path;
};
