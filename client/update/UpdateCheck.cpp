#include "client/update/UpdateCheck.h"

#include <shellapi.h>

#include "client/store/ConfigStore.h"
#include "common/HttpGet.h"
#include "dialengine/ConnectManage.h"
#include "updater/UpdateRules.h"

namespace {

constexpr DWORD kPollMs = 100;
constexpr DWORD kPathText = MAX_PATH;
constexpr DWORD kVersionText = 128;
constexpr UINT kShowUpdater = SW_SHOW;  // 5

constexpr char kConfigFile[] = "UpdateConfig.ini";
constexpr char kListFile[] = "UpdateList.ini";
constexpr char kUpdaterFile[] = "Renewer.exe";
constexpr char kQuestion[] = "发现新的版本，是否更新？";
constexpr char kQuestionCaption[] = "提示更新";

std::string ClientFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  const std::size_t slash = folder.rfind('\\');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

std::string TemporaryFolder() {
  char path[kPathText] = {};
  GetTempPathA(sizeof(path), path);
  return path;
}

// Fetches the list into path; false (nothing to read) when the request, its status or the file
// fails.
bool FetchList(const HttpAddress& address, const std::string& path) {
  CHttpGet request;
  if (!request.Send(address.server, address.port, address.object)) return false;
  const std::string status = request.StatusText();
  if (status == "404" || std::atoi(status.c_str()) != 200) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  // A list that cannot be saved is not read: an older file there would answer for it.
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool copied = request.CopyBodyTo(file);
  CloseHandle(file);
  return copied;
}

}  // namespace

UpdateSystem RealUpdateSystem() {
  UpdateSystem calls;
  calls.messageBox = MessageBoxA;
  calls.winExec = WinExec;
  return calls;
}

UpdateSystem& UpdateCalls() {
  static UpdateSystem calls = RealUpdateSystem();
  return calls;
}

bool CUpdateCheck::StartNetworkWait(HWND mainWindow, CConnectManage& manager) {
  if (m_waitStarted) return false;
  m_waitStarted = m_networkWait.Start([this, mainWindow, &manager] {
    while (!m_networkWait.StopRequested()) {
      if (manager.CheckNetType() == kNetThroughRas) {
        if (m_networkWait.SleepUnlessStopping(kPollMs)) return;
        PostMessageA(mainWindow, WM_NETWORK_READY, 0, 0);
        return;
      }
      if (m_networkWait.SleepUnlessStopping(kPollMs)) return;
    }
  });
  return m_waitStarted;
}

void CUpdateCheck::StopNetworkWait() {
  m_networkWait.Stop();
}

bool CUpdateCheck::NetworkWaitEnded() const {
  HANDLE thread = m_networkWait.Handle();
  return m_waitStarted && (thread == nullptr || WaitForSingleObject(thread, 0) == WAIT_OBJECT_0);
}

int CUpdateCheck::CheckForUpdate(HWND mainWindow, CConfigStore& config) {
  return CheckForUpdate(mainWindow, config, ClientFolder(), TemporaryFolder());
}

int CUpdateCheck::CheckForUpdate(HWND mainWindow, CConfigStore& config, const std::string& clientFolder,
                                 const std::string& temporaryFolder) {
  if (!config.GetUpdateSet()) return 0;
  const std::string configPath = clientFolder + kConfigFile;
  char installed[kPathText] = {};
  char address[kPathText] = {};
  GetPrivateProfileStringA("Version", "Version", "1.0", installed, sizeof(installed), configPath.c_str());
  GetPrivateProfileStringA("URL", "URL", "", address, sizeof(address), configPath.c_str());
  HttpAddress list;
  if (!SplitHttpAddress(address, list)) return 0;

  const std::string listPath = temporaryFolder + kListFile;
  if (!FetchList(list, listPath)) return 0;
  char offered[kVersionText] = {};
  GetPrivateProfileStringA("Version", "Version", "0.0", offered, sizeof(offered), listPath.c_str());
  if (!IsNewerVersion(offered, installed)) return 0;
  if (UpdateCalls().messageBox(mainWindow, kQuestion, kQuestionCaption, MB_YESNO | MB_ICONQUESTION) !=
      IDYES) {
    return 0;
  }
  // Quoted, so that a folder with blanks in its name is not read as a shorter program path.
  const std::string commandLine = "\"" + clientFolder + kUpdaterFile + "\"";
  UpdateCalls().winExec(commandLine.c_str(), kShowUpdater);
  return 0;
}

void CUpdateCheck::StartUpdater() {
  const std::string updater = ClientFolder() + kUpdaterFile;
  ShellExecuteA(nullptr, "open", updater.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
