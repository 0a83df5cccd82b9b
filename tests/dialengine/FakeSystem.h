// A scripted remote-access service, connected-state query, message box and clock for the engine's
// system table. Tests set up devices, connections and failures, then read what the engine did.
#pragma once

#include <windows.h>

#include <ras.h>

#include <functional>
#include <string>
#include <vector>

struct FakeDevice {
  std::string type;
  std::string name;
};

struct FakeConnection {
  HRASCONN handle;
  std::string entry;
  RASCONNSTATE state;
  std::string address;
  bool projectionFails;
  // After a hang-up, how many more status queries still find the handle alive.
  int pollsUntilGone;
  bool hungUp;
};

struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

struct FakeSystem {
  // Device list and phone book.
  std::vector<FakeDevice> devices;
  DWORD enumDevicesError = 0;  // answer of the call that receives a buffer
  DWORD validateResult = 623;  // ERROR_CANNOT_FIND_PHONEBOOK_ENTRY
  DWORD setEntryResult = 0;
  int setEntryCalls = 0;
  bool setEntryPhoneBookNull = false;
  std::string setEntryName;
  RASENTRYA setEntry = {};
  DWORD setEntrySize = 0;
  bool setEntryDeviceInfoNull = false;
  DWORD setEntryDeviceInfoSize = 0;

  // Dialling.
  DWORD dialResult = 0;
  bool dialLeavesHandle = false;
  std::string dialAddress = "10.0.0.7";
  bool dialProjectionFails = false;
  int dialCalls = 0;
  RASDIALPARAMSA dialParams = {};
  bool dialPlainCall = false;  // no extensions, default phone book, notifier type 0, no notifier
  std::function<void()> onDial;
  int pollsUntilGoneAfterHangUp = 2;
  std::string errorTextPrefix = "system text for ";

  // Active connections, listed in this order.
  std::vector<FakeConnection> connections;
  DWORD enumConnectionsError = 0;
  int enumConnectionsCalls = 0;
  std::vector<HRASCONN> hangUps;
  std::function<void(HRASCONN)> onStatusQuery;

  // Connected-state query.
  BOOL connectedResult = TRUE;
  DWORD connectedFlags = 0;

  std::vector<MessageBoxCall> boxes;

  DWORD tick = 1000;
  DWORD tickStep = 10;

  int nextHandle = 0x100;

  HRASCONN AddConnection(const std::string& entry, RASCONNSTATE state = RASCS_Connected,
                         const std::string& address = "10.0.0.9");
  FakeConnection* Find(HRASCONN handle);
};

// The scripted system the fake functions answer from.
FakeSystem& Fake();
// Resets the script and points the engine's system table at the fakes.
void InstallFakeSystem();
// Points the engine's system table back at the real functions.
void RemoveFakeSystem();
