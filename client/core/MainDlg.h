// CMainDlg: the client's main window (template 102, menu 133).
//
// A narrow, always-on-top tool window with the toolbar, the status lines, four icon tabs (login,
// shortcuts, recommended services, contact), the advertisement view and the tray icon. Every
// command of the main menu, the tray menu and the toolbar is routed here. Closing or minimising
// hides the window to the tray; only "退出" ends it. Dragged to a screen edge it docks there and
// slides out of sight until the mouse touches it.
#pragma once

#include <memory>
#include <string>

#include "client/core/Docking.h"
#include "client/core/LoginPage.h"
#include "client/core/NavigationPage.h"
#include "client/core/PageBase.h"
#include "common/Handles.h"
#include "common/ui/DialogBase.h"
#include "common/ui/KeyFilter.h"
#include "common/ui/TrayIcon.h"
#include "common/ui/WebBrowserHost.h"

class CConfigStore;
class CConnectManage;
class CMessageClient;
class CMessageStore;

class CMainDlg : public ui::CDialogBase {
 public:
  // Timers of the main window.
  enum { kHoverTimer = 1, kSlideTimer = 2, kShutdownTimer = 4 };
  static constexpr int kPageCount = 4;

  // messages: the application's message store, handed to the message client (may be null).
  CMainDlg(CConfigStore& config, CConnectManage& manager, CMessageStore* messages = nullptr);
  ~CMainDlg() override;

  // Replaces the message client that the window starts and hands to the login page; call before
  // the window is created.
  void ReplaceMessageClient(std::unique_ptr<CMessageClient> client);

  // The tray menu (menu 130's first sub-menu) with its connect, disconnect and statistics items
  // in the states of main menu 0 item 0, menu 0 item 2 and menu 1 item 2. The caller owns the
  // returned menu's parent (second output) and destroys it; null when the menu cannot be loaded.
  HMENU CreateTrayMenu(HMENU* owner) const;
  // The tray tooltip for the current state.
  std::string TrayTipText() const;
  // The link speed of the first network interface ("%ldMbps"); empty when it cannot be read.
  std::string LinkSpeedText() const;
  // The IP address of the default entry's connection; empty when there is none.
  std::string ConnectionIpText() const;

  // State, for the message handlers and the tests.
  bool IsConnected() const { return m_connected; }
  // What starting the supervision returned (0, or the negative code of what failed).
  int SupervisionStartCode() const { return m_supervisionCode; }
  CLoginPage& LoginPage() { return m_loginPage; }
  CMessageClient& MessageClient() { return *m_messageClient; }
  int DockedEdge() const { return m_dockedEdge; }
  bool IsHoverShown() const { return m_hoverShown; }
  long SavedHeight() const { return m_savedHeight; }
  HWND Toolbar() const { return m_toolbar; }
  HWND TabTooltips() const { return m_tabTips; }
  HWND Page(int index) const;
  int CurrentPage() const { return m_currentPage; }
  const ui::CTrayIcon& Tray() const { return m_tray; }
  bool HasAdBrowser() const { return m_adView.IsCreated(); }
  dock::Screen ScreenMetrics() const;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT& result) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Escape and Enter never close the main window.
  void OnOK() override;
  void OnCancel() override;

 private:
  // Initialisation steps, in their order.
  void SetUpWindowStyle();
  void BuildTabs();
  void PlaceAtRightEdge();
  void CreateToolbar();
  void ColourMenus();
  void AddTrayIcon();
  void StartSupervision();
  void StartNetworkWait();
  void HandOverMessageClient();
  void ConnectAutomatically();
  void EnableShutdownPrivilege();
  void ShowLocalAdvertisement();

  // Stop sequence, run while the window is destroyed.
  void OnDestroy();
  void StopNetworkWait();
  void StopSupervision();

  // Commands.
  void ShowPage(int index);
  void ShowMainWindow();
  void ShowTrayMenu();
  void OpenSettings();
  void OpenStatistics();
  void OpenUserManagement();
  void OpenDiagnosis();
  void OpenRecordQuery();
  void StartUpdater();
  void OpenHelp();
  void ShowAbout();
  void Exit();

  // Window messages.
  void OnTrayCallback(UINT mouseMessage);
  void OnDialConnected();
  void OnDialDisconnected();
  void OnNetworkReady();
  void OnShutdownTimer();
  void OnMoving(RECT* proposed);
  void OnHitTest();
  void OnMinimized();
  void OnHoverTimer();
  void OnSlideTimer();
  void StartSlide(bool hiding);
  void PaintBackground(HDC dc);
  void DrawCaptionButton(const DRAWITEMSTRUCT* item);

  CConfigStore& m_config;
  CConnectManage& m_manager;
  // Declared before the login page, which sends through it: it goes after the page's workers.
  std::unique_ptr<CMessageClient> m_messageClient;
  CLoginPage m_loginPage;
  CPageBase m_shortcutPage;
  CNavigationPage m_navigationPage;
  CPageBase m_contactPage;
  int m_currentPage = 0;

  HWND m_toolbar = nullptr;
  HWND m_tabTips = nullptr;
  ui::CImageList m_toolbarImages;
  ui::CImageList m_toolbarDisabledImages;
  ui::CImageList m_tabImages;
  ui::CGdiObject m_background;
  ui::CGdiObject m_menuBrush;
  ui::CIcon m_bigIcon;
  ui::CIcon m_smallIcon;
  ui::CIcon m_trayOfflineIcon;
  ui::CIcon m_trayOnlineIcon;
  ui::CTrayIcon m_tray;
  ui::CWebBrowserHost m_adView;
  ui::CKeyFilter m_keyFilter;
  ui::CModule m_helpViewer;
  ui::CHandle m_privilegeToken;
  ui::CHandle m_networkWaitThread;
  UINT m_taskbarCreated = 0;

  bool m_connected = false;
  int m_supervisionCode = 0;
  int m_dockedEdge = dock::kNone;
  bool m_hoverShown = false;
  bool m_slideHiding = false;
  bool m_slideFinished = true;
  long m_savedHeight = 400;
  long m_taskbarHeight = 30;
  long m_edgeHeight = 0;
  long m_frameWidth = 0;
  RECT m_workArea = {0, 0, 0, 0};
};
