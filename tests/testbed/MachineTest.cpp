// What makes the connections the machine's: other processes see, end and are told of them (never
// of what ended before they asked), a dial ends with the process that makes it, and WinINet in
// every process that loaded the stand-in answers as Windows does while one is up.
#include "tests/testbed/StandInFixture.h"

#include <wininet.h>

namespace testbed {
namespace {

class CEvent {
 public:
  CEvent() : m_handle(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  ~CEvent() { CloseHandle(m_handle); }
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;
  HANDLE Get() const { return m_handle; }
  bool Signalled(DWORD timeoutMs) const { return WaitForSingleObject(m_handle, timeoutMs) == WAIT_OBJECT_0; }

 private:
  HANDLE m_handle;
};

constexpr DWORD kEventWaitMs = 5000;
constexpr DWORD kProgramWaitMs = 30000;

using Machine = StandIn;

TEST_F(Machine, AConnectionDialledByRasdialIsListedHere) {
  std::string output;
  ASSERT_EQ(RunProgram(Rasdial(std::string(kEntry) + " demo demo1234"), kProgramWaitMs, &output), 0)
      << output;
  const std::vector<Connection> connections = Connections();
  ASSERT_EQ(connections.size(), 1u);
  EXPECT_STREQ(connections[0].szEntryName, kEntry);
  ConnectionStatus status;
  ASSERT_EQ(StatusOf(connections[0].hrasconn, &status), 0u);
  EXPECT_EQ(status.rasconnstate, RASCS_Connected);

  ASSERT_EQ(RunProgram(Rasdial(""), kProgramWaitMs, &output), 0);
  EXPECT_NE(output.find(kEntry), std::string::npos) << "rasdial lists it too: " << output;

  ASSERT_EQ(RunProgram(Rasdial(std::string(kEntry) + " /DISCONNECT"), kProgramWaitMs, &output), 0) << output;
  EXPECT_TRUE(Connections().empty());
  EXPECT_EQ(StatusOf(connections[0].hrasconn), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Machine, RasdialReportsRefusalsWithTheirCode) {
  std::string output;
  EXPECT_EQ(RunProgram(Rasdial(std::string(kEntry) + " demo wrong"), kProgramWaitMs, &output), 691) << output;
  EXPECT_NE(output.find("691"), std::string::npos) << output;
  EXPECT_EQ(RunProgram(Rasdial("missing_entry demo demo1234"), kProgramWaitMs), 623);
  EXPECT_EQ(RunProgram(Rasdial(std::string(kEntry) + " /DISCONNECT"), kProgramWaitMs), ERROR_NO_CONNECTION);
  EXPECT_TRUE(Server().Sessions().empty()) << "a refused dial leaves nothing behind";
}

TEST_F(Machine, AConnectionDialledElsewhereIsHungUpHere) {
  ASSERT_EQ(RunProgram(Rasdial(std::string(kEntry) + " demo demo1234"), kProgramWaitMs), 0);
  const std::vector<Connection> connections = Connections();
  ASSERT_EQ(connections.size(), 1u);
  EXPECT_EQ(RasHangUpA(connections[0].hrasconn), 0u);
  EXPECT_TRUE(Server().Sessions().empty());
}

TEST_F(Machine, EntriesOutliveTheProcessThatWroteThem) {
  std::string output;
  ASSERT_EQ(RunProgram(Rasdial("written_elsewhere /CREATE"), kProgramWaitMs, &output), 0) << output;
  EXPECT_EQ(RasValidateEntryNameA(nullptr, "written_elsewhere"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  Entry entry;
  entry.dwSize = sizeof(entry);
  DWORD size = sizeof(entry);
  ASSERT_EQ(RasGetEntryPropertiesA(nullptr, "written_elsewhere", &entry, &size, nullptr, nullptr), 0u);
  EXPECT_STREQ(entry.szDeviceType, "pppoe");
  EXPECT_EQ(entry.dwType, static_cast<DWORD>(RASET_Broadband));

  ASSERT_EQ(CreateEntry("written_here"), 0u);
  EXPECT_EQ(RunProgram(Rasdial("written_here demo demo1234"), kProgramWaitMs, &output), 0) << output;
  EXPECT_EQ(RunProgram(Rasdial("written_elsewhere /DELETE"), kProgramWaitMs), 0);
  EXPECT_EQ(RasValidateEntryNameA(nullptr, "written_elsewhere"), 0u);
}

TEST_F(Machine, ConcurrentWritersLoseNoEntry) {
  // Four processes and this one write the same phone book at once.
  std::vector<PROCESS_INFORMATION> children;
  for (int i = 0; i < 4; ++i) {
    std::string line = Rasdial("child_" + std::to_string(i) + " /CREATE");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &process));
    children.push_back(process);
  }
  for (int i = 0; i < 5; ++i) ASSERT_EQ(CreateEntry(("here_" + std::to_string(i)).c_str()), 0u);
  for (PROCESS_INFORMATION& process : children) {
    EXPECT_EQ(WaitForSingleObject(process.hProcess, kProgramWaitMs), WAIT_OBJECT_0);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(RasValidateEntryNameA(nullptr, ("child_" + std::to_string(i)).c_str()),
              static_cast<DWORD>(ERROR_ALREADY_EXISTS))
        << i;
  }
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(RasValidateEntryNameA(nullptr, ("here_" + std::to_string(i)).c_str()),
              static_cast<DWORD>(ERROR_ALREADY_EXISTS))
        << i;
  }
}

TEST_F(Machine, AnyConnectionComingUpAnywhereSignals) {
  CEvent event;
  ASSERT_EQ(
      RasConnectionNotificationA(static_cast<HRASCONN>(INVALID_HANDLE_VALUE), event.Get(), RASCN_Connection),
      0u);
  EXPECT_FALSE(event.Signalled(200));
  ASSERT_EQ(RunProgram(Rasdial(std::string(kEntry) + " demo demo1234"), kProgramWaitMs), 0);
  EXPECT_TRUE(event.Signalled(kEventWaitMs)) << "dialled by another process";

  ASSERT_EQ(CreateEntry(kOtherEntry), 0u);
  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kOtherEntry, "alice", "secret", &handle), 0u);
  EXPECT_TRUE(event.Signalled(kEventWaitMs)) << "the registration stays for the next connection";

