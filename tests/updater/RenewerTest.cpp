// Renewer.exe end to end: started in a program folder of its own against the testbed's update
// server on 127.0.0.1, watched and answered from outside as a person would, through its status
// text, its progress bar and its message boxes.
#include "tests/testbed/UpdateServer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <string>
#include <vector>

#include "tests/support/Driver.h"
#include "tests/testbed/TestbedServer.h"
#include "updater/Md5.h"
#include "updater/Resource.h"
#include "updater/UpdateTexts.h"

namespace {

using driver::CClient;

constexpr DWORD kWait = 20000;

std::string ParentOf(const std::string& path) {
  return path.substr(0, path.rfind('\\'));
}

void MakeTree(const std::string& folder) {
  for (std::size_t i = 3; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '\\') CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
  }
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

bool WriteBytes(const std::string& path, const std::string& bytes) {
  MakeTree(ParentOf(path));
  return driver::WriteFileBytes(path, bytes);
}

std::string ReadBytes(const std::string& path) {
  return driver::ReadFileBytes(path);
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Processes of the machine running that executable.
int ProcessesNamed(const char* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    count += lstrcmpiA(entry.szExeFile, name) == 0 ? 1 : 0;
  }
  CloseHandle(snapshot);
  return count;
}

// A file the update list offers: its name on the server, its folder in the program folder and its
// bytes.
struct Offered {
  std::string name;
  std::string directory;
  std::string bytes;
  std::string digest;  // empty: the bytes' digest
};

// The text of an update list. reboot < 0 leaves the key out; count < 0 writes files.size().
std::string ListText(const std::string& version, const std::string& software, int reboot,
                     const std::vector<std::string>& addresses, const std::vector<Offered>& files,
                     int count = -1) {
  std::string text =
      "[Version]\r\nVersion=" + version + "\r\n[SoftWare]\r\nSoftwareName=" + software + "\r\n";
  if (reboot >= 0) text += "Reboot=" + std::to_string(reboot) + "\r\n";
  text += "[FilesNum]\r\nNum=" + std::to_string(count < 0 ? files.size() : count) + "\r\n[UpdateFiles]\r\n";
  for (std::size_t i = 0; i < files.size(); ++i)
    text += "File" + std::to_string(i + 1) + "=" + addresses[i] + "\r\n";
  text += "[UpdateDirs]\r\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    text += "Dir" + std::to_string(i + 1) + "=" + files[i].directory + "\r\n";
  }
  text += "[MD5]\r\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string digest =
        files[i].digest.empty() ? Md5Text(files[i].bytes.data(), files[i].bytes.size()) : files[i].digest;
    text += "MD5" + std::to_string(i + 1) + "=" + digest + "\r\n";
  }
  return text;
}

// One run of an updater program in a program folder of its own.
class CUpdaterRun {
 public:
  // program: the Windows path of the updater to copy in as "Renewer.exe".
  CUpdaterRun(const std::string& name, const std::string& program) {
    m_folder = driver::WindowsPath(driver::BuildDir() + "/tests/programs/" + name) + "\\";
    RemoveTree(ParentOf(m_folder));
    MakeTree(ParentOf(m_folder));
    CopyFileA(program.c_str(), (m_folder + "Renewer.exe").c_str(), FALSE);
  }
  // A run in the program folder of a client laid out by the driver.
  explicit CUpdaterRun(const CClient& client) : m_folder(client.Folder()) {}

