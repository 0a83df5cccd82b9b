#include "tests/support/Driver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"

namespace driver {

namespace {

// The control id of a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

void MakeTree(const std::string& folder) {
  for (size_t i = 3; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '\\') CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
  }
}

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK FindById(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  if (GetDlgCtrlID(window) == search->id) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

struct TopSearch {
  DWORD pid;
  const char* caption;
  bool property;
  HWND found;
};

struct PropertySearch {
  const char* name;
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindByProperty(HWND window, LPARAM data) {
  PropertySearch* search = reinterpret_cast<PropertySearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if ((search->pid != 0 && pid != search->pid) || GetPropA(window, search->name) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

struct BoxSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM data) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
  char name[32] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::strcmp(name, "#32770") != 0 || GetDlgItem(window, 0xFFFF) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK FindTop(HWND window, LPARAM data) {
  TopSearch* search = reinterpret_cast<TopSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid) return TRUE;
  if (search->property) {
    if (GetPropA(window, app::kTitle) == nullptr) return TRUE;
  } else {
    char name[32] = {};
    GetClassNameA(window, name, sizeof(name));
    if (std::strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    if (GetPropA(window, app::kTitle) != nullptr) return TRUE;
    if (search->caption != nullptr && WindowText(window) != search->caption) return TRUE;
  }
  search->found = window;
  return FALSE;
}

// The desktop the clients start on (UseVirtualDesktop); empty for the caller's own.
std::string g_desktop;

}  // namespace

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpMessages();
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string BuildDir() {
  return Env("QUILLON_BUILD_DIR");
}

std::string SourceDir() {
  return Env("QUILLON_SOURCE_DIR");
}

std::string WindowText(HWND window) {
  if (window == nullptr) return std::string();
  char text[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           5000, &copied)) {
    return std::string();
  }
  text[sizeof(text) - 1] = '\0';
  return text;
}

HWND FindDescendant(HWND parent, int id) {
  Search search = {id, nullptr};
  EnumChildWindows(parent, FindById, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindDialog(DWORD pid, const char* caption) {
  TopSearch search = {pid, caption, false, nullptr};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindWindowWithProperty(const char* name, DWORD pid) {
  PropertySearch search = {name, pid, nullptr};
  EnumWindows(FindByProperty, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindMessageBox(DWORD pid) {
  BoxSearch search = {pid, nullptr};
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForMessageBoxOf(DWORD pid, DWORD timeoutMs) {
  HWND box = nullptr;
  WaitFor(
      [&] {
        box = FindMessageBox(pid);
        return box != nullptr;
      },
      timeoutMs);
  return box;
}

int ProgressPosition(HWND bar) {
  DWORD_PTR position = 0;
  if (bar == nullptr || !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position))
    return -1;
  return static_cast<int>(position);
}

HANDLE StartProgram(const std::string& program, const std::string& folder, DWORD* pid) {
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  if (!g_desktop.empty()) startup.lpDesktop = &g_desktop[0];
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof(info));
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  if (pid != nullptr) *pid = info.dwProcessId;
  return info.hProcess;
}

bool UseVirtualDesktop(const std::string& name, int width, int height) {
  // Wine makes a desktop virtual when its name has a size under this key.
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  char size[32];
  snprintf(size, sizeof(size), "%dx%d", width, height);
  const bool set = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(size),
                                  static_cast<DWORD>(std::strlen(size) + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!set) return false;
  HDESK desktop = CreateDesktopA(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (desktop == nullptr || !SetThreadDesktop(desktop)) return false;
  g_desktop = name;
  return true;
}

LRESULT SendWithData(HWND window, UINT message, WPARAM wParam, void* data, size_t size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return 0;
  LRESULT result = 0;
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote != nullptr) {
    SIZE_T moved = 0;
    if (WriteProcessMemory(process, remote, data, size, &moved) && moved == size) {
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutA(window, message, wParam, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                              5000, &answer)) {
        result = static_cast<LRESULT>(answer);
        ReadProcessMemory(process, remote, data, size, &moved);
      }
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return result;
}

HWND WaitForDialog(DWORD pid, const char* caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindDialog(pid, caption)) != nullptr; }, timeoutMs);
  return found;
}

namespace {

// A block of memory in the process that owns a window, for the messages whose structures Wine
// does not carry across processes.
class CRemoteBlock {
 public:
  CRemoteBlock(HWND window, size_t size) : m_size(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (m_process != nullptr) {
      m_address = VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~CRemoteBlock() {
    if (m_address != nullptr) VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    if (m_process != nullptr) CloseHandle(m_process);
  }
  CRemoteBlock(const CRemoteBlock&) = delete;
  CRemoteBlock& operator=(const CRemoteBlock&) = delete;

  bool Valid() const { return m_address != nullptr; }
  char* At(size_t offset) const { return static_cast<char*>(m_address) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    SIZE_T done = 0;
    return offset + size <= m_size && WriteProcessMemory(m_process, At(offset), data, size, &done) &&
           done == size;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    return offset + size <= m_size && ReadProcessMemory(m_process, At(offset), data, size, &done) &&
           done == size;
  }

 private:
  HANDLE m_process = nullptr;
  void* m_address = nullptr;
  size_t m_size;
};

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
  return static_cast<LRESULT>(result);
}

}  // namespace

std::vector<std::vector<std::string>> ListViewRows(HWND list, int columns) {
  std::vector<std::vector<std::string>> rows;
  constexpr size_t kTextSize = 1024;
  CRemoteBlock block(list, sizeof(LVITEMA) + kTextSize);
  if (!block.Valid()) return rows;
  const LRESULT count = SendWithTimeout(list, LVM_GETITEMCOUNT, 0, 0);
  for (int row = 0; row < static_cast<int>(count); ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < columns; ++column) {
      LVITEMA item;
      std::memset(&item, 0, sizeof(item));
      item.iSubItem = column;
      item.pszText = block.At(sizeof(LVITEMA));
      item.cchTextMax = static_cast<int>(kTextSize);
      char text[kTextSize] = {};
      block.Write(0, &item, sizeof(item));
      block.Write(sizeof(LVITEMA), text, 1);
      SendWithTimeout(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(block.At(0)));
      block.Read(sizeof(LVITEMA), text, kTextSize);
      text[kTextSize - 1] = '\0';
      cells.push_back(text);
    }
    rows.push_back(cells);
  }
  return rows;
}

bool ListViewSelect(HWND list, const std::vector<int>& rows) {
  CRemoteBlock block(list, sizeof(LVITEMA));
  if (!block.Valid()) return false;
  LVITEMA item;
  std::memset(&item, 0, sizeof(item));
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  bool ok =
      block.Write(0, &item, sizeof(item)) && SendWithTimeout(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                                                             reinterpret_cast<LPARAM>(block.At(0))) != -1;
  for (int row : rows) {
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ok = ok && block.Write(0, &item, sizeof(item)) &&
         SendWithTimeout(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(block.At(0))) != -1;
  }
  return ok;
}

bool ListViewRowRect(HWND list, int row, RECT* rect) {
  CRemoteBlock block(list, sizeof(RECT));
  RECT request = {LVIR_BOUNDS, 0, 0, 0};
  return block.Valid() && block.Write(0, &request, sizeof(request)) &&
         SendWithTimeout(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(block.At(0))) > 0 &&
         block.Read(0, rect, sizeof(RECT));
}

bool SetDateTime(HWND picker, const SYSTEMTIME& time) {
  CRemoteBlock block(picker, sizeof(SYSTEMTIME));
  return block.Valid() && block.Write(0, &time, sizeof(time)) &&
         SendWithTimeout(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(block.At(0))) > 0;
}

std::vector<std::string> ComboItems(HWND combo) {
  // Across processes the wide form is carried whole; the texts come back in the ANSI code page.
  std::vector<std::string> items;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count)) return items;
  for (int i = 0; i < static_cast<int>(count); ++i) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &length) || length >= 1024)
      break;
    wchar_t wide[1024] = {};
    SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000,
                        &length);
    char text[4096] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text) - 1, nullptr, nullptr);
    items.push_back(text);
  }
  return items;
}