  ASSERT_TRUE(Server().Ctl("DROP all"));
  EXPECT_FALSE(event.Signalled(300)) << "an ending is not a connection";
}

TEST_F(Machine, TheEndOfAConnectionSignalsWhoeverEndsIt) {
  struct Case {
    const char* how;
    void (*end)(HRASCONN handle);
  } cases[] = {
      {"hang-up here", [](HRASCONN handle) { EXPECT_EQ(RasHangUpA(handle), 0u); }},
      {"hang-up by another process",
       [](HRASCONN) {
         EXPECT_EQ(RunProgram(Rasdial(std::string(kEntry) + " /DISCONNECT"), kProgramWaitMs), 0);
       }},
      {"a drop at the server", [](HRASCONN) { EXPECT_TRUE(Server().Ctl("DROP demo")); }},
  };
  for (const Case& c : cases) {
    HRASCONN handle = nullptr;
    ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u) << c.how;
    CEvent ended, anyEnded;
    ASSERT_EQ(RasConnectionNotificationA(handle, ended.Get(), RASCN_Disconnection), 0u);
    ASSERT_EQ(RasConnectionNotificationA(static_cast<HRASCONN>(INVALID_HANDLE_VALUE), anyEnded.Get(),
                                         RASCN_Disconnection),
              0u);
    EXPECT_FALSE(ended.Signalled(200)) << c.how;
    c.end(handle);
    EXPECT_TRUE(ended.Signalled(kEventWaitMs)) << c.how;
    EXPECT_TRUE(anyEnded.Signalled(kEventWaitMs)) << c.how;
    ConnectionStatus status;
    if (StatusOf(handle, &status) == 0) {
      EXPECT_EQ(status.rasconnstate, RASCS_Disconnected) << c.how;
    }
    // The handle that dialled is hung up, whoever ended the connection, before the entry is
    // dialled again.
    RasHangUpA(handle);
    EXPECT_TRUE(WaitGone(handle)) << c.how;
  }
}

