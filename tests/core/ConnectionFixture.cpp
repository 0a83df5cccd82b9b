#include "tests/core/ConnectionFixture.h"

#include <ctime>

#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"
#include "client/store/RecordFiles.h"
#include "client/store/XmlDoc.h"
#include "testbed/protocol/Protocol.h"

namespace e2e {

const char kAccounts[] =
    "demo demo1234\n"
    "alice abc123\n"
    "bob pass10\n"
    "u234567890123456789 p234567890123456\n"
    "carol secret\n";

const char kConnectedText[] = "已经成功地建立了连接";
const char kWelcomeText[] = "欢迎使用远岸宽带拨号客户端";
const char kDialingText[] = "正在连接拨号网络,请稍候...";

namespace {

constexpr unsigned short kNoticePort = 3360;

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

}  // namespace

std::vector<RecordItem> ReadMonthRecords(const std::string& folder) {
  std::vector<RecordItem> items;
  const std::string file = MonthFileName(folder + "data\\record", std::time(nullptr));
  CXmlDoc doc;
  if (!doc.LoadFile(file.c_str()) || !doc.FindElement("record") || !doc.EnterElement()) return items;
  while (doc.FindElement("ITEM")) {
    items.push_back({doc.GetAttribute("user"), doc.GetAttribute("start_time"), doc.GetAttribute("end_time"),
                     doc.GetAttribute("ip"), doc.GetAttribute("error_code"), doc.GetAttribute("send"),
                     doc.GetAttribute("recv")});
  }
  return items;
}

bool IsDecimal(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

SavedUsers ReadUsers(const std::string& folder) {
  SavedUsers users;
  CConfigStore config(folder + "config.xml");
  config.GetUsers(kDefaultEntry, users.names, users.passwords);
  users.hasLast = config.GetLastUser(users.lastNames, users.lastPasswords);
  return users;
}

void WriteConfig(const std::string& folder, const std::function<void(CConfigStore&)>& edit) {
  CConfigStore config(folder + "config.xml");
  if (edit) edit(config);
}

std::string ExpectedNotice(unsigned kind, const std::string& user) {
  std::string notice(44, '\0');
  notice[0] = static_cast<char>(kind & 0xFF);
  notice[1] = static_cast<char>((kind >> 8) & 0xFF);
  for (size_t i = 0; i < user.size() && i < 20; ++i) notice[4 + i] = user[i];
  return notice;
}

std::string ExpectedKeepAlive() {
  std::string datagram(44, '\0');
  datagram[0] = 10;
  datagram[24] = 'A';
  return datagram;
}

CTimeline::~CTimeline() {
  Stop();
}

bool CTimeline::Start(int serverPort, std::string* error) {
  StartWinsock();
  m_udp = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  local.sin_port = htons(kNoticePort);
  // Another test program may still hold the port for a moment.
  const bool bound = testbed::WaitUntil(
      [&] { return bind(m_udp, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0; }, 30000);
  if (!bound) {
    *error = "127.0.0.1:3360 stays in use";
    return false;
  }
  m_watch = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in server = {};
  server.sin_family = AF_INET;
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  server.sin_port = htons(static_cast<u_short>(serverPort));
  const char request[] = "WATCH\n";
  if (connect(m_watch, reinterpret_cast<sockaddr*>(&server), sizeof(server)) != 0 ||
      send(m_watch, request, sizeof(request) - 1, 0) != sizeof(request) - 1) {
    *error = "cannot watch the access server";
    return false;
  }
  m_stop = 0;
  m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return m_thread != nullptr;
}

void CTimeline::Stop() {
  if (m_thread != nullptr) {
    InterlockedExchange(&m_stop, 1);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
  }
  if (m_udp != INVALID_SOCKET) closesocket(m_udp);
  if (m_watch != INVALID_SOCKET) closesocket(m_watch);
  m_udp = m_watch = INVALID_SOCKET;
}

DWORD WINAPI CTimeline::ThreadMain(LPVOID self) {
  static_cast<CTimeline*>(self)->Run();
  return 0;
}

void CTimeline::Run() {
  testbed::CLineBuffer lines;
  bool subscribed = false;
  while (InterlockedCompareExchange(&m_stop, 0, 0) == 0) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(m_udp, &readable);
    FD_SET(m_watch, &readable);
    timeval wait = {0, 100000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    // The datagram is looked at first: a notice and an event that are both waiting came in that
    // order only if the notice was sent first, which is what the tests ask.
    if (FD_ISSET(m_udp, &readable)) {
      char buffer[2048];
      sockaddr_in from = {};
      int fromLength = sizeof(from);
      const int got =
          recvfrom(m_udp, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (got > 0) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_events.push_back({Event::kNotice, std::string(buffer, static_cast<size_t>(got)), GetTickCount()});
        m_clientPort = ntohs(from.sin_port);
      }
    }
    if (FD_ISSET(m_watch, &readable)) {
      char buffer[4096];
      const int got = recv(m_watch, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      lines.Append(buffer, static_cast<size_t>(got));
      std::string line;
      while (lines.NextLine(&line)) {
        if (!subscribed) {
          subscribed = testbed::IsStatusLine(line);
          continue;
        }
        const auto words = testbed::SplitWords(line);
        if (words.size() < 3 || words[0] != "EVENT") continue;
        std::lock_guard<std::mutex> guard(m_lock);
        if (words[1] == "UP") {
          testbed::SessionInfo session;
          if (testbed::ParseSessionWords(words, 2, &session))
            m_events.push_back({Event::kUp, session.user, GetTickCount()});
        } else if (words[1] == "DOWN") {
          m_events.push_back({Event::kDown, std::string(words[2]), GetTickCount()});
        }
      }
    }
  }
}

std::vector<CTimeline::Event> CTimeline::Events() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_events;
}

std::vector<CTimeline::Event> CTimeline::PresenceEvents() {
  std::vector<Event> presence;
  for (const Event& event : Events()) {
    if (event.kind != Event::kNotice || event.data != ExpectedKeepAlive()) presence.push_back(event);
  }
  return presence;
}

size_t CTimeline::KeepAliveCount() {
  size_t count = 0;
  for (const Event& event : Events())
    count += event.kind == Event::kNotice && event.data == ExpectedKeepAlive();
  return count;
}

bool CTimeline::WaitForCount(size_t count, DWORD timeoutMs) {
  return testbed::WaitUntil([&] { return PresenceEvents().size() >= count; }, timeoutMs);
}

void CTimeline::Clear() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_events.clear();
}

unsigned short CTimeline::ClientPort() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_clientPort;
}

bool CTimeline::SendToClient(const std::string& bytes) {
  const unsigned short port = ClientPort();
  if (port == 0) return false;
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port);
  return sendto(m_udp, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&to),
                sizeof(to)) == static_cast<int>(bytes.size());
}

