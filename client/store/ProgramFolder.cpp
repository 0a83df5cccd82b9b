#include "client/store/ProgramFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <mbstring.h>
#else
#include <unistd.h>
#endif

#include "client/store/FileReplace.h"

#ifdef _WIN32
const char kPathSeparator = '\\';
#else
const char kPathSeparator = '/';
#endif

const char kDamagedSuffix[] = ".damaged";

namespace {

std::string ProgramPath() {
#ifdef _WIN32
  // The runtime fills _pgmptr from the module file name at start; it is the full path of the
  // program, the same text GetModuleFileNameA gives for the main module.
  const char* path = _pgmptr;
  return path ? std::string(path) : std::string();
#else
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(length));
#endif
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR;
}

}  // namespace

std::string ProgramFolder() {
  std::string path = ProgramPath();
#ifdef _WIN32
  // In code page 936 the trail byte of a double-byte character may be 0x5C; the multibyte search
  // of the runtime steps over whole characters in the ANSI code page.
  const unsigned char* text = reinterpret_cast<const unsigned char*>(path.c_str());
  const unsigned char* last = _mbsrchr(text, static_cast<unsigned char>(kPathSeparator));
  if (!last) return std::string();
  return path.substr(0, static_cast<size_t>(last - text) + 1);
#else
  size_t last = path.find_last_of(kPathSeparator);
  if (last == std::string::npos) return std::string();
  return path.substr(0, last + 1);
#endif
}

std::string DataFolder(const std::string& programFolder) {
  return programFolder + "data";
}

std::string RecordFolder(const std::string& programFolder) {
  return DataFolder(programFolder) + kPathSeparator + "record";
}

std::string DataFolder() {
  return DataFolder(ProgramFolder());
}

std::string RecordFolder() {
  return RecordFolder(ProgramFolder());
}

bool MakeFolder(const std::string& path) {
  if (path.empty()) return false;
#ifdef _WIN32
  int result = _mkdir(path.c_str());
#else
  int result = mkdir(path.c_str(), 0777);
#endif
  if (result == 0) return true;
  return errno == EEXIST && IsFolder(path);
}

bool MakeRecordFolder(const std::string& programFolder) {
  MakeFolder(DataFolder(programFolder));
  return MakeFolder(RecordFolder(programFolder));
}

FileRead ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? FileRead::kUnreadable : FileRead::kMissing;
  }
  char buffer[8192];
  bool failed = false;
  for (;;) {
    size_t got = std::fread(buffer, 1, sizeof(buffer), file);
    bytes.append(buffer, got);
    if (got < sizeof(buffer)) {
      failed = std::ferror(file) != 0;
      break;
    }
  }
  std::fclose(file);
  if (failed) {
    bytes.clear();
    return FileRead::kUnreadable;
  }
  return FileRead::kRead;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && CommitToDisk(file);
  return std::fclose(file) == 0 && written;
}

std::string DamagedCopyName(const std::string& path, int number) {
  std::string name = path + kDamagedSuffix;
  return number == 0 ? name : name + "." + std::to_string(number);
}

bool KeepDamagedCopy(const std::string& path, const std::string& bytes) {
  std::vector<int> taken;
  for (int number = 0; number < kDamagedCopies; ++number) {
    struct stat info;
    if (stat(DamagedCopyName(path, number).c_str(), &info) == 0) taken.push_back(number);
  }
  int next = taken.empty() ? 0 : taken.back() + 1;
  if (next == kDamagedCopies) {
    // No number left after the newest: the oldest copy goes when all ten are kept, and the rest
    // move down in order, so that the numbers still tell their age.
    if (taken.size() == static_cast<size_t>(kDamagedCopies)) {
      if (std::remove(DamagedCopyName(path, taken.front()).c_str()) != 0) return false;
      taken.erase(taken.begin());
    }
    for (size_t i = 0; i < taken.size(); ++i) {
      int number = static_cast<int>(i);
      if (taken[i] == number) continue;
      if (std::rename(DamagedCopyName(path, taken[i]).c_str(), DamagedCopyName(path, number).c_str()) != 0) {
        return false;
      }
    }
    next = static_cast<int>(taken.size());
  }
  return WriteWholeFile(DamagedCopyName(path, next), bytes);
}
