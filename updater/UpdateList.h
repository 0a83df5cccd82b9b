// The update list "UpdateList.ini" as the updater reads it, and what it derives from it: the files
// to fetch and where they go, whether every path stays in the program folder, and the progress
// positions of the download. Portable: no Windows header; the profile file is read through
// CProfileReader.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads values of a profile (INI) file, as GetPrivateProfileStringA and GetPrivateProfileIntA do.
class CProfileReader {
 public:
  virtual ~CProfileReader() = default;
  // The text of section/key, or fallback when it is missing, cut to size - 1 bytes.
  virtual std::string Text(const char* section, const char* key, const char* fallback, std::size_t size) = 0;
  // The decimal number of section/key, or fallback when it is missing.
  virtual int Number(const char* section, const char* key, int fallback) = 0;
};

// One listed file, as written in the list.
struct UpdateEntry {
  std::string address;    // "UpdateFiles"/"File<i>": absolute http address
  std::string directory;  // "UpdateDirs"/"Dir<i>": relative to the program folder, "" for itself
  std::string digest;     // "MD5"/"MD5<i>": 32 lowercase hexadecimal digits
};

struct UpdateList {
  std::string version = "0.0";  // "Version"/"Version"
  std::string softwareName;     // "SoftWare"/"SoftwareName": the client's executable
  int reboot = 1;               // 1: stop the client before installing and start it afterwards
  int fileCount = 0;            // "FilesNum"/"Num"
  // The entries 1 .. fileCount in list order. Reading stops after the first entry without an
  // address: the download ends there, so entries past it are never needed.
  std::vector<UpdateEntry> files;
};

// Reads the list: texts into 128-byte (version and software keys) and 256-byte (per-file keys)
// buffers; "Reboot" nonzero or missing gives 1.
UpdateList ReadUpdateList(CProfileReader& profile);

// Where one listed file goes, under a program folder given with its trailing backslash.
struct UpdateTargets {
  std::string fileName;         // the address after its last "/"
  std::string downloadName;     // where it is downloaded, without the ".upf" that follows
  std::string targetDirectory;  // program folder + directory value
  std::string targetPath;       // program folder + directory value + file name
};

// The suffix of a downloaded file until it is installed.
extern const char kDownloadSuffix[];

// The part of an address after its last "/" (the whole text when it has none).
std::string FileNameOfAddress(const std::string& address);

// The targets of every entry of the list, in order. The directory value is joined to the program
// folder without adding a separator. Download names are program folder + file name; when two
// files of the list share a name (compared without regard to case, as Windows does), the later
// ones get " (2)", " (3)"... after the name, so that no download overwrites another.
std::vector<UpdateTargets> DeriveTargets(const std::string& programFolder,
                                         const std::vector<UpdateEntry>& files);

// True when a relative path text stays inside the folder it is joined to: no drive or colon, no
// leading separator, and no part (between "\" or "/") made only of dots and blanks, which Windows
// reads as the folder itself or its parent. An empty text is safe.
bool IsContainedPath(const std::string& path);

// Why a list is refused before anything is fetched.
enum class ListProblem {
  kNone,
  // A file name or directory that would leave the program folder, or a file without a name.
  kUnsafePath,
  // A client name that is not a plain file name of the program folder.
  kUnsafeClientName,
};

// Checks every entry with an address, and the client's name. kNone when the list may be used.
ListProblem CheckUpdateList(const UpdateList& list);

// Progress positions while the files are fetched, from the position start at the beginning of the
// download. With count files, the step is 80 / count and file number (1-based) uses A = step *
// number: before its keys are read start + A / 4, before its download start + A / 3, after it
// start + A. Integer divisions truncate.
struct FilePositions {
  int beforeRead;
  int beforeDownload;
  int done;
};
FilePositions PositionsOfFile(int start, int count, int number);

// The position after every file has been fetched, and at its install.
constexpr int kInstallPosition = 95;
constexpr int kDonePosition = 100;
// Steps the bar moves through one by one when the list has no file: start .. start + 79.
constexpr int kEmptyListSteps = 80;

// True when two executable names are the same file name for Windows: letters compared without
// regard to case, the second byte of a double-byte character of the code page compared as it is.
bool SameProgramName(const std::string& a, const std::string& b);
