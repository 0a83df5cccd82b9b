// Windows Sockets 2 must come before windows.h, which the other headers bring in.
#include <winsock2.h>

#include "client/tools/ModemAddressDlg.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "client/resources/Resource.h"
#include "client/tools/DiagnosisRules.h"
#include "common/ui/Controls.h"

namespace {

// This computer's first IP address in dotted text: the host name resolved through the sockets
// library; empty when any step fails.
std::string LocalAddress() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return std::string();
  std::string text;
  char name[256] = {};
  if (gethostname(name, sizeof(name)) == 0) {
    const hostent* host = gethostbyname(name);
    if (host != nullptr && host->h_addrtype == AF_INET && host->h_length == sizeof(in_addr) &&
        host->h_addr_list != nullptr && host->h_addr_list[0] != nullptr) {
      in_addr first;
      std::memcpy(&first, host->h_addr_list[0], sizeof(first));
      const char* dotted = inet_ntoa(first);
      if (dotted != nullptr) text = dotted;
    }
  }
  WSACleanup();
  return text;
}

}  // namespace

CModemAddressDlg::CModemAddressDlg() : CSkinnedDialog(IDD_MODEM_ADDRESS) {
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
}

void CModemAddressDlg::ExchangeAddress(int id, std::string& value, bool save) {
  HWND box = Item(id);
  if (box == nullptr) return;
  if (save) {
    DWORD packed = 0;
    if (SendMessageA(box, IPM_ISBLANK, 0, 0) != 0 ||
        SendMessageA(box, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&packed)) == 0) {
      value.clear();
      return;
    }
    value = diagnosis::DottedText(packed);
    return;
  }
  unsigned long packed = 0;
  if (diagnosis::ParseDotted(value, &packed)) {
    SendMessageA(box, IPM_SETADDRESS, 0, static_cast<LPARAM>(packed));
  } else {
    SendMessageA(box, IPM_CLEARADDRESS, 0, 0);
  }
}

void CModemAddressDlg::DoDataExchange(bool save) {
  ExchangeCheck(IDC_MODEM_AUTO, autoDetect, save);
  ExchangeAddress(IDC_MODEM_ADDRESS, address, save);
}

bool CModemAddressDlg::OnInitDialog() {
  DoDataExchange(false);
  ui::Enable(Item(IDC_MODEM_ADDRESS), autoDetect == 0);
  return true;
}

bool CModemAddressDlg::OnCommand(int id, int code, HWND) {
  if (id != IDC_MODEM_AUTO || code != BN_CLICKED) return false;
  OnAutoToggled();
  return true;
}

void CModemAddressDlg::OnAutoToggled() {
  HWND box = Item(IDC_MODEM_ADDRESS);
  if (!ui::IsChecked(Item(IDC_MODEM_AUTO))) {
    ui::Enable(box, true);
    return;
  }
  ui::Enable(box, false);
  std::string local = LocalAddress();
  // On any failure the box keeps what it shows.
  if (!local.empty()) ExchangeAddress(IDC_MODEM_ADDRESS, local, false);
}
