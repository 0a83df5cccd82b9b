// The x86_64 installer as a subscriber and an administrator use it, in a Wine prefix of its own
// (scripts/wine-throwaway-prefix): a silent install into the default folder and into a chosen one,
// the client started from the installed folder, and a silent uninstall that removes the programs,
// the shortcuts, the autostart value and the entry of "Add or Remove Programs", keeping the
// subscriber's files unless /REMOVEDATA is given. A client that still runs stops the uninstall.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/resources/Resource.h"
#include "tests/support/Driver.h"

namespace {

const char kProduct[] = "远岸宽带拨号客户端";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon";
const char kSettingsKey[] = "Software\\Quillon";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAutostartValue[] = "Tarnex";
const char kStandIn[] = "rasapi32.dll";
// Every file the installer puts into the program folder.
const char* const kProgramFiles[] = {"Quillon.exe",    "Linkwell.dll",     "Renewer.exe",  "help.chm",
                                     "DefaultAD.html", "UpdateConfig.ini", "uninstall.exe"};

// Runs a command line and waits for it; returns its exit code, or -1 when it could not start or
// did not end in time.
long RunCommand(const std::string& commandLine, const std::string& folder = std::string(),
                DWORD timeoutMs = 120000) {
  std::string line = commandLine;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return -1;
  }
  CloseHandle(info.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(info.hProcess, 1);
  } else {
    GetExitCodeProcess(info.hProcess, &code);
  }
  CloseHandle(info.hProcess);
  return static_cast<long>(code);
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(const char* key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

// A text value under HKEY_LOCAL_MACHINE; false when it is missing.
bool ReadValue(const char* key, const char* name, std::string* text) {
  char buffer[1024] = {};
  DWORD size = sizeof(buffer) - 1;
  DWORD type = 0;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, &type, buffer, &size) != ERROR_SUCCESS) {
    return false;
  }
  *text = buffer;
  return true;
}

bool WriteValue(const char* key, const char* name, const std::string& text) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const bool set = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return set;
}

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
  return path;
}

// The file a shortcut points to; empty when it cannot be read.
std::string ShortcutTarget(const std::string& link) {
  std::string target;
  IShellLinkA* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&shellLink)))) {
    return target;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    char path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0))) {
      target = path;
    }
    file->Release();
  }
  shellLink->Release();
  return target;
}

bool WriteText(const std::string& path, const std::string& text) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(file);
  return ok;
}

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }

  // Starts the installed client from another working folder, as a shortcut elsewhere would. The
  // testbed's RAS stand-in beside it plays the system's remote-access service (Wine loads it from
  // the program's folder); nothing is dialled.
  HANDLE StartClient(const std::string& folder, DWORD* pid) {
    const std::string standIn = driver::WindowsPath(driver::BuildDir() + "/testbed/rasapi32.dll");
    if (!CopyFileA(standIn.c_str(), (folder + "\\" + kStandIn).c_str(), FALSE)) return nullptr;
    const std::string program = folder + "\\Quillon.exe";
    std::string line = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &startup,
                        &info)) {
      return nullptr;
    }
    CloseHandle(info.hThread);
    *pid = info.dwProcessId;
    return info.hProcess;
  }
};