  ~CUpdaterRun() {
    if (m_process != nullptr) {
      if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
      }
      CloseHandle(m_process);
    }
  }

  const std::string& Folder() const { return m_folder; }

  void WriteConfig(const std::string& version, const std::string& address) {
    ASSERT_TRUE(WriteBytes(m_folder + texts::kConfigFile,
                           "[Version]\r\nVersion=" + version + "\r\n[URL]\r\nURL=" + address + "\r\n"));
  }

  void Start() {
    m_process = driver::StartProgram(m_folder + "Renewer.exe", m_folder, &m_pid);
    ASSERT_NE(m_process, nullptr);
  }

  // Starts the updater and waits for its window.
  void Open() {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(driver::WaitFor(
        [&] {
          m_window = driver::FindWindowWithProperty(texts::kRunningProperty, m_pid);
          return m_window != nullptr;
        },
        kWait))
        << "no updater window";
  }

  HWND Window() const { return m_window; }
  DWORD Pid() const { return m_pid; }
  HANDLE Process() const { return m_process; }
  std::string Status() const { return driver::WindowText(GetDlgItem(m_window, IDC_STATUS)); }
  int Position() const { return driver::ProgressPosition(GetDlgItem(m_window, IDC_PROGRESS)); }
  bool WaitForStatus(const std::string& text) const {
    return driver::WaitFor([&] { return Status() == text; }, kWait);
  }
  bool Exited(DWORD timeoutMs = kWait) const {
    return WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0;
  }
  // Presses "确定", which ends the program.
  bool Close() {
    PostMessageA(m_window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
    return Exited();
  }

 private:
  std::string m_folder;
  HANDLE m_process = nullptr;
  DWORD m_pid = 0;
  HWND m_window = nullptr;
};

class RenewerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_root = driver::BuildDir() + "/tests/update-root";
    RemoveTree(driver::WindowsPath(s_root));
    MakeTree(driver::WindowsPath(s_root));
    s_server = new testbed::CUpdateServer();
    s_serverError.clear();
    if (!s_server->Start(s_root, &s_serverError)) s_serverError += " ";
  }
  static void TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(s_serverError.empty()) << s_serverError;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_case = std::string("/") + info->name() + std::to_string(++s_serial);
  }

  static std::string Deliverable() { return driver::WindowsPath(driver::BuildDir() + "/bin/Renewer.exe"); }

  // Serves bytes at the path under this case's folder of the server; returns the path.
  std::string Serve(const std::string& name, const std::string& bytes) {
    const std::string path = m_case + "/" + name;
    EXPECT_TRUE(WriteBytes(driver::WindowsPath(s_root + path), bytes));
    return path;
  }
  std::string ListPath() const { return m_case + "/UpdateList.ini"; }

  // Serves the files and a list of them; returns the list's address.
  std::string ServeList(const std::string& version, const std::string& software, int reboot,
                        const std::vector<Offered>& files, int count = -1) {
    std::vector<std::string> addresses;
    for (const Offered& file : files) addresses.push_back(s_server->Url(Serve(file.name, file.bytes)));
    Serve("UpdateList.ini", ListText(version, software, reboot, addresses, files, count));
    return s_server->Url(ListPath());
  }

  // Paths requested during this case.
  std::vector<std::string> Requested() {
    std::vector<std::string> mine;
    for (const std::string& path : s_server->Log()) {
      if (path.compare(0, m_case.size() + 1, m_case + "/") == 0) mine.push_back(path.substr(m_case.size()));
    }
    return mine;
  }

  static std::string Shot(const char* name) {
    return driver::BuildDir() + "/tests/programs/" + name + ".png";
  }

  static std::string s_root;
  static testbed::CUpdateServer* s_server;
  static std::string s_serverError;
  static int s_serial;
  std::string m_case;
};

std::string RenewerTest::s_root;
testbed::CUpdateServer* RenewerTest::s_server = nullptr;
std::string RenewerTest::s_serverError;
int RenewerTest::s_serial = 0;

using Requests = std::vector<std::string>;

