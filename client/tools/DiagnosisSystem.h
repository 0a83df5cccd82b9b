// The system services the network diagnosis asks, behind one table of function pointers: the
// device set of SetupAPI and the configuration manager, the IP helper's adapter and route tables
// and its echo requests, the remote-access service's devices and a dial, and the message box.
//
// The table starts out pointing at the real functions. Tests replace entries with fakes before a
// diagnosis runs and put the real table back afterwards; the echo requests and the dial are made on
// a worker thread, so a fake for them must be callable from any thread.
#pragma once

#include <windows.h>

#include <cfgmgr32.h>
#include <iphlpapi.h>
#include <ras.h>
#include <setupapi.h>

#include <icmpapi.h>

#include <string>

struct DiagnosisSystem {
  HDEVINFO(WINAPI* setupDiGetClassDevs)(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
  BOOL(WINAPI* setupDiEnumDeviceInfo)(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device);
  BOOL(WINAPI* setupDiGetDeviceRegistryProperty)
  (HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type, PBYTE buffer, DWORD size,
   PDWORD needed);
  BOOL(WINAPI* setupDiDestroyDeviceInfoList)(HDEVINFO set);
  CONFIGRET(WINAPI* cmGetDevNodeStatus)(PULONG status, PULONG problem, DEVINST node, ULONG flags);
  ULONG(WINAPI* getAdaptersInfo)(PIP_ADAPTER_INFO adapters, PULONG size);
  DWORD(WINAPI* getIpForwardTable)(PMIB_IPFORWARDTABLE table, PULONG size, BOOL order);
  HANDLE(WINAPI* icmpCreateFile)();
  DWORD(WINAPI* icmpSendEcho)
  (HANDLE icmp, IPAddr destination, LPVOID data, WORD dataSize, PIP_OPTION_INFORMATION options,
   LPVOID replies, DWORD repliesSize, DWORD timeoutMs);
  BOOL(WINAPI* icmpCloseHandle)(HANDLE icmp);
  DWORD(WINAPI* rasEnumDevices)(LPRASDEVINFOA devices, LPDWORD bytes, LPDWORD count);
  DWORD(WINAPI* rasEnumConnections)(LPRASCONNA connections, LPDWORD bytes, LPDWORD count);
  DWORD(WINAPI* rasDial)
  (LPRASDIALEXTENSIONS extensions, LPCSTR phoneBook, LPRASDIALPARAMSA params, DWORD notifierType,
   LPVOID notifier, LPHRASCONN connection);
  DWORD(WINAPI* rasHangUp)(HRASCONN connection);
  DWORD(WINAPI* rasGetConnectStatus)(HRASCONN connection, LPRASCONNSTATUSA status);
  int(WINAPI* messageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
};

// The table the diagnosis calls through. Changes take effect at the next call.
DiagnosisSystem& DiagnosisCalls();
// The table of the real functions.
DiagnosisSystem RealDiagnosisSystem();

// The provider-side checks, each one blocking call (run them off the user-interface thread).

// Whether address (dotted text) answers an echo request: up to two requests, each waiting up to a
// second. False for a text that is not an address and when no request can be sent.
bool PingAddress(const std::string& address);

// The gateway of the machine's default route (the one with the lowest metric) in dotted text;
// empty when the route table cannot be read or has no default route.
std::string FindDefaultGateway();

// Asks the remote-access service whether the provider's server answers a dial of the default
// entry, made with credentials no subscriber has: the dial's error code (0: it connected, and was
// hung up at once; 691: the server refused the credentials, so it answered). When the default
// entry is connected already, nothing is dialled and 0 is returned: the server answered that
// connection.
unsigned long ProbeAuthenticationServer();
