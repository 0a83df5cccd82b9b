// Helpers of the store tests: a temporary folder that goes away with the test, and whole-file
// reads and writes that do not go through the code under test.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "client/store/ProgramFolder.h"

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path base = std::filesystem::temp_directory_path();
    m_path = (base / ("quillon-store-" + std::to_string(stamp) + "-" + std::to_string(++counter))).string();
    std::filesystem::create_directories(m_path);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_path; }
  std::string File(const std::string& name) const { return m_path + kPathSeparator + name; }

 private:
  std::string m_path;
};

inline bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Replaces the first occurrence of what in text; the test fails loudly if it is missing.
inline std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  size_t at = text.find(what);
  if (at == std::string::npos) return "<<" + what + " not found>>";
  return text.replace(at, what.size(), with);
}

inline const char* Declaration() {
  return "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n";
}
