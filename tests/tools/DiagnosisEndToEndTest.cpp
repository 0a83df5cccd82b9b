// The network diagnosis of the running client, against the access server: the notice while a line
// is up, and a run on this machine's own devices with the details and the modem dialog.
// The fixture brings in Windows Sockets, which must come before windows.h.
#include "tests/core/ConnectionFixture.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "client/resources/Resource.h"

namespace {

const char kDiagnosisCaption[] = "宽带故障检测";

std::string Shot(const std::string& name) {
  return driver::BuildDir() + "/tests/programs/" + name + ".png";
}

class DiagnosisEndToEndTest : public e2e::ConnectionTest {
 protected:
  HWND WaitForDialog(const char* caption) {
    HWND dialog = nullptr;
    driver::WaitFor([&] { return (dialog = driver::FindDialog(m_client->ProcessId(), caption)) != nullptr; },
                    10000);
    return dialog;
  }
};

TEST_F(DiagnosisEndToEndTest, WhileConnectedTheCommandShowsOnlyTheBusyNotice) {
  ASSERT_NO_FATAL_FAILURE(StartClient("diagnosis-busy"));
  Connect("demo", "demo1234");
  ASSERT_TRUE(WaitConnected("demo")) << m_client->Text(IDC_MESSAGE_TEXT);

  m_client->SendCommand(ID_DIAGNOSIS);
  HWND notice = WaitForDialog("提示");
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(driver::WindowText(GetDlgItem(notice, IDC_DIAG_BUSY_TEXT)), "网络连接已建立，不能进行故障检测");
  EXPECT_EQ(driver::WindowText(GetDlgItem(notice, IDOK)), "确定");
  EXPECT_TRUE(driver::ScreenshotWindow(notice, Shot("diagnosis-busy")));

  driver::CClient::Answer(notice, IDOK);
  ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(notice); }, 5000));
  // The notice came instead of the diagnosis, not before it; the line stays up.
  EXPECT_EQ(driver::FindDialog(m_client->ProcessId()), nullptr);
  EXPECT_EQ(SessionCount(), 1u);
}

TEST_F(DiagnosisEndToEndTest, ARunOnThisMachinePingsTheModemItWasGivenAndHearsTheServerAnswer) {
  ASSERT_NO_FATAL_FAILURE(StartClient("diagnosis-run"));
  m_client->SendCommand(ID_DIAGNOSIS);
  HWND dialog = WaitForDialog(kDiagnosisCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DIAG_STOP)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DIAG_DETAIL)));

  // The modem's address: letting it be found fills this computer's address and locks the box;
  // an address typed instead is kept for the run.
  ASSERT_TRUE(driver::ClickButton(dialog, IDC_DIAG_CONFIGURE));
  HWND modem = WaitForDialog("Kavrin Modem");
  ASSERT_NE(modem, nullptr);
  HWND address = GetDlgItem(modem, IDC_MODEM_ADDRESS);
  EXPECT_TRUE(IsWindowEnabled(address));
  ASSERT_TRUE(driver::ClickButton(modem, IDC_MODEM_AUTO));
  ASSERT_TRUE(driver::WaitFor([&] { return !IsWindowEnabled(address); }, 5000));
  ASSERT_TRUE(driver::ClickButton(modem, IDC_MODEM_AUTO));
  ASSERT_TRUE(driver::WaitFor([&] { return IsWindowEnabled(address) != FALSE; }, 5000));
  SendMessageA(address, IPM_SETADDRESS, 0, MAKEIPADDRESS(127, 0, 0, 1));
  EXPECT_TRUE(driver::ScreenshotWindow(modem, Shot("modem-address")));
  driver::CClient::Answer(modem, IDOK);
  ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(modem); }, 5000));

  ASSERT_TRUE(driver::ClickButton(dialog, IDC_DIAG_START));
  // Whatever this machine's devices are, the run comes to its end; a message of the card check is
  // answered as a user would.
  int messages = 0;
  const bool ended = driver::WaitFor(
      [&] {
        HWND box = driver::FindDialog(m_client->ProcessId(), "提示");
        if (box != nullptr) {
          ++messages;
          driver::CClient::Answer(box, IDOK);
          return false;
        }
        return IsWindowEnabled(GetDlgItem(dialog, IDC_DIAG_DETAIL)) != FALSE;
      },
      60000);
  ASSERT_TRUE(ended);
  EXPECT_LE(messages, 1) << "a message of the card check came twice in one run";
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_DIAG_START)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DIAG_STOP)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_DIAG_PAGES)));
  const std::string lines = driver::WindowText(GetDlgItem(dialog, IDC_DIAG_PROVIDER_RESULT));
  EXPECT_TRUE(driver::ScreenshotWindow(dialog, Shot("diagnosis")));
  if (lines.find("本机有故障") == std::string::npos) {
    EXPECT_NE(lines.find("Kavrin Modem（127.0.0.1）："), std::string::npos) << lines;
    // The access server refuses the probe's made-up credentials: it answered.
    if (lines.find("PPPOE") == std::string::npos) {
      EXPECT_NE(lines.find("认证计费服务器：应答正常。"), std::string::npos) << lines;
    }
  }
  // The probe left no session behind.
  EXPECT_EQ(SessionCount(), 0u);

  ASSERT_TRUE(driver::ClickButton(dialog, IDC_DIAG_DETAIL));
  ASSERT_TRUE(
      driver::WaitFor([&] { return IsWindowVisible(GetDlgItem(dialog, IDC_DIAG_PAGES)) != FALSE; }, 5000));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_DIAG_RESULT)));
  EXPECT_TRUE(driver::ScreenshotWindow(dialog, Shot("diagnosis-details")));

  driver::CClient::Answer(dialog, IDCANCEL);
  ASSERT_TRUE(driver::WaitFor([&] { return !IsWindow(dialog); }, 5000));
}

}  // namespace
