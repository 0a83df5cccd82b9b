#include "testbed/rasapi/PhoneBook.h"

#include <shlobj.h>

#include <raserror.h>

#include <vector>

namespace rasemu {

namespace {

class CLock {
 public:
  CLock() : m_mutex(CreateMutexA(nullptr, FALSE, "Local\\QuillonTestbedPhoneBook")) {
    // An abandoned lock (a writer died holding it) is ours now; the file itself is always whole
    // because it is only ever replaced.
    if (m_mutex) WaitForSingleObject(m_mutex, 10000);
  }
  ~CLock() {
    if (m_mutex) {
      ReleaseMutex(m_mutex);
      CloseHandle(m_mutex);
    }
  }
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

 private:
  HANDLE m_mutex;
};

void CreateParentFolders(const std::string& path) {
  for (std::size_t i = 3; i < path.size(); ++i) {
    if (path[i] == '\\' || path[i] == '/') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  }
}

}  // namespace

CPhoneBook::CPhoneBook(const char* path) : m_path(path && *path ? path : DefaultPath()) {}

std::string CPhoneBook::DefaultPath() {
  char configured[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("RASEMU_PHONEBOOK", configured, sizeof(configured));
  if (length > 0 && length < sizeof(configured)) return configured;
  char folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    GetWindowsDirectoryA(folder, sizeof(folder));
  }
  return std::string(folder) + "\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk";
}

DWORD CPhoneBook::Read(CPhoneBookText* book) const {
  CLock lock;
  return ReadUnlocked(book);
}

DWORD CPhoneBook::ReadUnlocked(CPhoneBookText* book) const {
  HANDLE file =
      CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      *book = CPhoneBookText();
      return 0;
    }
    return ERROR_CANNOT_OPEN_PHONEBOOK;
  }
  std::string text;
  std::vector<char> chunk(65536);
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) && got > 0) {
    text.append(chunk.data(), got);
  }
  CloseHandle(file);
  if (!ok) return ERROR_CANNOT_OPEN_PHONEBOOK;
  *book = CPhoneBookText::Parse(text);
  return 0;
}

DWORD CPhoneBook::Change(const std::function<DWORD(CPhoneBookText&)>& change) const {
  CLock lock;
  CPhoneBookText book;
  if (DWORD error = ReadUnlocked(&book)) return error;
  if (DWORD result = change(book)) return result;

  // Written beside the book and moved over it, so that a reader (or a crash) never meets half a
  // file.
  const std::string text = book.Serialize();
  const std::string temporary = m_path + ".new";
  CreateParentFolders(m_path);
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ERROR_CANNOT_WRITE_PHONEBOOK;
  DWORD written = 0;
  const bool ok =
      text.empty() || (WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                       written == text.size());
  CloseHandle(file);
  if (!ok ||
      !MoveFileExA(temporary.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temporary.c_str());
    return ERROR_CANNOT_WRITE_PHONEBOOK;
  }
  return 0;
}

}  // namespace rasemu
