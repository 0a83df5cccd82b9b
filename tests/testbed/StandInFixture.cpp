#include "tests/testbed/StandInFixture.h"

#include <cstdio>

namespace testbed {

CTestbedServer* StandIn::s_server = nullptr;
std::string StandIn::s_error;

void StandIn::SetUpTestSuite() {
  s_server = new CTestbedServer;
  if (CTestbedServer::FindServerBinary().empty()) return;
  char accounts[96];
  snprintf(accounts, sizeof(accounts), "/tmp/quillon-testbed-accounts-%lu", GetCurrentProcessId());
  HANDLE file =
      CreateFileA(WindowsPath(accounts).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const char text[] = "demo demo1234\nalice secret\nbob pw\n";
  DWORD written = 0;
  WriteFile(file, text, sizeof(text) - 1, &written, nullptr);
  CloseHandle(file);
  s_server->Start(std::string("--accounts ") + accounts, &s_error);
  DeleteFileA(WindowsPath(accounts).c_str());
}

void StandIn::TearDownTestSuite() {
  delete s_server;
  s_server = nullptr;
}

void StandIn::SetUp() {
  if (CTestbedServer::FindServerBinary().empty()) {
    GTEST_SKIP()
        << "the native access server is absent: build the host preset and set QUILLON_HOST_BUILD_DIR";
  }
  ASSERT_TRUE(s_server->Running()) << s_error;
  SetEnvironmentVariableA("RASEMU_SERVER", s_server->Address().c_str());
  ASSERT_TRUE(s_server->Reset());
  SetEnvironmentVariableA("RASEMU_DEVICES", nullptr);
  SetEnvironmentVariableA("RASEMU_ENUM_ERROR", nullptr);
  SetEnvironmentVariableA("RASEMU_PBK_ERROR", nullptr);
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", nullptr);
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof(folder), folder);
  char path[MAX_PATH];
  snprintf(path, sizeof(path), "%squillon-testbed-%lu.pbk", folder, GetCurrentProcessId());
  m_phoneBook = path;
  DeleteFileA(m_phoneBook.c_str());
  SetEnvironmentVariableA("RASEMU_PHONEBOOK", m_phoneBook.c_str());
  ASSERT_EQ(CreateEntry(kEntry), 0u);
}

void StandIn::TearDown() {
  if (s_server && s_server->Running()) s_server->Reset();
  if (!m_phoneBook.empty()) DeleteFileA(m_phoneBook.c_str());
}

DWORD StandIn::CreateEntry(const char* name, const char* deviceType, const char* deviceName, DWORD framing) {
  Entry entry;
  ZeroMemory(&entry, sizeof(entry));
  entry.dwSize = sizeof(entry);
  entry.dwfOptions = RASEO_RemoteDefaultGateway | RASEO_SwCompression;
  entry.dwfNetProtocols = RASNP_Ip;
  entry.dwFramingProtocol = framing;
  entry.dwType = RASET_Broadband;
  lstrcpynA(entry.szDeviceType, deviceType, sizeof(entry.szDeviceType));
  lstrcpynA(entry.szDeviceName, deviceName, sizeof(entry.szDeviceName));
  return RasSetEntryPropertiesA(nullptr, name, &entry, sizeof(entry), nullptr, 0);
}

DWORD StandIn::Dial(const char* entry, const char* user, const char* password, HRASCONN* handle) {
  DialParams params;
  ZeroMemory(&params, sizeof(params));
  params.dwSize = sizeof(params);
  lstrcpynA(params.szEntryName, entry, sizeof(params.szEntryName));
  lstrcpynA(params.szUserName, user, sizeof(params.szUserName));
  lstrcpynA(params.szPassword, password, sizeof(params.szPassword));
  *handle = nullptr;
  return RasDialA(nullptr, nullptr, &params, 0, nullptr, handle);
}

std::vector<Connection> StandIn::Connections() {
  std::vector<Connection> list(16);
  list[0].dwSize = sizeof(Connection);
  DWORD size = static_cast<DWORD>(list.size() * sizeof(Connection));
  DWORD count = 0;
  EXPECT_EQ(RasEnumConnectionsA(list.data(), &size, &count), 0u);
  list.resize(count);
  return list;
}

DWORD StandIn::StatusOf(HRASCONN handle, ConnectionStatus* status) {
  ConnectionStatus local;
  ConnectionStatus* target = status ? status : &local;
  ZeroMemory(target, sizeof(*target));
  target->dwSize = sizeof(*target);
  return RasGetConnectStatusA(handle, target);
}

bool StandIn::WaitGone(HRASCONN handle, DWORD timeoutMs) {
  return WaitUntil([handle] { return StatusOf(handle) == ERROR_INVALID_HANDLE; }, timeoutMs);
}

bool StandIn::HangUpAndWait(HRASCONN handle) {
  return RasHangUpA(handle) == 0 && WaitGone(handle);
}

bool StandIn::Listed(HRASCONN handle) {
  for (const Connection& connection : Connections()) {
    if (connection.hrasconn == handle) return true;
  }
  return false;
}

std::string StandIn::Rasdial(const std::string& arguments) {
  return "\"" + ProgramFolder() + "rasdial.exe\" " + arguments;
}

}  // namespace testbed