CTextSampler::~CTextSampler() {
  Stop();
}

void CTextSampler::Start(HWND control) {
  Stop();
  m_control = control;
  m_stop = 0;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_changes.clear();
  }
  m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
}

void CTextSampler::Stop() {
  if (m_thread == nullptr) return;
  InterlockedExchange(&m_stop, 1);
  WaitForSingleObject(m_thread, INFINITE);
  CloseHandle(m_thread);
  m_thread = nullptr;
}

DWORD WINAPI CTextSampler::ThreadMain(LPVOID param) {
  CTextSampler* self = static_cast<CTextSampler*>(param);
  std::string last = "\x01";
  while (InterlockedCompareExchange(&self->m_stop, 0, 0) == 0) {
    const std::string text = driver::WindowText(self->m_control);
    if (text != last) {
      std::lock_guard<std::mutex> guard(self->m_lock);
      self->m_changes.emplace_back(GetTickCount(), text);
      last = text;
    }
    Sleep(20);
  }
  return 0;
}

std::vector<std::pair<DWORD, std::string>> CTextSampler::Changes() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_changes;
}

int CTextSampler::CountBecame(const std::string& text) {
  int count = 0;
  for (const auto& change : Changes()) count += change.second == text ? 1 : 0;
  return count;
}

void ConnectionTest::SetUp() {
  if (testbed::CTestbedServer::FindServerBinary().empty()) GTEST_SKIP() << "the access server is not built";
  CreateDirectoryA(driver::WindowsPath(driver::BuildDir() + "/tests/programs").c_str(), nullptr);
  const std::string accounts =
      driver::BuildDir() + "/tests/programs/accounts-" + std::to_string(GetCurrentProcessId()) + ".txt";
  m_accountsFile = driver::WindowsPath(accounts);
  ASSERT_TRUE(driver::WriteFileBytes(m_accountsFile, kAccounts));
  std::string error;
  ASSERT_TRUE(m_server.Start("--accounts " + accounts + " --delay 50", &error)) << error;
}