namespace {

// Runs ImageMagick's import with arguments, then waits for the file.
bool Import(const std::string& arguments, const std::string& unixPath, DWORD timeoutMs) {
  // Wine starts a native program when it is given one; its arguments pass through unchanged.
  const std::string program = WindowsPath("/usr/bin/import");
  std::string commandLine = "import " + arguments + " " + unixPath;
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof(info));
  DeleteFileA(WindowsPath(unixPath).c_str());
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return false;
  }
  WaitForSingleObject(info.hProcess, timeoutMs);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return WaitFor([&] { return FileExists(WindowsPath(unixPath)); }, 2000);
}

}  // namespace

bool Screenshot(const std::string& unixPath, DWORD timeoutMs) {
  return Import("-window root", unixPath, timeoutMs);
}

bool ScreenshotWindow(HWND window, const std::string& unixPath, DWORD timeoutMs) {
  // Without a window manager the display shows no frames: the client area is what there is.
  RECT r;
  if (window == nullptr || !GetClientRect(window, &r) || r.right <= 0 || r.bottom <= 0) return false;
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  char crop[96];
  snprintf(crop, sizeof(crop), "-window root -crop %ldx%ld+%ld+%ld +repage", r.right, r.bottom,
           origin.x < 0 ? 0L : origin.x, origin.y < 0 ? 0L : origin.y);
  return Import(crop, unixPath, timeoutMs);
}