TEST_F(InstallerTest, InstallsStartsTheClientAndUninstallsCleanlyKeepingTheSubscribersFilesUnlessAsked) {
  const char* setupPath = getenv("QUILLON_SETUP");
  ASSERT_NE(setupPath, nullptr) << "QUILLON_SETUP names no installer";
  const std::string setup = driver::WindowsPath(setupPath);
  ASSERT_TRUE(Exists(setup)) << setup;
  const std::string menu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + kProduct;
  const std::string desktopLink = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\" + kProduct + ".lnk";
  const std::vector<std::string> links = {menu + "\\" + kProduct + ".lnk",
                                          menu + "\\" + kProduct + "帮助.lnk",
                                          menu + "\\卸载" + kProduct + ".lnk", desktopLink};

  struct Case {
    const char* name;
    std::string chosenFolder;  // /D=; empty: the default folder
    const char* uninstallOptions;
    bool dataKept;
  };
  const Case cases[] = {
      {"default folder, subscriber's files kept", "", "/S", true},
      {"chosen folder with a Chinese name and a blank, everything removed", "C:\\宽带 软件\\Quillon",
       "/S /REMOVEDATA", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder =
        c.chosenFolder.empty() ? ShellFolder(CSIDL_PROGRAM_FILES) + "\\Quillon" : c.chosenFolder;
    std::string command = "\"" + setup + "\" /S";
    if (!c.chosenFolder.empty()) command += " /D=" + c.chosenFolder;
    ASSERT_EQ(RunCommand(command), 0) << command;

    for (const char* file : kProgramFiles) EXPECT_TRUE(Exists(folder + "\\" + file)) << file;
    char version[32] = {};
    GetPrivateProfileStringA("Version", "Version", "", version, sizeof(version),
                             (folder + "\\UpdateConfig.ini").c_str());
    EXPECT_STREQ(version, QUILLON_VERSION);
    char address[260] = {};
    GetPrivateProfileStringA("URL", "URL", "", address, sizeof(address),
                             (folder + "\\UpdateConfig.ini").c_str());
    EXPECT_EQ(std::string(address).rfind("http://", 0), 0u) << address;
    for (const std::string& link : links) EXPECT_TRUE(Exists(link)) << link;
    EXPECT_EQ(ShortcutTarget(desktopLink), folder + "\\Quillon.exe");
    std::string text;
    EXPECT_TRUE(ReadValue(kUninstallKey, "DisplayName", &text));
    EXPECT_EQ(text, kProduct);
    EXPECT_TRUE(ReadValue(kUninstallKey, "UninstallString", &text));
    EXPECT_EQ(text, "\"" + folder + "\\uninstall.exe\"");

    // The client comes up from the installed folder and writes its configuration there.
    DWORD pid = 0;
    HANDLE client = StartClient(folder, &pid);
    ASSERT_NE(client, nullptr);
    HWND main = nullptr;
    EXPECT_TRUE(driver::WaitFor(
        [&] {
          main = driver::FindWindowWithProperty(kProduct, pid);
          return main != nullptr && IsWindowVisible(main);
        },
        20000))
        << "no main window";
    EXPECT_EQ(driver::WindowText(main), kProduct);
    EXPECT_TRUE(driver::WaitFor([&] { return Exists(folder + "\\config.xml"); }, 10000));

    // While it runs, a silent uninstall changes nothing and says so by its exit code. (_?= runs
    // the uninstaller in place, so that its own exit code is seen.)
    const std::string uninstaller = "\"" + folder + "\\uninstall.exe\"";
    EXPECT_EQ(RunCommand(uninstaller + " /S _?=" + folder), 2);
    for (const char* file : kProgramFiles) EXPECT_TRUE(Exists(folder + "\\" + file)) << file;
    EXPECT_TRUE(KeyExists(kUninstallKey));

    PostMessageA(main, WM_COMMAND, ID_MENU_EXIT, 0);
    EXPECT_EQ(WaitForSingleObject(client, 20000), WAIT_OBJECT_0) << "the client did not end";
    CloseHandle(client);
    EXPECT_TRUE(DeleteFileA((folder + "\\" + kStandIn).c_str()));

    // What the subscriber gathered meanwhile: a month of records, the shortcut bar, the autostart.
    ASSERT_TRUE(CreateDirectoryA((folder + "\\data").c_str(), nullptr) || Exists(folder + "\\data"));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\data\\record").c_str(), nullptr) ||
                Exists(folder + "\\data\\record"));
    const std::string record = folder + "\\data\\record\\2024-05.xml";
    ASSERT_TRUE(WriteText(record, "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<record/>\r\n"));
    ASSERT_TRUE(WriteText(folder + "\\Settings.ini", "[Status]\r\nFolderCount=2\r\n"));
    ASSERT_TRUE(WriteValue(kRunKey, kAutostartValue, folder + "\\Quillon.exe"));

    // The uninstaller copies itself away and returns at once; the entry of "Add or Remove
    // Programs" is the last thing it removes.
    EXPECT_EQ(RunCommand(uninstaller + " " + c.uninstallOptions), 0);
    EXPECT_TRUE(driver::WaitFor([] { return !KeyExists(kUninstallKey); }, 60000))
        << "the uninstall did not end";

    for (const char* file : kProgramFiles) EXPECT_FALSE(Exists(folder + "\\" + file)) << file;
    for (const std::string& link : links) EXPECT_FALSE(Exists(link)) << link;
    EXPECT_FALSE(Exists(menu));
    EXPECT_FALSE(ReadValue(kRunKey, kAutostartValue, &text)) << text;
    EXPECT_FALSE(KeyExists(kSettingsKey));
    const char* const dataFiles[] = {"config.xml", "Settings.ini", "data\\record\\2024-05.xml"};
    for (const char* file : dataFiles) EXPECT_EQ(Exists(folder + "\\" + file), c.dataKept) << file;
    if (!c.dataKept) {
      EXPECT_FALSE(Exists(folder)) << "the program folder is left";
    }
  }
}

}  // namespace