TEST_F(RenewerTest, TheListsAnswersEndTheCheck) {
  struct Case {
    const char* list;  // null: no list on the server
    int status;        // nonzero: the server answers the list with it
    std::string text;
  };
  const Case cases[] = {
      {"[Version]\r\nVersion=1.0\r\n", 0, texts::kUpToDate},
      {"[Version]\r\nVersion=1.00\r\n[FilesNum]\r\nNum=1\r\n", 0, texts::kUpToDate},
      {"[SoftWare]\r\nSoftwareName=Quillon.exe\r\n", 0, texts::kUpToDate},
      {"[Version]\r\nVersion=0.9\r\n", 0, texts::kUpToDate},
      {nullptr, 0, texts::kListMissing},
      {"[Version]\r\nVersion=2.0\r\n", 503, std::string(texts::kListStatusPrefix) + "503"},
      {"[Version]\r\nVersion=2.0\r\n", 403, std::string(texts::kListStatusPrefix) + "403"},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " for list " + (c.list ? c.list : "none"));
    m_case = "/ListAnswers" + std::to_string(++row);
    if (c.list) Serve("UpdateList.ini", c.list);
    if (c.status) {
      ASSERT_TRUE(s_server->Answer(ListPath(), c.status));
    }
    CUpdaterRun run("renewer-answers", Deliverable());
    ASSERT_NO_FATAL_FAILURE(run.WriteConfig("1.0", s_server->Url(ListPath())));
    ASSERT_NO_FATAL_FAILURE(run.Open());
    EXPECT_TRUE(run.WaitForStatus(c.text)) << run.Status();
    EXPECT_EQ(run.Position(), 5);
    EXPECT_EQ(Requested(), Requests{"/UpdateList.ini"});
    if (row == 1) {
      EXPECT_TRUE(driver::Screenshot(Shot("renewer-up-to-date")));
    }
    EXPECT_EQ(driver::WindowText(run.Window()), "在线更新");
    EXPECT_TRUE(run.Close());
  }
}

TEST_F(RenewerTest, WithoutAServerTheErrorIsShownAndTheWindowStays) {
  CUpdaterRun run("renewer-no-server", Deliverable());
  ASSERT_NO_FATAL_FAILURE(run.WriteConfig(
      "1.0", "http://127.0.0.1:" + std::to_string(testbed::UnusedPort()) + "/UpdateList.ini"));
  ASSERT_NO_FATAL_FAILURE(run.Open());
  HWND box = driver::WaitForMessageBoxOf(run.Pid(), kWait);
  ASSERT_NE(box, nullptr);
  const std::string text = CClient::MessageBoxText(box);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(run.Status(), text);
  CClient::Answer(box, IDOK);
  EXPECT_TRUE(driver::WaitFor([&] { return driver::FindMessageBox(run.Pid()) == nullptr; }, kWait));
  EXPECT_FALSE(run.Exited(0));
  EXPECT_EQ(run.Status(), text);
  EXPECT_TRUE(run.Close());
}