bool ScreenshotOf(HWND window, const std::string& unixPath, DWORD timeoutMs) {
  RECT rect = {};
  if (!GetWindowRect(window, &rect)) return false;
  // Painted now, with every child, before the picture is taken; the empty message waits for it.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  const std::string crop = "-window root -crop " + std::to_string(rect.right - rect.left) + "x" +
                           std::to_string(rect.bottom - rect.top) + "+" + std::to_string(rect.left) + "+" +
                           std::to_string(rect.top) + " +repage";
  return Import(crop, unixPath, timeoutMs);
}

bool ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button != nullptr && PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

CClient::CClient(const std::string& name) : m_name(name) {}

CClient::~CClient() {
  if (m_process != nullptr) {
    if (IsRunning()) Stop();
    CloseHandle(m_process);
  }
}

bool CClient::Start(std::string* error) {
  return Prepare(error) && Launch(error);
}

bool CClient::Prepare(std::string* error) {
  const std::string build = BuildDir();
  if (build.empty()) {
    if (error) *error = "QUILLON_BUILD_DIR is not set";
    return false;
  }
  const std::string bin = WindowsPath(build + "/bin/");
  m_folder = WindowsPath(build + "/tests/programs/" + m_name) + "\\";
  RemoveTree(m_folder.substr(0, m_folder.size() - 1));
  MakeTree(m_folder.substr(0, m_folder.size() - 1));

  const char* const deliverables[] = {"Quillon.exe", "Linkwell.dll", "Renewer.exe"};
  for (const char* file : deliverables) {
    const std::string from = bin + file;
    if (!FileExists(from)) continue;
    if (!CopyFileA(from.c_str(), (m_folder + file).c_str(), FALSE)) {
      if (error) *error = "cannot copy " + from;
      return false;
    }
  }
  if (!FileExists(m_folder + "Quillon.exe")) {
    if (error) *error = "Quillon.exe is not built in " + bin;
    return false;
  }
  const std::string advert = WindowsPath(SourceDir() + "/client/resources/DefaultAD.html");
  CopyFileA(advert.c_str(), (m_folder + app::kLocalAdPage).c_str(), FALSE);
  const std::string standIns[] = {WindowsPath(build + "/testbed/rasapi32.dll"), bin + "rasapi32.dll"};
  for (const std::string& standIn : standIns) {
    if (FileExists(standIn) && CopyFileA(standIn.c_str(), (m_folder + "rasapi32.dll").c_str(), FALSE)) break;
  }
  return true;
}

bool CClient::Launch(std::string* error) {
  if (m_folder.empty()) {
    if (error) *error = "the program folder is not laid out";
    return false;
  }
  if (m_process != nullptr) {
    if (IsRunning()) Stop();
    CloseHandle(m_process);
    m_process = nullptr;
    m_main = nullptr;
  }
  // The stand-in beside the program wins; without it the client still starts on Wine's own.
  SetEnvironmentVariableA("WINEDLLOVERRIDES", "mshtml=d;mscoree=d;rasapi32=n,b");

  m_process = StartProgram(m_folder + "Quillon.exe", m_folder, &m_pid);
  if (m_process == nullptr) {
    if (error) *error = "cannot start " + m_folder + "Quillon.exe";
    return false;
  }
  return true;
}

std::string CClient::ReadFile(const std::string& name) const {
  return ReadFileBytes(m_folder + name);
}

bool CClient::WriteFile(const std::string& name, const std::string& bytes) const {
  return WriteFileBytes(m_folder + name, bytes);
}

HANDLE CClient::StartAnother() const {
  return StartProgram(m_folder + "Quillon.exe", m_folder, nullptr);
}

