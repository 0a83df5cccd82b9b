// CStatDlg: the statistics window (template 184): the address, traffic, line speed and connected
// time of the current connection, refreshed once a second, an activity picture that lights while
// bytes come in, and the month so far (connected time and traffic of the current month's records
// plus the connection that is up).
//
// The traffic is the 64-bit count the connection keeps (CConnection::ReadTraffic), so it does not
// wrap at 4 GiB; a connection the client does not follow shows the system's own counters. The
// connected time runs from the start of the connection's own record, so a connection that began
// last month still shows it; for a connection the client did not dial, the first open record of
// the month file stands for it.
#pragma once

#include <cstdint>
#include <string>

#include "client/tools/RecordQuery.h"
#include "common/ui/SkinnedDialog.h"

class CConnection;

class CStatDlg : public ui::CSkinnedDialog {
 public:
  enum { kRefreshTimer = 1 };
  static constexpr unsigned kRefreshPeriodMs = 1000;

  // programFolder: the client's folder with its trailing separator; the month file is in its
  // "data\record".
  CStatDlg(CConnection& connection, const std::string& programFolder);

  // The value texts, moved by DoDataExchange; all empty until the dialog shows them.
  std::string ipText;
  std::string sentText;
  std::string receivedText;
  std::string speedText;
  std::string timeText;
  std::string monthTimeText;
  std::string monthTrafficText;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(bool save) override;
  void OnTimer(UINT_PTR id) override;

 private:
  friend class CStatDlgProbe;

  // The connected time, the traffic and the month; false (and the timer stopped) when the
  // connections could not be listed.
  bool Refresh();
  void RefreshTime();
  // False when the listing of connections failed: the timer is then stopped for good.
  bool RefreshTraffic();
  void RefreshMonth();
  void ShowActivity(bool active);

  CConnection& m_connection;
  std::string m_recordFolder;
  CLocalTimes m_times;
  bool m_timerRunning = false;
  // What the last refresh learnt of the connection that is up.
  long long m_upSeconds = 0;
  bool m_trafficRead = false;
  uint64_t m_upBytes = 0;
  int m_activityIcon = 0;
};
