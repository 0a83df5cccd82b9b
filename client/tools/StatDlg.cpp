#include "client/tools/StatDlg.h"

#include <windows.h>

#include <ras.h>

#include <cstring>
#include <ctime>

#include "client/core/Connection.h"
#include "client/core/RasQueries.h"
#include "client/resources/Resource.h"
#include "client/store/ProgramFolder.h"
#include "client/store/RecordFiles.h"
#include "client/tools/StatFigures.h"

CStatDlg::CStatDlg(CConnection& connection, const std::string& programFolder)
    : CSkinnedDialog(IDD_STATISTICS), m_connection(connection), m_recordFolder(RecordFolder(programFolder)) {}

void CStatDlg::DoDataExchange(bool save) {
  ExchangeText(IDC_STAT_IP, ipText, save);
  ExchangeText(IDC_STAT_SENT, sentText, save);
  ExchangeText(IDC_STAT_RECEIVED, receivedText, save);
  ExchangeText(IDC_STAT_SPEED, speedText, save);
  ExchangeText(IDC_STAT_TIME, timeText, save);
  ExchangeText(IDC_STAT_MONTH_TIME, monthTimeText, save);
  ExchangeText(IDC_STAT_MONTH_TRAFFIC, monthTrafficText, save);
}

bool CStatDlg::OnInitDialog() {
  ipText = DefaultEntryIpText();
  // "%ldMbps" of the first interface; the unit alone when the interface table cannot be read.
  const std::string speed = LinkSpeedText();
  speedText = speed.empty() ? "Mbps" : speed;
  DoDataExchange(false);
  // A first refresh that cannot list the connections starts no timer at all.
  if (Refresh()) m_timerRunning = SetTimer(m_hwnd, kRefreshTimer, kRefreshPeriodMs, nullptr) != 0;
  return true;
}

void CStatDlg::OnTimer(UINT_PTR id) {
  if (id == kRefreshTimer && m_timerRunning) Refresh();
}

bool CStatDlg::Refresh() {
  RefreshTime();
  if (!RefreshTraffic()) {
    // Nothing is refreshed any more while the window is open.
    if (m_timerRunning) KillTimer(m_hwnd, kRefreshTimer);
    m_timerRunning = false;
    return false;
  }
  RefreshMonth();
  return true;
}

void CStatDlg::RefreshTime() {
  DoDataExchange(true);
  m_upSeconds = 0;
  const std::time_t now = std::time(nullptr);
  const std::string start = ConnectionStart(m_connection.CurrentRecord().startTime, m_connection.IsUp(),
                                            MonthFileName(m_recordFolder, now));
  if (start.empty()) return;
  m_upSeconds = ConnectedSeconds(m_times, start, now);
  timeText = DurationText(m_upSeconds);
  DoDataExchange(false);
}

bool CStatDlg::RefreshTraffic() {
  // Room for exactly one connection: with more than one the listing fails.
  RASCONNA connections[1];
  std::memset(connections, 0, sizeof(connections));
  connections[0].dwSize = sizeof(RASCONNA);
  DWORD bytes = sizeof(connections);
  DWORD count = 0;
  if (RasEnumConnectionsA(connections, &bytes, &count) != 0) return false;
  m_trafficRead = false;
  if (count == 0) return true;

  uint64_t sent = 0, received = 0;
  bool read = IsDefaultEntry(connections[0]) && m_connection.ReadTraffic(&sent, &received);
  if (!read) {
    uint32_t sent32 = 0, received32 = 0;
    read = ReadConnectionStatistics(connections[0].hrasconn, &sent32, &received32);
    sent = sent32;
    received = received32;
  }
  if (!read) return true;
  m_trafficRead = true;
  m_upBytes = sent + received;

  const std::string newReceived = GroupDigits(received);
  ShowActivity(newReceived != receivedText);
  receivedText = newReceived;
  sentText = GroupDigits(sent);
  DoDataExchange(false);
  return true;
}

void CStatDlg::RefreshMonth() {
  const bool up = m_connection.IsUp();
  const RecordTotals month = MonthTotals(MonthFileName(m_recordFolder, std::time(nullptr)), m_times,
                                         up ? m_upSeconds : 0, up && m_trafficRead ? m_upBytes : 0);
  monthTimeText = DurationText(month.seconds);
  monthTrafficText = TrafficText(month.bytes);
  DoDataExchange(false);
}

void CStatDlg::ShowActivity(bool active) {
  const int icon = active ? IDI_ACTIVITY_ON : IDI_ACTIVITY_OFF;
  if (icon == m_activityIcon) return;
  m_activityIcon = icon;
  // Icons loaded by LoadIcon are shared and never destroyed.
  HICON handle = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon));
  SendMessageA(Item(IDC_STAT_ACTIVITY), STM_SETICON, reinterpret_cast<WPARAM>(handle), 0);
}
