#include "client/tools/RunSetPage.h"

#include <cstdio>
#include <cstring>

#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/tools/SettingsRules.h"
#include "common/TextCopy.h"
#include "common/ui/Controls.h"

const char CRunSetPage::kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char CRunSetPage::kRunValue[] = "Tarnex";

namespace {

// The same key, named with a trailing backslash where the value is set.
const char kRunKeyForValue[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
constexpr REGSAM kRunAccess = KEY_READ | KEY_WRITE;

bool ValueExists(HKEY key, const char* name) {
  return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Sets the Run value to path, replacing one that is there. True only when it was set.
bool WriteRunValue(const char* programPath) {
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CRunSetPage::kRunKey, 0, kRunAccess, &run) != ERROR_SUCCESS)
    return false;
  char path[MAX_PATH];
  std::memset(path, 0, sizeof(path));
  CopyText(path, programPath);
  bool written = false;
  HKEY target = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKeyForValue, 0, nullptr, 0, kRunAccess, nullptr, &target,
                      nullptr) == ERROR_SUCCESS) {
    if (ValueExists(target, CRunSetPage::kRunValue)) RegDeleteValueA(run, CRunSetPage::kRunValue);
    written = RegSetValueExA(target, CRunSetPage::kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                             static_cast<DWORD>(std::strlen(path))) == ERROR_SUCCESS;
    RegCloseKey(target);
  }
  RegCloseKey(run);
  return written;
}

void DeleteRunValue() {
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CRunSetPage::kRunKey, 0, kRunAccess, &run) != ERROR_SUCCESS) return;
  if (ValueExists(run, CRunSetPage::kRunValue)) RegDeleteValueA(run, CRunSetPage::kRunValue);
  RegCloseKey(run);
}

}  // namespace

CRunSetPage::CRunSetPage(CConfigStore& config) : CSettingsPage(IDD_RUN_PAGE), m_config(config) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  // A path cut off at the buffer's end names no program; it is not written anywhere.
  if (length > 0 && length < sizeof(path)) CopyText(m_programPath, path);
}

void CRunSetPage::DoDataExchange(bool save) {
  ExchangeCheck(IDC_RUN_STARTUP, startUp, save);
  ExchangeCheck(IDC_RUN_AUTOCONNECT, autoconnect, save);
  ExchangeCheck(IDC_RUN_RECONNECT, reconnect, save);
  ExchangeCheck(IDC_RUN_ALWAYS, alwaysConnect, save);
  ExchangeSelection(IDC_RUN_INTERVAL, interval, save);
  ExchangeText(IDC_RUN_TRIES, tries, save);
}

void CRunSetPage::OnInitPage() {
  HWND list = Item(IDC_RUN_INTERVAL);
  for (int i = 0; i < kIntervalCount; ++i) ui::ComboAdd(list, IntervalText(i));

  m_storedAutoconnect = autoconnect = m_config.GetAutoconnect() != 0 ? 1 : 0;
  m_storedReconnect = reconnect = m_config.GetReconnect() ? 1 : 0;
  m_storedAlwaysConnect = alwaysConnect = m_config.GetAlwaysconnect() ? 1 : 0;
  m_storedStartUp = startUp = m_config.GetStartUp() ? 1 : 0;

  if (reconnect != 0) {
    interval = IntervalIndexForDisplay(m_config.GetRedialTimegrapText());
    tries = m_config.GetRedialTrytimesText();
  } else {
    interval = 0;
    tries = std::to_string(kDefaultRetryCount);
  }
  DoDataExchange(false);
  EnableRedialControls(reconnect != 0);
}

void CRunSetPage::EnableRedialControls(bool enable) {
  ui::Enable(Item(IDC_RUN_INTERVAL), enable);
  ui::Enable(Item(IDC_RUN_TRIES), enable);
}

bool CRunSetPage::OnCommand(int id, int code, HWND) {
  switch (id) {
    case IDC_RUN_RECONNECT:
      if (code != BN_CLICKED) return false;
      DoDataExchange(true);
      EnableRedialControls(reconnect != 0);
      NotifyChanged();
      return true;
    case IDC_RUN_AUTOCONNECT:
    case IDC_RUN_ALWAYS:
    case IDC_RUN_STARTUP:
      if (code != BN_CLICKED) return false;
      break;
    case IDC_RUN_TRIES:
      if (code != EN_CHANGE) return false;
      break;
    case IDC_RUN_INTERVAL:
      if (code != CBN_SELCHANGE) return false;
      break;
    default:
      return false;
  }
  DoDataExchange(true);
  NotifyChanged();
  return true;
}

void CRunSetPage::SaveToConfig() {
  DoDataExchange(true);
  SaveStartUp();
  if (autoconnect != m_storedAutoconnect) {
    m_config.SetAutoconnect(autoconnect != 0);
    m_storedAutoconnect = autoconnect;
  }
  if (alwaysConnect != m_storedAlwaysConnect) {
    m_config.SetAlwaysconnect(alwaysConnect != 0);
    m_storedAlwaysConnect = alwaysConnect;
  }
  if (m_storedReconnect != 0 && reconnect != 0) {
    m_config.SetReconnect(true);
    WriteRedial();
  } else if (reconnect != m_storedReconnect) {
    m_config.SetReconnect(reconnect != 0);
    m_storedReconnect = reconnect;
    if (reconnect != 0) WriteRedial();
  }
}

// Only a value that was really set counts as starting with Windows; clearing the box always
// counts, whatever the registry allowed.
void CRunSetPage::SaveStartUp() {
  if (startUp == m_storedStartUp) return;
  if (startUp != 0) {
    if (m_programPath[0] == '\0' || !WriteRunValue(m_programPath)) return;
    m_config.SetStartUp(true);
    m_storedStartUp = 1;
  } else {
    m_config.SetStartUp(false);
    m_storedStartUp = 0;
    DeleteRunValue();
  }
}

void CRunSetPage::WriteRedial() {
  char seconds[16];
  snprintf(seconds, sizeof(seconds), "%d", IntervalSeconds(IntervalText(interval)));
  m_config.SetRedial(seconds, RetryCountFromText(tries));
}
