// The fixture of the stand-in's tests: one access server for the whole program (accounts demo,
// alice and bob), a phone book of each test's own holding the dial entry, and a clean machine
// (no line, no count, no injected failure, the default tear-down time) before and after every
// test.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/testbed/TestbedServer.h"

namespace testbed {

// The headers define the RAS structures through macros that cannot name a type in an expression.
using Connection = RASCONNA;
using ConnectionStatus = RASCONNSTATUSA;
using DeviceInfo = RASDEVINFOA;
using DialParams = RASDIALPARAMSA;
using Entry = RASENTRYA;
using PppIp = RASPPPIPA;

constexpr char kEntry[] = "pppoe_vorlan_default_entry";
constexpr char kOtherEntry[] = "second_entry";

class StandIn : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  static CTestbedServer& Server() { return *s_server; }

  // Writes a broadband entry on the given device into the test's phone book.
  static DWORD CreateEntry(const char* name, const char* deviceType = "pppoe",
                           const char* deviceName = "WAN Miniport (PPPOE)", DWORD framing = RASFP_Ppp);
  // Dials synchronously; *handle gets what RasDialA gave back.
  static DWORD Dial(const char* entry, const char* user, const char* password, HRASCONN* handle);
  // The machine's connections (room for 16).
  static std::vector<Connection> Connections();
  // RasGetConnectStatusA's result for the handle; *status gets the structure.
  static DWORD StatusOf(HRASCONN handle, ConnectionStatus* status = nullptr);
  // Waits until the handle is gone (its status answers ERROR_INVALID_HANDLE), as a program waits
  // after a hang-up; false when it is not gone within timeoutMs.
  static bool WaitGone(HRASCONN handle, DWORD timeoutMs = 10000);
  // Hangs the handle up and waits until it is gone.
  static bool HangUpAndWait(HRASCONN handle);
  // Whether the machine lists a connection with this handle.
  static bool Listed(HRASCONN handle);
  // The full command line of rasdial.exe beside this program, followed by arguments.
  static std::string Rasdial(const std::string& arguments);

  std::string m_phoneBook;

 private:
  static CTestbedServer* s_server;
  static std::string s_error;
};

}  // namespace testbed