HWND CClient::WaitForMainWindow(DWORD timeoutMs) {
  WaitFor(
      [&] {
        TopSearch search = {m_pid, nullptr, true, nullptr};
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
        m_main = search.found;
        return m_main != nullptr || !IsRunning();
      },
      timeoutMs);
  return m_main;
}

bool CClient::TakeOverRestarted(DWORD timeoutMs) {
  const DWORD before = m_pid;
  HWND main = nullptr;
  DWORD pid = 0;
  WaitFor(
      [&] {
        main = nullptr;
        TopSearch search = {before, nullptr, true, nullptr};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
              TopSearch* found = reinterpret_cast<TopSearch*>(data);
              DWORD owner = 0;
              GetWindowThreadProcessId(window, &owner);
              if (owner == found->pid || GetPropA(window, app::kTitle) == nullptr) return TRUE;
              found->found = window;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        main = search.found;
        if (main != nullptr) GetWindowThreadProcessId(main, &pid);
        return main != nullptr;
      },
      timeoutMs);
  if (main == nullptr) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
  if (process == nullptr) return false;
  if (m_process != nullptr) CloseHandle(m_process);
  m_process = process;
  m_pid = pid;
  m_main = main;
  return true;
}

bool CClient::IsRunning() const {
  return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

bool CClient::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (m_process == nullptr) return true;
  if (WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) GetExitCodeProcess(m_process, exitCode);
  return true;
}

void CClient::SendCommand(int id) const {
  PostMessageA(m_main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

HWND CClient::Control(int id) const {
  return FindDescendant(m_main, id);
}

bool CClient::Click(int id) const {
  HWND control = Control(id);
  if (control == nullptr) return false;
  // Posted, so that a click that opens a modal window does not hold the test.
  return PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(control)) != FALSE;
}

bool CClient::ClickAt(int id, int x, int y) const {
  HWND control = Control(id);
  if (control == nullptr) return false;
  const LPARAM where = MAKELPARAM(x, y);
  return PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, where) &&
         PostMessageA(control, WM_LBUTTONUP, 0, where);
}

bool CClient::Type(int id, const std::string& text) const {
  HWND control = Control(id);
  if (control == nullptr) return false;
  char name[32] = {};
  GetClassNameA(control, name, sizeof(name));
  if (lstrcmpiA(name, "ComboBox") == 0) {
    HWND edit = FindWindowExA(control, nullptr, "Edit", nullptr);
    if (edit != nullptr) control = edit;
  }
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             5000, &ignored) != 0;
}

bool CClient::SelectComboItem(int id, int index) const {
  HWND combo = Control(id);
  if (combo == nullptr) return false;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG, 5000,
                           &result) ||
      static_cast<int>(result) != index) {
    return false;
  }
  return PostMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                      reinterpret_cast<LPARAM>(combo)) != FALSE;
}

bool CClient::ClickCheckBox(int id) const {
  HWND box = Control(id);
  if (box == nullptr) return false;
  // BM_CLICK presses and releases the button as the mouse does; posted, so that the test never
  // waits for what the click starts.
  return PostMessageA(box, BM_CLICK, 0, 0) != FALSE;
}

std::string CClient::Text(int id) const {
  return WindowText(Control(id));
}

bool CClient::IsToolbarButtonEnabled(int command) const {
  HWND toolbar = FindWindowExA(m_main, nullptr, "ToolbarWindow32", nullptr);
  DWORD_PTR enabled = 0;
  if (toolbar == nullptr ||
      !SendMessageTimeoutA(toolbar, TB_ISBUTTONENABLED, command, 0, SMTO_ABORTIFHUNG, 5000, &enabled)) {
    return false;
  }
  return enabled != 0;
}

HWND CClient::WaitForMessageBox(DWORD timeoutMs) const {
  HWND box = nullptr;
  WaitFor(
      [&] {
        HWND dialog = FindDialog(m_pid);
        if (dialog != nullptr && GetDlgItem(dialog, kMessageBoxTextId) != nullptr) box = dialog;
        return box != nullptr;
      },
      timeoutMs);
  return box;
}

std::string CClient::MessageBoxText(HWND box) {
  return WindowText(GetDlgItem(box, kMessageBoxTextId));
}

void CClient::Answer(HWND box, int buttonId) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
}

void CClient::Stop(DWORD timeoutMs) {
  if (!IsRunning()) return;
  if (m_main != nullptr) SendCommand(ID_MENU_EXIT);
  if (!WaitForExit(timeoutMs)) {
    TerminateProcess(m_process, 1);
    WaitForExit(timeoutMs);
  }
}

}  // namespace driver
