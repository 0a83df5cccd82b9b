// A timed log-off carried out: the client, connected to the access server, is given a log-off one
// minute ahead on the shutdown page. When that minute comes the session ends; the client hangs up,
// records the connection as a normal end, and its process ends.
//
// The log-off ends every program of the Wine session that has a window, so this program runs in a
// prefix of its own (scripts/wine-throwaway-prefix); it has no window itself and outlives the
// session's end.
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/SettingsWindow.h"

namespace {

using settings_test::LocalTimeIn;
using settings_test::SettingsWindow;

class LogoffTest : public e2e::ConnectionTest {};

// The local time at which the process ended.
SYSTEMTIME ExitTime(HANDLE process) {
  FILETIME created, exited, kernel, user, local;
  SYSTEMTIME result = {};
  if (GetProcessTimes(process, &created, &exited, &kernel, &user) &&
      FileTimeToLocalFileTime(&exited, &local)) {
    FileTimeToSystemTime(&local, &result);
  }
  return result;
}

long long Seconds(const SYSTEMTIME& t) {
  FILETIME file;
  SystemTimeToFileTime(&t, &file);
  ULARGE_INTEGER value;
  value.LowPart = file.dwLowDateTime;
  value.HighPart = file.dwHighDateTime;
  return static_cast<long long>(value.QuadPart / 10000000ULL);
}

TEST_F(LogoffTest, ATimedLogOffHangsUpRecordsANormalEndAndEndsTheClientAtItsMinute) {
  ASSERT_NO_FATAL_FAILURE(StartClient("settings-logoff"));
  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitConnected("demo"));

  SettingsWindow settings = settings_test::OpenSettings(*m_client);
  ASSERT_NE(settings.window, nullptr);
  ASSERT_TRUE(settings.ShowTab(2, IDC_SHUTDOWN_ON));
  settings.Click(IDC_SHUTDOWN_ON);
  ASSERT_TRUE(driver::WaitFor([&] { return settings.Enabled(IDC_SHUTDOWN_TYPE); }, 5000));
  const SYSTEMTIME at = LocalTimeIn(60);
  ASSERT_TRUE(settings.SetPicker(IDC_SHUTDOWN_DATE, at));
  ASSERT_TRUE(settings.SetPicker(IDC_SHUTDOWN_TIME, at));
  ASSERT_TRUE(settings.Select(IDC_SHUTDOWN_TYPE, 2));
  settings.Click(IDOK);
  ASSERT_TRUE(settings.WaitClosed());
  ASSERT_EQ(settings_test::SystemSetLine(m_client->ReadFile("config.xml")),
            settings_test::SystemSetElement(settings_test::StoredForm(at), "注销"));

  ASSERT_TRUE(m_client->WaitForExit(120000)) << "the client outlived its log-off";
  const long long ended = Seconds(ExitTime(m_client->Process()));
  EXPECT_GE(ended, Seconds(at)) << "ended before its minute";
  EXPECT_LE(ended, Seconds(at) + 15) << "ended long after its minute";

  EXPECT_TRUE(WaitNoSession()) << "the line was left up";
  const std::vector<e2e::RecordItem> records = Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0].user, "demo");
  EXPECT_EQ(records[0].error, "正常断开");
  EXPECT_FALSE(records[0].end.empty());
}

}  // namespace
