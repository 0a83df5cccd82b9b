#include "client/tools/AddRecordDlg.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>

#include "client/resources/Resource.h"
#include "client/tools/RecordQuery.h"
#include "common/ui/Controls.h"

CAddRecordDlg::CAddRecordDlg() : CSkinnedDialog(IDD_ADD_RECORD) {
  // The pickers and the address control are not among the classes the program registers at start.
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_DATE_CLASSES | ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
}

bool CAddRecordDlg::OnInitDialog() {
  DoDataExchange(false);
  return true;
}

std::string CAddRecordDlg::ExchangeMoment(int dateId, int timeId, bool save) {
  if (!save) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    SendMessageA(Item(dateId), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
    SendMessageA(Item(timeId), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
    return std::string();
  }
  SYSTEMTIME date, time;
  ZeroMemory(&date, sizeof(date));
  ZeroMemory(&time, sizeof(time));
  SendMessageA(Item(dateId), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
  SendMessageA(Item(timeId), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
  return RecordTimeText(date.wYear, date.wMonth, date.wDay, time.wHour, time.wMinute, time.wSecond);
}

void CAddRecordDlg::DoDataExchange(bool save) {
  ExchangeText(IDC_ADD_USER, user, save);
  ExchangeText(IDC_ADD_SENT, sent, save);
  ExchangeText(IDC_ADD_RECEIVED, received, save);
  const std::string start = ExchangeMoment(IDC_ADD_START_DATE, IDC_ADD_START_TIME, save);
  const std::string end = ExchangeMoment(IDC_ADD_END_DATE, IDC_ADD_END_TIME, save);
  if (!save) return;
  startTime = start;
  endTime = end;
  DWORD address = 0;
  SendMessageA(Item(IDC_ADD_IP), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  char text[32];
  std::snprintf(text, sizeof(text), "%d.%d.%d.%d", static_cast<int>(FIRST_IPADDRESS(address)),
                static_cast<int>(SECOND_IPADDRESS(address)), static_cast<int>(THIRD_IPADDRESS(address)),
                static_cast<int>(FOURTH_IPADDRESS(address)));
  ip = text;
}