TEST_F(RenewerTest, AConfigWithoutAnHttpAddressEndsBeforeTheWindow) {
  for (const char* address : {"https://127.0.0.1/UpdateList.ini", "ftp://127.0.0.1/UpdateList.ini", ""}) {
    SCOPED_TRACE(address);
    CUpdaterRun run("renewer-config", Deliverable());
    if (*address != '\0') {
      ASSERT_NO_FATAL_FAILURE(run.WriteConfig("1.0", address));
    }
    ASSERT_NO_FATAL_FAILURE(run.Start());
    HWND box = driver::WaitForMessageBoxOf(run.Pid(), kWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(CClient::MessageBoxText(box), texts::kConfigError);
    EXPECT_EQ(driver::FindWindowWithProperty(texts::kRunningProperty, run.Pid()), nullptr);
    CClient::Answer(box, IDOK);
    EXPECT_TRUE(run.Exited());
  }
}

TEST_F(RenewerTest, ANewerVersionIsInstalledWithTheClientStoppedAndStartedAgain) {
  CClient client("renewer-install");
  std::string error;
  ASSERT_TRUE(client.Prepare(&error)) << error;
  CUpdaterRun run(client);
  const std::string newConfig =
      "[Version]\r\nVersion=1.1\r\n[URL]\r\nURL=" + s_server->Url(ListPath()) + "\r\n";
  const std::string skin(70000, '\x5a');
  const std::string listAddress =
      ServeList("1.1", "Quillon.exe", -1,
                {{texts::kConfigFile, "", newConfig, ""}, {"blue.bmp", "skins\\blue\\", skin, ""}});
  ASSERT_NO_FATAL_FAILURE(run.WriteConfig("1.0", listAddress));
  ASSERT_TRUE(client.Launch(&error)) << error;
  ASSERT_NE(client.WaitForMainWindow(), nullptr);
  const DWORD firstClient = client.ProcessId();
  HANDLE firstProcess = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), client.Process(), GetCurrentProcess(), &firstProcess, 0,
                              FALSE, DUPLICATE_SAME_ACCESS));

  // While the list is held back the updater shows that it checks.
  ASSERT_TRUE(s_server->Hold(ListPath()));
  ASSERT_NO_FATAL_FAILURE(run.Open());
  ASSERT_TRUE(s_server->WaitForRequests(ListPath(), 1, kWait));
  EXPECT_EQ(run.Status(), texts::kChecking);
  EXPECT_EQ(run.Position(), 5);
  EXPECT_TRUE(driver::Screenshot(Shot("renewer-checking")));
  ASSERT_TRUE(s_server->Unhold());

  EXPECT_TRUE(run.WaitForStatus(texts::kDone)) << run.Status();
  EXPECT_EQ(run.Position(), 100);
  EXPECT_TRUE(driver::Screenshot(Shot("renewer-done")));
  EXPECT_EQ(Requested(), (Requests{"/UpdateList.ini", "/UpdateConfig.ini", "/blue.bmp"}));
  EXPECT_EQ(ReadBytes(run.Folder() + texts::kConfigFile), newConfig);
  EXPECT_EQ(ReadBytes(run.Folder() + "skins\\blue\\blue.bmp"), skin);
  EXPECT_FALSE(Exists(run.Folder() + "UpdateConfig.ini.upf"));
  EXPECT_FALSE(Exists(run.Folder() + "blue.bmp.upf"));

  // The client was stopped and a new one started from the program folder.
  EXPECT_EQ(WaitForSingleObject(firstProcess, kWait), WAIT_OBJECT_0);
  CloseHandle(firstProcess);
  ASSERT_TRUE(client.TakeOverRestarted());
  EXPECT_NE(client.ProcessId(), firstClient);
  EXPECT_TRUE(run.Close());
  client.Stop();

  // The list brought the new version with it: the next run finds nothing newer.
  CUpdaterRun again(client);
  ASSERT_NO_FATAL_FAILURE(again.Open());
  EXPECT_TRUE(again.WaitForStatus(texts::kUpToDate)) << again.Status();
  EXPECT_TRUE(again.Close());
}

TEST_F(RenewerTest, WithRebootZeroTheClientRunsOnAndItsLockedProgramIsNotReplaced) {
  CClient client("renewer-no-reboot");
  std::string error;
  ASSERT_TRUE(client.Prepare(&error)) << error;
  CUpdaterRun run(client);
  const std::string original = ReadBytes(run.Folder() + "Quillon.exe");
  ASSERT_FALSE(original.empty());
  const std::string listAddress =
      ServeList("1.1", "Quillon.exe", 0,
                {{"news.txt", "data\\", "new\r\n", ""}, {"Quillon.exe", "", "not a program", ""}});
  ASSERT_NO_FATAL_FAILURE(run.WriteConfig("1.0", listAddress));
  ASSERT_TRUE(client.Launch(&error)) << error;
  ASSERT_NE(client.WaitForMainWindow(), nullptr);

  ASSERT_NO_FATAL_FAILURE(run.Open());
  // The running program cannot be deleted: the update says it failed instead of success.
  EXPECT_TRUE(run.WaitForStatus(texts::kNotDone)) << run.Status();
  EXPECT_EQ(run.Position(), 95);
  EXPECT_EQ(ReadBytes(run.Folder() + "data\\news.txt"), "new\r\n");
  EXPECT_EQ(ReadBytes(run.Folder() + "Quillon.exe"), original);
  EXPECT_TRUE(client.IsRunning());
  EXPECT_EQ(ProcessesNamed("Quillon.exe"), 1);
  EXPECT_TRUE(run.Close());
}