void ConnectionTest::TearDown() {
  delete m_client;
  m_client = nullptr;
  m_server.Stop();
  if (!m_accountsFile.empty()) DeleteFileA(m_accountsFile.c_str());
}

void ConnectionTest::StartClient(const std::string& name, const std::function<void(CConfigStore&)>& edit) {
  delete m_client;
  m_clientName = name;
  m_client = new driver::CClient(name);
  std::string error;
  ASSERT_TRUE(m_client->Prepare(&error)) << error;
  if (edit) WriteConfig(m_client->Folder(), edit);
  ASSERT_TRUE(m_client->Launch(&error)) << error;
  ASSERT_NE(m_client->WaitForMainWindow(), nullptr) << "no main window";
  ASSERT_TRUE(driver::WaitFor([&] { return IsWindowVisible(m_client->MainWindow()) != FALSE; }, 10000));
}

void ConnectionTest::RestartClient() {
  std::string error;
  ASSERT_TRUE(m_client->Launch(&error)) << error;
  ASSERT_NE(m_client->WaitForMainWindow(), nullptr) << "no main window";
  ASSERT_TRUE(driver::WaitFor([&] { return IsWindowVisible(m_client->MainWindow()) != FALSE; }, 10000));
}

void ConnectionTest::ExitClient() {
  m_client->SendCommand(ID_MENU_EXIT);
  DWORD code = 1;
  ASSERT_TRUE(m_client->WaitForExit(30000, &code)) << "the client did not end";
  EXPECT_EQ(code, 0u);
}

void ConnectionTest::Connect(const std::string& user, const std::string& password) {
  ASSERT_TRUE(m_client->Type(IDC_USER_NAME, user));
  ASSERT_TRUE(m_client->Type(IDC_PASSWORD, password));
  ASSERT_TRUE(m_client->Click(IDC_CONNECT));
}

bool ConnectionTest::WaitText(int id, const std::string& text, DWORD timeoutMs) {
  return driver::WaitFor([&] { return m_client->Text(id) == text; }, timeoutMs);
}

bool ConnectionTest::WaitConnected(const std::string& user, DWORD timeoutMs) {
  return driver::WaitFor(
      [&] {
        if (m_client->Text(IDC_MESSAGE_TEXT) != kConnectedText) return false;
        for (const testbed::SessionInfo& session : m_server.Sessions()) {
          if (session.user == user) return true;
        }
        return false;
      },
      timeoutMs);
}

bool ConnectionTest::WaitNoSession(DWORD timeoutMs) {
  return driver::WaitFor([&] { return m_server.Sessions().empty(); }, timeoutMs);
}

std::string ConnectionTest::AnswerMessageBox(std::string* caption) {
  HWND box = m_client->WaitForMessageBox();
  if (box == nullptr) return "(no message box)";
  const std::string text = driver::CClient::MessageBoxText(box);
  if (caption != nullptr) *caption = driver::WindowText(box);
  driver::CClient::Answer(box, IDOK);
  driver::WaitFor([&] { return !IsWindow(box); }, 5000);
  return text;
}

int ConnectionTest::RunRasdial(const std::string& arguments, std::string* output) {
  return testbed::RunProgram("\"" + testbed::ProgramFolder() + "rasdial.exe\" " + arguments, 30000, output);
}

}  // namespace e2e
