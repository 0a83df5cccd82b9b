#include "client/core/MainDlg.h"

#include <windows.h>

#include <string>

#include "client/core/AboutDlg.h"
#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"
#include "client/store/ProgramFolder.h"
#include "client/tools/RecordQueryDlg.h"
#include "client/tools/StatDlg.h"
#include "client/tools/UserManagementDlg.h"

namespace {

constexpr UINT kHtmlHelpDisplayTopic = 0;

}  // namespace

// The tool dialogs open here, each on the stack for one command.
void CMainDlg::OpenSettings() {}

void CMainDlg::OpenStatistics() {
  CStatDlg dialog(m_connection, ProgramFolder());
  dialog.DoModal(m_hwnd);
}

void CMainDlg::OpenUserManagement() {
  CUserManagementDlg dialog(m_config);
  dialog.DoModal(m_hwnd);
}

void CMainDlg::OpenDiagnosis() {}

void CMainDlg::OpenRecordQuery() {
  CRecordQueryDlg dialog(ProgramFolder());
  dialog.DoModal(m_hwnd);
}

// The updater ("Renewer.exe") is started here.
void CMainDlg::StartUpdater() {}

// The network-wait thread of the update check starts here; its handle goes to m_networkWaitThread.
void CMainDlg::StartNetworkWait() {}

void CMainDlg::StopNetworkWait() {
  if (m_networkWaitThread.Valid()) WaitForSingleObject(m_networkWaitThread.Get(), INFINITE);
  m_networkWaitThread.Reset();
}

// The update check that follows the first dial connection runs here.
void CMainDlg::OnNetworkReady() {}

// The timed shutdown is checked here once a second.
void CMainDlg::OnShutdownTimer() {}

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