TEST_F(RenewerTest, AFileThatCannotBeReplacedFailsTheUpdateAndTheClientStillComesBack) {
  CClient client("renewer-locked");
  std::string error;
  ASSERT_TRUE(client.Prepare(&error)) << error;
  CUpdaterRun run(client);
  ASSERT_TRUE(WriteBytes(run.Folder() + "data\\locked.txt", "old"));
  ASSERT_NO_FATAL_FAILURE(run.WriteConfig(
      "1.0",
      ServeList("1.1", "Quillon.exe", 1, {{"locked.txt", "data\\", "new", ""}, {"after.txt", "", "x", ""}})));
  ASSERT_TRUE(client.Launch(&error)) << error;
  ASSERT_NE(client.WaitForMainWindow(), nullptr);
  const DWORD firstClient = client.ProcessId();
  // Another program holds the file open and lets nobody delete it.
  HANDLE held =
      CreateFileA((run.Folder() + "data\\locked.txt").c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  ASSERT_NO_FATAL_FAILURE(run.Open());
  EXPECT_TRUE(run.WaitForStatus(texts::kNotDone)) << run.Status();
  EXPECT_EQ(run.Position(), 95);
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(run.Folder() + "data\\locked.txt"), "old");
  // The list stops at the file that failed; the stopped client is started again all the same.
  EXPECT_FALSE(Exists(run.Folder() + "after.txt"));
  ASSERT_TRUE(client.TakeOverRestarted());
  EXPECT_NE(client.ProcessId(), firstClient);
  EXPECT_TRUE(run.Close());
}

TEST_F(RenewerTest, AListThatNamesTheUpdaterAsTheClientDoesNotEndIt) {
  CUpdaterRun run("renewer-self", Deliverable());
  ASSERT_NO_FATAL_FAILURE(run.WriteConfig("1.0", ServeList("1.1", "Renewer.exe", 1, {})));
  ASSERT_NO_FATAL_FAILURE(run.Open());
  EXPECT_TRUE(run.WaitForStatus(texts::kDone)) << run.Status();
  EXPECT_FALSE(run.Exited(0));
  // The "client" it starts again is a second updater, started before the status was set: it finds
  // this one's window and ends.
  EXPECT_TRUE(driver::WaitFor([] { return ProcessesNamed("Renewer.exe") == 1; }, kWait));
  EXPECT_TRUE(run.Close());
}

TEST_F(RenewerTest, ANewerListWithoutFilesCompletes) {
  CUpdaterRun run("renewer-empty", Deliverable());
  ASSERT_NO_FATAL_FAILURE(run.WriteConfig("1.0", ServeList("1.5", "", 0, {})));
  ASSERT_NO_FATAL_FAILURE(run.Open());
  EXPECT_TRUE(run.WaitForStatus(texts::kDone)) << run.Status();
  EXPECT_EQ(run.Position(), 100);
  EXPECT_EQ(Requested(), Requests{"/UpdateList.ini"});
  EXPECT_TRUE(run.Close());
}

