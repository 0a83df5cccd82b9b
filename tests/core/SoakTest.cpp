// The drop-and-redial cycle many times over in one run of the client: every lost line is recorded,
// every redial opens a record, the client answers throughout, and its handles and threads do not
// grow. Long: run with scripts/soak [CYCLES] (default 100).
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client/resources/Resource.h"
#include "client/store/ConfigStore.h"

namespace {

int Cycles() {
  const char* value = std::getenv("QUILLON_SOAK_CYCLES");
  const int cycles = value ? std::atoi(value) : 0;
  return cycles > 0 ? cycles : 100;
}

DWORD ThreadCount(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof(entry);
  DWORD threads = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == pid) threads = entry.cntThreads;
  }
  CloseHandle(snapshot);
  return threads;
}

// The handles a process holds, from the system's handle table: Wine answers GetProcessHandleCount
// with 0 for every process, but lists the handles of each.
DWORD HandleCount(DWORD pid) {
  struct Entry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  typedef LONG(WINAPI * QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);
  const ULONG kSystemHandleInformation = 16;
  QuerySystemInformation query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  std::vector<unsigned char> buffer(1 << 20);
  ULONG length = 0;
  LONG status = 0;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                         &length)) == static_cast<LONG>(0xC0000004) &&
         buffer.size() < (64u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return 0;
  const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
  const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
  DWORD held = 0;
  for (ULONG i = 0; i < count && sizeof(void*) + (i + 1) * sizeof(Entry) <= buffer.size(); ++i) {
    held += entries[i].ownerPid == pid;
  }
  return held;
}

bool Answers(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

class SoakTest : public e2e::ConnectionTest {};

// The private bytes of a process (memory of its own, not shared); 0 when they cannot be read.
SIZE_T PrivateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters;
  std::memset(&counters, 0, sizeof(counters));
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters))) {
    return 0;
  }
  // Wine leaves PrivateUsage empty; the commit charge of the process is the same memory.
  return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

