// CUpdateDlg: the updater's window (template 102, "在线更新") and the work behind it.
//
// At start it shows "checking" and runs VersionCheckThread, which fetches the update list into the
// temporary folder and compares its version with the installed one; a newer version starts
// DownloadThread, which fetches and verifies every listed file and then installs them. Both
// threads report through the progress bar 1003 and the status text 1004. "确定" (1006) ends the
// window at any moment; the program ends with it, also while a thread still works.
#pragma once

#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/WorkerThreads.h"
#include "common/ui/SkinnedDialog.h"
#include "updater/UpdateList.h"
#include "updater/UpdateRules.h"

class CHttpGet;

class CUpdateDlg : public ui::CSkinnedDialog {
 public:
  // Both folders end with a backslash. Loads the program's icon and the list key it carries.
  CUpdateDlg(const std::string& temporaryFolder, const std::string& programFolder);

  // Reads "UpdateConfig.ini" of the program folder: the installed version (default "1.0") and the
  // address of the update list. False when that address is not an absolute http address.
  bool ReadConfig();

  // Control values: the status text and the progress position.
  std::string m_status;
  int m_position = 5;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void VersionCheckThread();
  void DownloadThread();
  // Fetches one file into its download name and checks its digest: 1 when it matches.
  int DownloadFile(const UpdateEntry& entry, const UpdateTargets& target);
  // The reason to refuse the list just saved at listPath, or null when its signature verifies.
  const char* CheckListSignature(const std::string& listPath);

  // Called from the threads: the controls are changed by messages sent to them.
  void SetStatus(const std::string& text);
  void SetPosition(int position);
  int Position();
  void ShowMessage(const std::string& text, UINT icon);
  // A request that could not be sent: its error text into the status and into a message.
  void ReportInternetError(DWORD error);

  std::string m_temporaryFolder;
  std::string m_programFolder;
  std::string m_installedVersion;
  std::string m_offeredVersion;
  std::string m_clientName;
  int m_reboot = 1;
  HttpAddress m_listAddress;
  UpdateList m_list;
  std::vector<UpdateTargets> m_targets;
  std::string m_listKey;

  ui::CIcon m_icon;
  ui::CIcon m_smallIcon;
  // The window, for the threads: it stays valid to call through after the window is gone.
  HWND m_window = nullptr;
  CWorkerThread m_checkThread;
  CWorkerThread m_downloadThread;
};