TEST_F(RenewerTest, ADigestInUpperCaseFailsAfterThreeAttemptsWithTheRetryTexts) {
  CUpdaterRun run("renewer-digest", Deliverable());
  const std::string bytes = "payload";
  std::string digest = Md5Text(bytes.data(), bytes.size());
  for (char& c : digest) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  ASSERT_NO_FATAL_FAILURE(
      run.WriteConfig("1.0", ServeList("1.1", "", 0, {{"payload.dll", "", bytes, digest}})));
  const std::string file = m_case + "/payload.dll";
  ASSERT_TRUE(s_server->Hold(file));
  ASSERT_NO_FATAL_FAILURE(run.Open());
  ASSERT_TRUE(s_server->WaitForRequests(file, 1, kWait));
  EXPECT_EQ(run.Status(), std::string(texts::kFoundPrefix) + "1.1" + texts::kFoundSuffix);
  EXPECT_EQ(run.Position(), 36);
  // Each new attempt says so while its request is held.
  for (int attempt = 2; attempt <= 3; ++attempt) {
    ASSERT_TRUE(s_server->Release());
    ASSERT_TRUE(s_server->WaitForRequests(file, attempt, kWait));
    EXPECT_EQ(run.Status(), texts::kRetrying) << "attempt " << attempt;
  }
  ASSERT_TRUE(s_server->Unhold());
  EXPECT_TRUE(run.WaitForStatus(texts::kVerifyFailed)) << run.Status();
  EXPECT_EQ(s_server->Requests(file), 3);
  EXPECT_EQ(run.Position(), 36);
  EXPECT_FALSE(Exists(run.Folder() + "payload.dll"));
  EXPECT_EQ(ReadBytes(run.Folder() + "payload.dll.upf"), bytes);
  EXPECT_TRUE(run.Close());
}

TEST_F(RenewerTest, AListThatWouldWriteOutsideTheProgramFolderIsRefusedBeforeAnyDownload) {
  struct Case {
    const char* name;
    const char* directory;
    const char* software;
  };
  const Case cases[] = {
      {"evil.dll", "..\\", "Quillon.exe"},          {"evil.dll", "data\\..\\..\\", "Quillon.exe"},
      {"evil.dll", "C:\\windows\\", "Quillon.exe"}, {"evil.dll", "\\windows\\", "Quillon.exe"},
      {"evil.dll:stream", "", "Quillon.exe"},       {"evil.dll", "", "..\\..\\windows\\notepad.exe"},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " in " + c.directory + " for " + c.software);
    m_case = "/Hostile" + std::to_string(++row);
    CUpdaterRun run("renewer-hostile", Deliverable());
    // A harmless first file: it is not fetched either.
    ASSERT_NO_FATAL_FAILURE(run.WriteConfig(
        "1.0",
        ServeList("1.1", c.software, 1, {{"fine.txt", "", "fine", ""}, {c.name, c.directory, "evil", ""}})));
    ASSERT_NO_FATAL_FAILURE(run.Open());
    EXPECT_TRUE(run.WaitForStatus(texts::kUnsafeList)) << run.Status();
    EXPECT_EQ(Requested(), Requests{"/UpdateList.ini"});
    EXPECT_FALSE(Exists(run.Folder() + "fine.txt.upf"));
    EXPECT_TRUE(run.Close());
  }
}