// Registering for the end of a connection that has already ended gives no signal, then or later;
// a handle that names nothing any more is refused.
TEST_F(Machine, AConnectionThatAlreadyEndedGivesNoCatchUpSignal) {
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", "60000");
  ASSERT_EQ(CreateEntry(kOtherEntry), 0u);
  ASSERT_EQ(CreateEntry("third_entry"), 0u);
  ASSERT_EQ(CreateEntry("fourth_entry"), 0u);
  HRASCONN hungUp = nullptr, dropped = nullptr, failed = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &hungUp), 0u);
  ASSERT_EQ(RasHangUpA(hungUp), 0u);
  ASSERT_EQ(Dial(kOtherEntry, "alice", "secret", &dropped), 0u);
  ASSERT_TRUE(Server().Ctl("DROP alice"));
  ASSERT_EQ(Dial("third_entry", "bob", "wrong", &failed), static_cast<DWORD>(ERROR_AUTHENTICATION_FAILURE));

  CEvent events[3];
  const HRASCONN ended[3] = {hungUp, dropped, failed};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(RasConnectionNotificationA(ended[i], events[i].Get(), RASCN_Disconnection), 0u) << i;
  }
  // A witness: the end of a connection made after the registrations is heard of; by then the
  // ended ones have had every chance to signal.
  CEvent witness;
  ASSERT_EQ(RasConnectionNotificationA(static_cast<HRASCONN>(INVALID_HANDLE_VALUE), witness.Get(),
                                       RASCN_Disconnection),
            0u);
  HRASCONN later = nullptr;
  ASSERT_EQ(Dial("fourth_entry", "demo", "demo1234", &later), 0u);
  ASSERT_TRUE(Server().Ctl("DROP demo"));
  ASSERT_TRUE(witness.Signalled(kEventWaitMs));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(events[i].Signalled(0)) << i;

  // Once a handle names nothing any more, registering for it fails.
  SetEnvironmentVariableA("RASEMU_TEARDOWN_MS", "0");
  ASSERT_TRUE(HangUpAndWait(failed));
  CEvent late;
  EXPECT_EQ(RasConnectionNotificationA(failed, late.Get(), RASCN_Disconnection),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// A dial belongs to the process that makes it: when that process ends mid-dial the dial is hung
// up, and no session is left.
TEST_F(Machine, ADialWhoseProcessEndsIsHungUp) {
  ASSERT_TRUE(Server().Ctl("DELAY 30000"));
  EXPECT_EQ(RunProgram(Rasdial(std::string(kEntry) + " demo demo1234"), 1500), -1) << "still dialling";
  EXPECT_TRUE(WaitUntil([] { return Server().Lines().empty(); }, 10000)) << "torn down and gone";
  EXPECT_TRUE(Server().Sessions().empty());
  EXPECT_EQ(Server().Counts("demo").aborted, 1u);
}

TEST_F(Machine, AnEventClosedAfterRegisteringIsNotConfusedWithANewOne) {
  HANDLE old = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_EQ(RasConnectionNotificationA(static_cast<HRASCONN>(INVALID_HANDLE_VALUE), old, RASCN_Connection),
            0u);
  CloseHandle(old);
  CEvent fresh;  // quite likely the same handle value
  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  EXPECT_FALSE(fresh.Signalled(500)) << "the new event was never registered";
}

TEST_F(Machine, NotificationArgumentsAreChecked) {
  CEvent event;
  EXPECT_EQ(
      RasConnectionNotificationA(static_cast<HRASCONN>(INVALID_HANDLE_VALUE), nullptr, RASCN_Connection),
      static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RasConnectionNotificationA(reinterpret_cast<HRASCONN>(0x1234), event.Get(), RASCN_Disconnection),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RasConnectionNotificationA(nullptr, event.Get(), RASCN_Disconnection),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

DWORD ConnectedState(BOOL* result = nullptr) {
  DWORD flags = 0;
  const BOOL connected = InternetGetConnectedState(&flags, 0);
  if (result) *result = connected;
  return flags;
}

TEST_F(Machine, WinInetAnswersModemWhileAConnectionIsUp) {
  const DWORD idle = ConnectedState();
  EXPECT_FALSE(idle & INTERNET_CONNECTION_MODEM) << "Wine's own answer while nothing is dialled: " << idle;

  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  BOOL connected = FALSE;
  const DWORD up = ConnectedState(&connected);
  EXPECT_TRUE(connected);
  EXPECT_EQ(up & ~static_cast<DWORD>(INTERNET_RAS_INSTALLED),
            static_cast<DWORD>(INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_CONFIGURED))
      << up;

  ASSERT_EQ(RasHangUpA(handle), 0u);
  EXPECT_EQ(ConnectedState(), idle) << "LAN again from the hang-up on, while the connection tears down";
  ASSERT_TRUE(WaitGone(handle));

  ASSERT_EQ(RunProgram(Rasdial(std::string(kEntry) + " demo demo1234"), kProgramWaitMs), 0);
  EXPECT_TRUE(ConnectedState() & INTERNET_CONNECTION_MODEM) << "a connection of another process counts too";
  ASSERT_TRUE(Server().Ctl("DROP all"));
  EXPECT_EQ(ConnectedState(), idle);
}

TEST_F(Machine, WinInetLoadedBeforeOrAfterTheStandInAnswersAlike) {
  const std::string probe = "\"" + ProgramFolder() + "connected_state_probe.exe\" ";
  const int idleFirst = RunProgram(probe + "rasapi-first", kProgramWaitMs);
  const int idleSecond = RunProgram(probe + "wininet-first", kProgramWaitMs);
  ASSERT_LT(idleFirst, 2000) << "the probe could not load its modules";
  EXPECT_FALSE(idleFirst % 1000 & INTERNET_CONNECTION_MODEM) << idleFirst;
  EXPECT_EQ(idleFirst, idleSecond);

  HRASCONN handle = nullptr;
  ASSERT_EQ(Dial(kEntry, "demo", "demo1234", &handle), 0u);
  for (const char* order : {"rasapi-first", "wininet-first"}) {
    const int answer = RunProgram(probe + order, kProgramWaitMs);
    EXPECT_EQ(answer & ~INTERNET_RAS_INSTALLED, INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_CONFIGURED)
        << order << ": " << answer;
  }
}

}  // namespace
}  // namespace testbed
