#include "client/tools/ShutdownSetPage.h"

#include <commctrl.h>

#include <cstring>

#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "common/ui/Controls.h"

namespace {

DateTime FromSystemTime(const SYSTEMTIME& value) {
  DateTime result;
  result.year = value.wYear;
  result.month = value.wMonth;
  result.day = value.wDay;
  result.hour = value.wHour;
  result.minute = value.wMinute;
  result.second = value.wSecond;
  return result;
}

SYSTEMTIME ToSystemTime(const DateTime& value) {
  SYSTEMTIME result;
  std::memset(&result, 0, sizeof(result));
  result.wYear = static_cast<WORD>(value.year);
  result.wMonth = static_cast<WORD>(value.month);
  result.wDay = static_cast<WORD>(value.day);
  result.wHour = static_cast<WORD>(value.hour);
  result.wMinute = static_cast<WORD>(value.minute);
  result.wSecond = static_cast<WORD>(value.second);
  return result;
}

DateTime PickerValue(HWND picker) {
  SYSTEMTIME value;
  std::memset(&value, 0, sizeof(value));
  if (SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&value)) != GDT_VALID)
    return DateTime();
  return FromSystemTime(value);
}

// A picker refuses a value outside its range and keeps what it showed.
void SetPickerValue(HWND picker, const DateTime& value) {
  if (!IsValidDateTime(value)) return;
  SYSTEMTIME time = ToSystemTime(value);
  SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

}  // namespace

DateTime LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FromSystemTime(now);
}

CShutdownSetPage::CShutdownSetPage(CConfigStore& config)
    : CSettingsPage(IDD_SHUTDOWN_PAGE), m_config(config) {}

void CShutdownSetPage::DoDataExchange(bool save) {
  ExchangeCheck(IDC_SHUTDOWN_ON, on, save);
  ExchangeText(IDC_SHUTDOWN_TYPE, type, save);
  if (save) {
    date = PickerValue(Item(IDC_SHUTDOWN_DATE));
    time = PickerValue(Item(IDC_SHUTDOWN_TIME));
  } else {
    DateTime midnight = date;
    midnight.hour = midnight.minute = midnight.second = 0;
    SetPickerValue(Item(IDC_SHUTDOWN_DATE), midnight);
    SetPickerValue(Item(IDC_SHUTDOWN_TIME), time);
  }
}

void CShutdownSetPage::OnInitPage() {
  HWND types = Item(IDC_SHUTDOWN_TYPE);
  for (int i = 0; i < kShutdownTypeCount; ++i) ui::ComboAdd(types, ShutdownTypeText(i));
  SendMessageA(types, CB_SETCURSEL, 0, 0);

  m_loadedTime.clear();
  m_loadedType.clear();
  m_config.GetSystemSet(m_loadedTime, m_loadedType);
  if (m_loadedTime.empty()) {
    // The pickers keep their own start value, the date and time now.
    on = 0;
    ExchangeCheck(IDC_SHUTDOWN_ON, on, false);
    EnableChoice(false);
    return;
  }
  on = 1;
  ui::ComboSelectExact(types, m_loadedType);
  type = ui::GetText(types);
  ReadDateTimeFields(m_loadedTime, &time);
  date = time;
  DoDataExchange(false);
  EnableChoice(true);
}

void CShutdownSetPage::EnableChoice(bool enable) {
  ui::Enable(Item(IDC_SHUTDOWN_TYPE), enable);
  ui::Enable(Item(IDC_SHUTDOWN_DATE), enable);
  ui::Enable(Item(IDC_SHUTDOWN_TIME), enable);
}

bool CShutdownSetPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_SHUTDOWN_ON && code == BN_CLICKED) {
    ExchangeCheck(IDC_SHUTDOWN_ON, on, true);
    EnableChoice(on != 0);
    NotifyChanged();
    return true;
  }
  if (id == IDC_SHUTDOWN_TYPE && (code == CBN_SELCHANGE || code == CBN_EDITCHANGE)) {
    NotifyChanged();
    return true;
  }
  return false;
}

bool CShutdownSetPage::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->code != DTN_DATETIMECHANGE ||
      (header->idFrom != IDC_SHUTDOWN_DATE && header->idFrom != IDC_SHUTDOWN_TIME)) {
    return false;
  }
  NotifyChanged();
  result = 0;
  return true;
}

void CShutdownSetPage::Refuse(const char* text) {
  MessageBoxA(GetAncestor(m_hwnd, GA_ROOT), text, app::kNotice, MB_OK | MB_ICONSTOP);
}

void CShutdownSetPage::SaveToConfig() {
  DoDataExchange(true);
  if (on == 0) {
    m_config.SetSystemSet("", "", 0);
    return;
  }
  DateTime at = date;
  at.hour = time.hour;
  at.minute = time.minute;
  at.second = time.second;
  const std::string atText = DateTimeText(at);
  const int comparison = CompareDateTimeText(atText, DateTimeText(LocalNow()));
  if (comparison == 0 || comparison == 1) {
    Refuse(kShutdownTimePassedText);
    on = 0;
    ExchangeCheck(IDC_SHUTDOWN_ON, on, false);
    EnableChoice(false);
    return;
  }
  // The field takes typed text; only the text of a list item names an action.
  const int index = ShutdownTypeIndex(type);
  if (index < 0) {
    Refuse(kShutdownTypeInvalidText);
    return;
  }
  SendMessageA(Item(IDC_SHUTDOWN_TYPE), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  m_config.SetSystemSet(atText.c_str(), type.c_str(), 1);
}
