#include "client/core/LoginPage.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "client/core/DialRules.h"
#include "client/core/RasQueries.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/ProgramFolder.h"
#include "common/ui/Controls.h"
#include "dialengine/ConnectManage.h"

CLoginPage::CLoginPage(CConfigStore& config, CConnectManage& manager)
    : CPageBase(IDD_LOGIN),
      m_config(config),
      m_manager(manager),
      m_sequence(config, manager),
      m_supervisor(m_sequence) {}

CLoginPage::~CLoginPage() = default;

bool CLoginPage::OnInitDialog() {
  CPageBase::OnInitDialog();
  m_sequence.Create();
  m_manager.InsertEntryName(DeviceCallback, nullptr, this);
  m_deviceCount = 0;
  m_manager.EnumEntry();

  m_remember = m_config.GetPasswordStatus();
  ui::SetChecked(Item(IDC_REMEMBER_PASSWORD), m_remember);

  std::vector<std::string> names, passwords;
  m_config.GetUsers(kDefaultEntryName, names, passwords);
  HWND userBox = Item(IDC_USER_NAME);
  for (const std::string& name : names) ui::ComboAdd(userBox, name);

  std::string user, password;
  std::vector<std::string> lastNames, lastPasswords;
  if (m_config.GetLastUser(lastNames, lastPasswords) && !lastNames.empty()) {
    user = lastNames.back();
    if (m_remember && lastPasswords.size() == lastNames.size()) password = lastPasswords.back();
  } else if (!names.empty()) {
    user = names.back();
  }
  ui::SetText(userBox, user);
  ui::SetText(Item(IDC_PASSWORD), password);
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
  if (!m_remember) {
    ui::SetText(passwordBox, "");
    return;
  }
  // While the selection changes the box may still show the old text; the list has the new one.
  HWND userBox = Item(IDC_USER_NAME);
  const int selected = static_cast<int>(SendMessageA(userBox, CB_GETCURSEL, 0, 0));
  const std::string name = selected == CB_ERR ? ui::GetText(userBox) : ui::ComboItem(userBox, selected);
  std::vector<std::string> names, passwords;
  m_config.GetUsers(kDefaultEntryName, names, passwords);
  std::string password;
  for (size_t i = 0; i < names.size() && i < passwords.size(); ++i) {
    if (names[i] == name) {
      password = passwords[i];
      break;
    }
  }
  ui::SetText(passwordBox, password);
}

void CLoginPage::OnRememberToggled() {
  m_remember = ui::IsChecked(Item(IDC_REMEMBER_PASSWORD));
  m_config.SetPasswordStatus(m_remember);
}

void CLoginPage::Refuse(const char* text) {
  MessageBoxA(m_hwnd, text, kCaption, MB_OK | MB_ICONERROR);
}

void CLoginPage::OnConnect() {
  const std::string user = ui::GetText(Item(IDC_USER_NAME));
  const std::string passwordText = ui::GetText(Item(IDC_PASSWORD));
  m_remember = ui::IsChecked(Item(IDC_REMEMBER_PASSWORD));

  const LoginRefusal refusal = CheckLoginInput(user, passwordText);
  if (refusal != LoginRefusal::kNone) {
    Refuse(LoginRefusalText(refusal));
    return;
  }
  MakeRecordFolder(ProgramFolder());

  std::vector<std::string> names, storedTexts;
  m_config.GetUsers(kDefaultEntryName, names, storedTexts);
  const ConnectPlan plan = PlanConnect(user, passwordText, m_remember, names, storedTexts);
  if (plan.refusal != LoginRefusal::kNone) {
    Refuse(LoginRefusalText(plan.refusal));
    return;
  }

  m_config.SaveUser(kDefaultEntryName, plan.textToStore.c_str(), user.c_str());
  m_config.SetLastUser(plan.textToStore.c_str(), user.c_str());
  m_sequence.StartDial(user, plan.dialPassword);

  if (m_config.GetReconnect() && !m_config.GetAlwaysconnect()) {
    m_sequence.SetRedial(m_config.GetRedialTrytimes(), m_config.GetRedialTimegrap());
  }
}

void CLoginPage::OnDisconnect() {
  m_sequence.Disconnect();
}

int CLoginPage::HasCredentials() const {
  return !ui::GetText(Item(IDC_USER_NAME)).empty() && !ui::GetText(Item(IDC_PASSWORD)).empty() ? 1 : 0;
}

void CLoginPage::SetMessageClient(CMessageClient* client) {
  m_sequence.SetMessageClient(client);
}

int CLoginPage::StartSupervision(HWND mainWindow, HWND toolbar) {
  return m_supervisor.Start(mainWindow, toolbar);
}

void CLoginPage::StopSupervision() {
  m_supervisor.Stop();
}

bool CLoginPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_USER_NAME) {
    if (code == CBN_SELCHANGE) OnUserSelectionChanged();
    return code == CBN_SELCHANGE;
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
