// CMainDlg: the client's main window (template 102, menu 133).
//
// A narrow, always-on-top tool window with the toolbar, the status lines, four icon tabs (login,
// shortcuts, recommended services, contact), the advertisement view and the tray icon. Every
// command of the main menu, the tray menu and the toolbar is routed here. Closing or minimising
// hides the window to the tray; only "退出" ends it. Dragged to a screen edge it docks there and
// slides out of sight until the mouse touches it.
//
// The class is one window split over files by concern: MainDlg.cpp (start, stop, routing of
// commands and messages), MainDlgTabs.cpp, MainDlgToolbar.cpp (toolbar and menu bar),
// MainDlgTray.cpp, MainDlgDock.cpp (docking and sliding), MainDlgPaint.cpp, MainDlgTools.cpp
// (the tool dialogs, help, about, updates, advertisement, timed shutdown) and MainDlgMessages.cpp
// (the provider's messages and the offer of the network diagnosis).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "client/core/Docking.h"
#include "client/core/LoginPage.h"
#include "client/core/NavigationPage.h"
#include "client/core/PageBase.h"
#include "client/launcher/ShortcutPage.h"
#include "client/update/UpdateCheck.h"
#include "common/Handles.h"
#include "common/ui/DialogBase.h"
#include "common/ui/KeyFilter.h"
#include "common/ui/TrayIcon.h"
#include "common/ui/WebBrowserHost.h"

class CConfigStore;
class CConnection;
class CMessageClient;
class CMessageStore;
class CMessagesDlg;
struct ProviderMessage;

class CMainDlg : public ui::CDialogBase {
 public:
  // Timers of the main window, and their periods.
  enum { kHoverTimer = 1, kSlideTimer = 2, kShutdownTimer = 4 };
  static constexpr UINT kHoverPeriodMs = 200;
  static constexpr UINT kSlidePeriodMs = 5;
  static constexpr int kPageCount = 4;

  // messages: the application's message store, where the provider's messages are kept and which
  // the message window lists (may be null: messages are then neither kept nor listed).
  CMainDlg(CConfigStore& config, CConnection& connection, CMessageStore* messages = nullptr);
  ~CMainDlg() override;

  // Replaces the message client that the window starts and hands to the connection; call before
  // the window is created.
  void ReplaceMessageClient(std::unique_ptr<CMessageClient> client);

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
  friend class CMainDlgProbe;

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

  // Tabs.
  void ShowPage(int index);
  HWND Page(int index) const;

  // Commands.
  void ShowMainWindow();
  void OpenSettings();
  void OpenStatistics();
  void OpenUserManagement();
  void OpenDiagnosis();
  void OpenRecordQuery();
  void StartUpdater();
  void OpenHelp();
  void ShowAbout();
  void Exit();

  // The provider's messages and the offer of the diagnosis.
  void OnMessagesArrived();
  void ShowMessageBalloon(const ProviderMessage& message);
  // The balloon on show is no message's any more.
  void ForgetMessageBalloon();
  // A click on the balloon: a message's link opens with the shell, a message without one opens
  // the message window; a balloon of the connection does nothing.
  void OnBalloonClicked();
  void OpenMessages();
  void OnOfferDiagnosis(unsigned long code);

  // Toolbar tooltips; false for other notifications.
  bool OnToolbarTip(NMHDR* header, LRESULT& result);

  // Tray.
  void OnTrayCallback(UINT mouseMessage);
  void ShowTrayMenu();
  // The tray menu (menu 130's first sub-menu) with its connect, disconnect and statistics items
  // in the states of main menu 0 item 0, menu 0 item 2 and menu 1 item 2. The caller destroys the
  // returned menu's parent (second output); null when the menu cannot be loaded.
  HMENU CreateTrayMenu(HMENU* owner) const;
  // The tray tooltip for the current state.
  std::string TrayTipText() const;

  // Window messages.
  void OnDialConnected();
  void OnDialDisconnected();
  void OnNetworkReady();
  void OnShutdownTimer();
  // The session ends (a timed shutdown, or the user's own log-off or shutdown): the process may
  // be ended as soon as this returns.
  void OnEndSession();

  // Docking and sliding.
  dock::Screen ScreenMetrics() const;
  void OnMoving(RECT* proposed);
  void OnHitTest();
  void OnMinimized();
  void OnHoverTimer();
  void OnSlideTimer();
  void StartSlide(bool hiding);

  // Painting.
  void PaintBackground(HDC dc);
  void DrawCaptionButton(const DRAWITEMSTRUCT* item);

  CConfigStore& m_config;
  CConnection& m_connection;
  CMessageStore* m_messages;
  std::unique_ptr<CMessageClient> m_messageClient;
  CLoginPage m_loginPage;
  CShortcutPage m_shortcutPage;
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
  CUpdateCheck m_update;
  UINT m_taskbarCreated = 0;

  bool m_connected = false;
  // The message window while it is open.
  CMessagesDlg* m_openMessages = nullptr;
  // Whether the balloon last shown was a message's, and its web address (empty: none).
  bool m_balloonMessage = false;
  std::string m_balloonLink;
  bool m_offeringDiagnosis = false;
  // The instant of the last timed-shutdown check (seconds, local); 0 before the first.
  int64_t m_lastShutdownCheck = 0;
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
