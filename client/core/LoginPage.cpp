#include "client/core/LoginPage.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/core/DialRules.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "common/Secret.h"
#include "common/ui/Controls.h"
#include "dialengine/ConnectManage.h"

CLoginPage::CLoginPage(CConfigStore& config, CConnection& connection)
    : CPageBase(IDD_LOGIN), m_config(config), m_connection(connection) {}

void CLoginPage::DoDataExchange(bool save) {
  ExchangeText(IDC_USER_NAME, userName, save);
  ExchangeText(IDC_PASSWORD, password, save);
  ExchangeCheck(IDC_REMEMBER_PASSWORD, remember, save);
}

bool CLoginPage::OnInitDialog() {
  CConnectManage& manager = m_connection.Manager();
  manager.InsertEntryName(DeviceCallback, nullptr, this);
  m_deviceCount = 0;
  manager.EnumEntry();

  remember = m_config.GetPasswordStatus() ? 1 : 0;

  std::vector<std::string> names, passwords;
  m_config.GetUsers(LINKWELL_DEFAULT_ENTRY, names, passwords);
  HWND userBox = Item(IDC_USER_NAME);
  for (const std::string& name : names) ui::ComboAdd(userBox, name);

  userName.clear();
  password.clear();
  std::vector<std::string> lastNames, lastPasswords;
  if (m_config.GetLastUser(lastNames, lastPasswords) && !lastNames.empty()) {
    userName = lastNames.back();
    if (remember != 0 && lastPasswords.size() == lastNames.size()) password = lastPasswords.back();
  } else if (!names.empty()) {
    userName = names.back();
  }
  DoDataExchange(false);
  m_connection.SetLoginUser(userName);
  return true;
}

int CLoginPage::DeviceCallback(char* entryName, void* page) {
  if (page != nullptr && entryName != nullptr) static_cast<CLoginPage*>(page)->AddDevice(entryName);
  return 0;
}

void CLoginPage::AddDevice(const char* entryName) {
  HWND devices = Item(IDC_DEVICE_LIST);
  ui::ComboAdd(devices, entryName);
  std::string upper = entryName;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  if (upper.find("PPPOE") != std::string::npos) {
    SendMessageA(devices, CB_SELECTSTRING, static_cast<WPARAM>(m_deviceCount),
                 reinterpret_cast<LPARAM>(entryName));
  }
  ++m_deviceCount;
}

void CLoginPage::OnUserSelectionChanged() {
  HWND passwordBox = Item(IDC_PASSWORD);
  // While the selection changes the box may still show the old text; the list has the new one.
  HWND userBox = Item(IDC_USER_NAME);
  const int selected = static_cast<int>(SendMessageA(userBox, CB_GETCURSEL, 0, 0));
  const std::string name = selected == CB_ERR ? ui::GetText(userBox) : ui::ComboItem(userBox, selected);
  if (remember == 0) {
    ui::SetText(passwordBox, "");
    m_connection.SetLoginUser(name);
    return;
  }
  std::vector<std::string> names, passwords;
  m_config.GetUsers(LINKWELL_DEFAULT_ENTRY, names, passwords);
  std::string stored;
  for (size_t i = 0; i < names.size() && i < passwords.size(); ++i) {
    if (names[i] == name) {
      stored = passwords[i];
      break;
    }
  }
  ui::SetText(passwordBox, stored);
  m_connection.SetLoginUser(name);
}

void CLoginPage::OnRememberToggled() {
  ExchangeCheck(IDC_REMEMBER_PASSWORD, remember, true);
  m_config.SetPasswordStatus(remember != 0);
}

void CLoginPage::Refuse(const char* text) {
  MessageBoxA(m_hwnd, text, app::kNotice, MB_OK | MB_ICONERROR);
}

void CLoginPage::OnConnect(bool byUser) {
  DoDataExchange(true);
  const LoginRefusal refusal = CheckLoginInput(userName, password);
  if (refusal != LoginRefusal::kNone) {
    WipeString(password);
    Refuse(LoginRefusalText(refusal));
    return;
  }

  std::vector<std::string> names, storedTexts;
  m_config.GetUsers(LINKWELL_DEFAULT_ENTRY, names, storedTexts);
  ConnectPlan plan = PlanConnect(userName, password, remember != 0, names, storedTexts);
  WipeString(password);
  if (plan.refusal != LoginRefusal::kNone) {
    Refuse(LoginRefusalText(plan.refusal));
    return;
  }

  m_config.SaveUser(LINKWELL_DEFAULT_ENTRY, plan.textToStore.c_str(), userName.c_str());
  m_config.SetLastUser(plan.textToStore.c_str(), userName.c_str());
  m_connection.Connect(userName, std::move(plan.dialPassword), byUser);

  if (m_config.GetReconnect() && !m_config.GetAlwaysconnect()) {
    m_connection.SetRedial(m_config.GetRedialTrytimes(), m_config.GetRedialTimegrap());
  }
}

void CLoginPage::OnDisconnect() {
  m_connection.Disconnect();
}

int CLoginPage::HasCredentials() {
  std::string user, typed;
  ExchangeText(IDC_USER_NAME, user, true);
  ExchangeText(IDC_PASSWORD, typed, true);
  const int result = !user.empty() && !typed.empty() ? 1 : 0;
  WipeString(typed);
  return result;
}

bool CLoginPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_USER_NAME) {
    if (code == CBN_SELCHANGE) OnUserSelectionChanged();
    if (code == CBN_EDITCHANGE) m_connection.SetLoginUser(ui::GetText(Item(IDC_USER_NAME)));
    return code == CBN_SELCHANGE || code == CBN_EDITCHANGE;
  }
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_CONNECT:
      OnConnect();
      return true;
    case IDC_DISCONNECT:
      OnCancel();
      return true;
    case IDC_REMEMBER_PASSWORD:
      OnRememberToggled();
      return true;
    default:
      return false;
  }
}

void CLoginPage::OnCancel() {
  OnDisconnect();
}