TEST_F(RenewerTest, ASecondUpdaterBringsTheFirstToTheFrontAndEnds) {
  CUpdaterRun first("renewer-twice", Deliverable());
  ASSERT_NO_FATAL_FAILURE(first.WriteConfig("1.0", ServeList("1.0", "", 0, {})));
  ASSERT_NO_FATAL_FAILURE(first.Open());
  ASSERT_TRUE(first.WaitForStatus(texts::kUpToDate));
  ShowWindow(first.Window(), SW_MINIMIZE);
  ASSERT_TRUE(driver::WaitFor([&] { return IsIconic(first.Window()) != FALSE; }, kWait));

  CUpdaterRun second(first);
  ASSERT_NO_FATAL_FAILURE(second.Start());
  DWORD code = 1;
  ASSERT_TRUE(second.Exited());
  GetExitCodeProcess(second.Process(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(driver::WaitFor([&] { return IsIconic(first.Window()) == FALSE; }, kWait));
  EXPECT_TRUE(IsWindowVisible(first.Window()));
  EXPECT_EQ(GetForegroundWindow(), first.Window());
  EXPECT_EQ(Requested(), Requests{"/UpdateList.ini"});
  EXPECT_TRUE(first.Close());
}

// Signs a file with openssl, as the provider does; the signature goes beside it as ".sig".
bool Sign(const std::string& keyUnix, const std::string& fileUnix, const std::string& signatureUnix) {
  const std::string windowsSignature = driver::WindowsPath(signatureUnix);
  DeleteFileA(windowsSignature.c_str());
  std::string commandLine =
      "openssl dgst -sha256 -sign " + keyUnix + " -out " + signatureUnix + " " + fileUnix;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(driver::WindowsPath("/usr/bin/openssl").c_str(), &commandLine[0], nullptr, nullptr,
                      FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  if (info.hProcess) CloseHandle(info.hProcess);
  if (info.hThread) CloseHandle(info.hThread);
  // Wine hands back no usable handle of a Linux program: the finished signature tells it ended.
  return driver::WaitFor(
      [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return GetFileAttributesExA(windowsSignature.c_str(), GetFileExInfoStandard, &data) &&
               data.nFileSizeLow == 256;
      },
      kWait);
}

TEST_F(RenewerTest, AProgramWithTheProvidersKeyTakesOnlyListsSignedWithIt) {
  const std::string keys = driver::BuildDir() + "/tests/updater/";
  const std::string keyed = driver::WindowsPath(driver::BuildDir() + "/tests/renewer_keyed.exe");
  ASSERT_TRUE(Exists(keyed));
  enum Signature { kNone, kValid, kOtherKey, kOtherList };
  struct Case {
    Signature signature;
    std::string status;
    Requests requested;
  };
  const Case cases[] = {
      {kNone, texts::kSignatureMissing, {"/UpdateList.ini", "/UpdateList.ini.sig"}},
      {kOtherKey, texts::kSignatureInvalid, {"/UpdateList.ini", "/UpdateList.ini.sig"}},
      {kOtherList, texts::kSignatureInvalid, {"/UpdateList.ini", "/UpdateList.ini.sig"}},
      {kValid, texts::kDone, {"/UpdateList.ini", "/UpdateList.ini.sig", "/signed.txt"}},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    m_case = "/Signed" + std::to_string(++row);
    CUpdaterRun run("renewer-signed", keyed);
    ASSERT_NO_FATAL_FAILURE(
        run.WriteConfig("1.0", ServeList("1.1", "", 0, {{"signed.txt", "", "signed", ""}})));
    const std::string list = s_root + ListPath();
    if (c.signature == kOtherList) {
      const std::string other = s_root + m_case + "/other.ini";
      ASSERT_TRUE(WriteBytes(driver::WindowsPath(other), "[Version]\r\nVersion=1.1\r\n"));
      ASSERT_TRUE(Sign(keys + "list-key.pem", other, list + ".sig"));
    } else if (c.signature != kNone) {
      ASSERT_TRUE(
          Sign(keys + (c.signature == kValid ? "list-key.pem" : "other-key.pem"), list, list + ".sig"));
    }
    ASSERT_NO_FATAL_FAILURE(run.Open());
    EXPECT_TRUE(run.WaitForStatus(c.status)) << run.Status();
    EXPECT_EQ(Requested(), c.requested);
    EXPECT_EQ(Exists(run.Folder() + "signed.txt"), c.signature == kValid);
    EXPECT_TRUE(run.Close());
  }
}

TEST_F(RenewerTest, TheAboutBoxOpensFromTheSystemMenu) {
  CUpdaterRun run("renewer-about", Deliverable());
  ASSERT_NO_FATAL_FAILURE(run.WriteConfig("1.0", ServeList("1.0", "", 0, {})));
  ASSERT_NO_FATAL_FAILURE(run.Open());
  ASSERT_TRUE(run.WaitForStatus(texts::kUpToDate));
  PostMessageA(run.Window(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = nullptr;
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        about = driver::FindDialog(run.Pid(), "关于 Renewer");
        return about != nullptr;
      },
      kWait));
  EXPECT_EQ(driver::WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)), "在线升级1.0 版");
  EXPECT_TRUE(driver::Screenshot(Shot("renewer-about")));
  CClient::Answer(about, IDOK);
  EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(about); }, kWait));
  EXPECT_TRUE(run.Close());
}

}  // namespace