TEST_F(SoakTest, DropsAndRedials) {
  const int cycles = Cycles();
  ASSERT_NO_FATAL_FAILURE(StartClient("soak", [](CConfigStore& config) {
    config.SetReconnect(true);
    config.SetRedial("1", 3);
  }));
  e2e::CTimeline timeline;
  std::string error;
  ASSERT_TRUE(timeline.Start(m_server.Port(), &error)) << error;

  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);
  // The main window has heard of the connection when its keep-alive goes out.
  ASSERT_TRUE(driver::WaitFor([&] { return timeline.KeepAliveCount() >= 1; }, 10000));

  DWORD firstHandles = 0, firstThreads = 0, peakHandles = 0, peakThreads = 0;
  SIZE_T firstPrivate = 0;
  const DWORD start = GetTickCount();
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    std::vector<testbed::SessionInfo> before = m_server.Sessions();
    ASSERT_EQ(before.size(), 1u);
    const size_t keepAlives = timeline.KeepAliveCount();
    ASSERT_TRUE(m_server.Ctl("DROP all"));
    if (cycle % 2 == 1) {
      // Every other redialled line dies the moment it comes up, before the client can have looked
      // at it: its end must be noticed all the same, and the line redialled again.
      std::vector<testbed::SessionInfo> up;
      ASSERT_TRUE(driver::WaitFor(
          [&] {
            up = m_server.Sessions();
            return up.size() == 1 && up[0].id != before[0].id;
          },
          20000))
          << "no redial";
      ASSERT_TRUE(m_server.Ctl("DROP " + std::to_string(up[0].id)));
      before = up;
    }
    const bool redialled = driver::WaitFor(
        [&] {
          const std::vector<testbed::SessionInfo> now = m_server.Sessions();
          return now.size() == 1 && now[0].id != before[0].id && timeline.KeepAliveCount() > keepAlives;
        },
        20000);
    if (!redialled) {
      // What each side saw, for the one cycle in hundreds that goes wrong.
      const testbed::AccountCounts counts = m_server.Counts("demo");
      std::string refusals;
      for (const auto& refusal : counts.refusals) {
        refusals += " " + std::to_string(refusal.first) + "x" + std::to_string(refusal.second);
      }
      std::string lines;
      for (const testbed::SessionInfo& line : m_server.Lines())
        lines += " [" + line.user + " " + line.phase + "]";
      ADD_FAILURE() << "no redial: " << counts.dials << " dials, " << counts.sessions << " sessions, refusals"
                    << refusals << ", lines" << lines << ", sessions now " << m_server.Sessions().size()
                    << ", keep-alives " << timeline.KeepAliveCount() << " (" << keepAlives
                    << " before), message '" << m_client->Text(IDC_MESSAGE_TEXT) << "', connect button "
                    << m_client->IsToolbarButtonEnabled(ID_CONNECT);
      // A failing client is kept as it is for a debugger when QUILLON_SOAK_HOLD names a file:
      // its process id goes there, and the test waits until the file is removed.
      if (const char* hold = std::getenv("QUILLON_SOAK_HOLD")) {
        driver::WriteFileBytes(hold, std::to_string(m_client->ProcessId()));
        driver::WaitFor([&] { return GetFileAttributesA(hold) == INVALID_FILE_ATTRIBUTES; }, 3600000);
      }
      return;
    }
    ASSERT_TRUE(Answers(m_client->MainWindow())) << "the client does not answer";
    ASSERT_TRUE(WaitText(IDC_MESSAGE_TEXT, e2e::kConnectedText));

    // The first cycles bring every thread and handle the client keeps into being.
    if (cycle == 10) {
      firstHandles = HandleCount(m_client->ProcessId());
      firstThreads = ThreadCount(m_client->ProcessId());
      firstPrivate = PrivateBytes(m_client->Process());
    }
    if (cycle > 10) {
      const DWORD handles = HandleCount(m_client->ProcessId());
      const DWORD threads = ThreadCount(m_client->ProcessId());
      if (handles > peakHandles) peakHandles = handles;
      if (threads > peakThreads) peakThreads = threads;
    }
  }
  const DWORD elapsed = GetTickCount() - start;

  // Every lost line closed its own record and every line that came up opened one.
  const size_t sessions = static_cast<size_t>(m_server.Counts("demo").sessions);
  std::vector<e2e::RecordItem> records;
  ASSERT_TRUE(driver::WaitFor([&] { return (records = Records()).size() == sessions; }, 10000))
      << records.size() << " records of " << sessions << " sessions";
  EXPECT_EQ(records[0].end, "");
  EXPECT_EQ(records[0].ip, m_server.Sessions()[0].address);
  size_t lost = 0;
  for (size_t i = 1; i < records.size(); ++i)
    lost += records[i].error == "非法断开" && !records[i].end.empty();
  EXPECT_EQ(lost, sessions - 1);

  const DWORD lastHandles = HandleCount(m_client->ProcessId());
  const DWORD lastThreads = ThreadCount(m_client->ProcessId());
  const SIZE_T lastPrivate = PrivateBytes(m_client->Process());
  std::printf(
      "soak: %d cycles in %lu ms (%lu ms each); handles %lu at cycle 10, %lu at the end, peak %lu; "
      "threads %lu at cycle 10, %lu at the end, peak %lu; private bytes %lu KiB at cycle 10, %lu KiB at "
      "the end\n",
      cycles, elapsed, elapsed / static_cast<DWORD>(cycles), firstHandles, lastHandles, peakHandles,
      firstThreads, lastThreads, peakThreads, static_cast<unsigned long>(firstPrivate / 1024),
      static_cast<unsigned long>(lastPrivate / 1024));
  if (cycles > 20) {
    // A leak of one handle or thread per cycle would show as tens of them.
    EXPECT_LE(lastHandles, firstHandles + 10);
    EXPECT_LE(lastThreads, firstThreads + 3);
    // The month file is read whole for each record; a few MiB of growth is the file, not a leak.
    EXPECT_LE(lastPrivate, firstPrivate + 8 * 1024 * 1024);
  }

  ASSERT_NO_FATAL_FAILURE(ExitClient());
  EXPECT_TRUE(WaitNoSession());
  EXPECT_EQ(Records()[0].error, "正常断开");
}

}  // namespace
