#include "updater/UpdateList.h"

#include <cstdio>

const char kDownloadSuffix[] = ".upf";

namespace {

// The buffer sizes the list's texts are read into.
constexpr std::size_t kHeadText = 128;
constexpr std::size_t kFileText = 256;

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A lead byte of a double-byte character in the code pages of the system (936 and its kin).
bool IsLeadByte(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// A part that Windows reads as "." or ".." once it drops the trailing dots and blanks of a name.
bool IsDotsOnly(const std::string& part) {
  if (part.empty()) return false;
  for (char c : part) {
    if (c != '.' && c != ' ') return false;
  }
  return true;
}

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || IsDotsOnly(name)) return false;
  for (char c : name) {
    if (IsSeparator(c) || c == ':') return false;
  }
  return true;
}

}  // namespace

UpdateList ReadUpdateList(CProfileReader& profile) {
  UpdateList list;
  list.softwareName = profile.Text("SoftWare", "SoftwareName", "", kHeadText);
  list.reboot = profile.Number("SoftWare", "Reboot", 1) != 0 ? 1 : 0;
  list.version = profile.Text("Version", "Version", "0.0", kHeadText);
  list.fileCount = profile.Number("FilesNum", "Num", 0);
  for (int i = 1; i <= list.fileCount; ++i) {
    char key[32];
    UpdateEntry entry;
    std::snprintf(key, sizeof(key), "File%d", i);
    entry.address = profile.Text("UpdateFiles", key, "", kFileText);
    std::snprintf(key, sizeof(key), "Dir%d", i);
    entry.directory = profile.Text("UpdateDirs", key, "", kFileText);
    std::snprintf(key, sizeof(key), "MD5%d", i);
    entry.digest = profile.Text("MD5", key, "", kFileText);
    const bool last = entry.address.empty();
    list.files.push_back(entry);
    if (last) break;
  }
  return list;
}

std::string FileNameOfAddress(const std::string& address) {
  const std::size_t slash = address.rfind('/');
  return slash == std::string::npos ? address : address.substr(slash + 1);
}

std::vector<UpdateTargets> DeriveTargets(const std::string& programFolder,
                                         const std::vector<UpdateEntry>& files) {
  std::vector<UpdateTargets> targets;
  for (const UpdateEntry& entry : files) {
    UpdateTargets target;
    target.fileName = FileNameOfAddress(entry.address);
    target.targetDirectory = programFolder + entry.directory;
    target.targetPath = target.targetDirectory + target.fileName;
    int earlier = 0;
    for (const UpdateTargets& before : targets) {
      if (SameProgramName(before.fileName, target.fileName)) ++earlier;
    }
    target.downloadName = programFolder + target.fileName;
    if (earlier > 0) target.downloadName += " (" + std::to_string(earlier + 1) + ")";
    targets.push_back(target);
  }
  return targets;
}

bool IsContainedPath(const std::string& path) {
  if (path.empty()) return true;
  if (IsSeparator(path[0]) || path.find(':') != std::string::npos) return false;
  std::string part;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (IsDotsOnly(part)) return false;
      part.clear();
    } else {
      part += path[i];
    }
  }
  return true;
}

ListProblem CheckUpdateList(const UpdateList& list) {
  if (!list.softwareName.empty() && !IsPlainFileName(list.softwareName))
    return ListProblem::kUnsafeClientName;
  for (const UpdateEntry& entry : list.files) {
    if (entry.address.empty()) continue;
    const std::string name = FileNameOfAddress(entry.address);
    if (name.empty() || IsDotsOnly(name) || IsSeparator(name.back()) || !IsContainedPath(name) ||
        !IsContainedPath(entry.directory)) {
      return ListProblem::kUnsafePath;
    }
  }
  return ListProblem::kNone;
}

FilePositions PositionsOfFile(int start, int count, int number) {
  const int step = count > 0 ? 80 / count : 0;
  const int reached = step * number;
  return FilePositions{start + reached / 4, start + reached / 3, start + reached};
}

bool SameProgramName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(a[i]) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}
