// What the in-process tests read of the main window and its login page beyond their controls.
#pragma once

#include <string>

#include "client/core/LoginPage.h"
#include "client/core/MainDlg.h"
#include "client/core/RasQueries.h"
#include "client/messaging/MessageClient.h"

class CMainDlgProbe {
 public:
  explicit CMainDlgProbe(CMainDlg& dialog) : m_dialog(dialog) {}

  bool IsConnected() const { return m_dialog.m_connected; }
  int SupervisionStartCode() const { return m_dialog.m_supervisionCode; }
  CLoginPage& LoginPage() { return m_dialog.m_loginPage; }
  CMessageClient& MessageClient() { return *m_dialog.m_messageClient; }
  int DockedEdge() const { return m_dialog.m_dockedEdge; }
  bool IsHoverShown() const { return m_dialog.m_hoverShown; }
  long SavedHeight() const { return m_dialog.m_savedHeight; }
  HWND Toolbar() const { return m_dialog.m_toolbar; }
  HWND TabTooltips() const { return m_dialog.m_tabTips; }
  HWND Page(int index) const { return m_dialog.Page(index); }
  int CurrentPage() const { return m_dialog.m_currentPage; }
  const ui::CTrayIcon& Tray() const { return m_dialog.m_tray; }
  bool HasAdBrowser() const { return m_dialog.m_adView.IsCreated(); }
  dock::Screen ScreenMetrics() const { return m_dialog.ScreenMetrics(); }
  HMENU CreateTrayMenu(HMENU* owner) const { return m_dialog.CreateTrayMenu(owner); }
  std::string TrayTipText() const { return m_dialog.TrayTipText(); }
  std::string LinkSpeedText() const { return ::LinkSpeedText(); }
  std::string ConnectionIpText() const { return DefaultEntryIpText(); }

 private:
  CMainDlg& m_dialog;
};

class CLoginPageProbe {
 public:
  static int DeviceCount(const CLoginPage& page) { return page.m_deviceCount; }
};
