#include "client/core/MainDlg.h"

#include <windows.h>

#include <string>

#include "client/core/AboutDlg.h"
#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/ProgramFolder.h"
#include "client/tools/DiagBusyDlg.h"
#include "client/tools/NetDiagnoseDlg.h"
#include "client/tools/RecordQueryDlg.h"
#include "client/tools/SettingsDlg.h"
#include "client/tools/SettingsRules.h"
#include "client/tools/ShutdownSetPage.h"
#include "client/tools/StatDlg.h"
#include "client/tools/UserManagementDlg.h"
#include "dialengine/ConnectManage.h"

namespace {

constexpr UINT kHtmlHelpDisplayTopic = 0;

}  // namespace

// The tool dialogs open here, each on the stack for one command.
void CMainDlg::OpenSettings() {
  CSettingsDlg dialog(m_config);
  dialog.DoModal(m_hwnd);
}

void CMainDlg::OpenStatistics() {
  CStatDlg dialog(m_connection, ProgramFolder());
  dialog.DoModal(m_hwnd);
}

void CMainDlg::OpenUserManagement() {
  CUserManagementDlg dialog(m_config);
  dialog.DoModal(m_hwnd);
}

void CMainDlg::OpenDiagnosis() {
  // A line in use cannot be diagnosed.
  if (m_connection.Manager().CheckNet() == kNetThroughRas) {
    CDiagBusyDlg busy;
    busy.DoModal(m_hwnd);
    return;
  }
  CNetDiagnoseDlg dialog;
  dialog.DoModal(m_hwnd);
}

void CMainDlg::OpenRecordQuery() {
  CRecordQueryDlg dialog(ProgramFolder());
  dialog.DoModal(m_hwnd);
}

void CMainDlg::StartUpdater() {
  CUpdateCheck::StartUpdater();
}

// The network-wait thread of the update check: WM_NETWORK_READY once the first dial connection is
// seen.
void CMainDlg::StartNetworkWait() {
  m_update.StartNetworkWait(m_hwnd, m_connection.Manager());
}

void CMainDlg::StopNetworkWait() {
  m_update.StopNetworkWait();
}

void CMainDlg::OnNetworkReady() {
  m_update.CheckForUpdate(m_hwnd, m_config);
}

// The timed shutdown is checked here once a second, against the configuration as it is now. A
// check that comes late (the window was busy, the timer slipped past a second) still carries out
// a shutdown whose second has passed since the previous check.
void CMainDlg::OnShutdownTimer() {
  const int64_t now = DateTimeInstant(LocalNow());
  // Before the first check, and after the clock was set back, only the current second counts.
  const int64_t previous =
      m_lastShutdownCheck != 0 && m_lastShutdownCheck <= now ? m_lastShutdownCheck : now - 1;
  m_lastShutdownCheck = now;

  std::string time, type;
  m_config.GetSystemSet(time, type);
  if (time.empty() || type.empty()) return;
  DateTime at;
  unsigned flags = 0;
  if (!ParseDateTime(time, &at) || !ShutdownFlags(type, &flags)) return;
  if (!ShutdownDue(DateTimeInstant(at), previous, now)) return;
  // The system answers at once and ends the session afterwards; the session's end reaches this
  // window as WM_ENDSESSION (OnEndSession). A refusal changes nothing.
  ExitWindowsEx(flags, 0);
}

// The system ends the process soon after this returns, without destroying the window: the
// connection is closed here as the exit would close it (the current record as a normal end, the
// offline notice, the hang-up), so a subscriber's line is never left up and recorded as lost.
void CMainDlg::OnEndSession() {
  KillTimer(m_hwnd, kShutdownTimer);
  StopSupervision();
  m_tray.Remove();
}

void CMainDlg::OpenHelp() {
  const std::string path = ProgramFolder() + app::kHelpFile;
  HWND viewer = nullptr;
  // A missing file never reaches the viewer: some viewers report it with a box of their own.
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (!m_helpViewer.Valid()) m_helpViewer.Reset(LoadLibraryA("hhctrl.ocx"));
    typedef HWND(WINAPI * HtmlHelpFunction)(HWND, LPCSTR, UINT, DWORD_PTR);
    HtmlHelpFunction htmlHelp =
        m_helpViewer.Valid() ? reinterpret_cast<HtmlHelpFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(m_helpViewer.Get(), "HtmlHelpA")))
                             : nullptr;
    if (htmlHelp != nullptr) viewer = htmlHelp(m_hwnd, path.c_str(), kHtmlHelpDisplayTopic, 0);
  }
  if (viewer == nullptr) {
    MessageBoxA(m_hwnd, "远岸宽带拨号客户端帮助文件没找到！请确定帮助文件是否存在！", app::kNotice,
                MB_OK | MB_ICONERROR);
  }
}

void CMainDlg::ShowAbout() {
  CAboutDlg about;
  about.DoModal(m_hwnd);
}

void CMainDlg::ShowLocalAdvertisement() {
  if (!m_adView.IsCreated() && !m_adView.Create(Item(IDC_AD_VIEW))) return;
  const std::string page = ProgramFolder() + app::kLocalAdPage;
  m_adView.Navigate(page.c_str());
}
