#include "client/tools/ProxySetPage.h"

#include <commctrl.h>

#include <cstdint>
#include <cstdio>

#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"
#include "client/tools/ConnectionProxy.h"
#include "client/tools/SettingsRules.h"
#include "common/ui/Controls.h"
#include "dialengine/ConnectManage.h"

namespace {

constexpr int kPortLimit = 5;

}  // namespace

CProxySetPage::CProxySetPage() : CSettingsPage(IDD_PROXY_PAGE) {}

void CProxySetPage::DoDataExchange(bool save) {
  ExchangeCheck(IDC_PROXY_ON, useProxy, save);
  ExchangeText(IDC_PROXY_PORT, port, save);
}

void CProxySetPage::OnInitPage() {
  SendMessageA(Item(IDC_PROXY_PORT), EM_LIMITTEXT, kPortLimit, 0);
  const std::string proxy = QueryGlobalProxy(GetAncestor(m_hwnd, GA_ROOT));
  uint32_t address = 0;
  int number = 0;
  if (proxy.empty() || !ParseGlobalProxy(proxy, &address, &number)) {
    ShowNoProxy();
    return;
  }
  SendMessageA(Item(IDC_PROXY_ADDRESS), IPM_SETADDRESS, 0, static_cast<LPARAM>(address));
  useProxy = 1;
  port = std::to_string(number);
  DoDataExchange(false);
  EnableAddress(true);
}

void CProxySetPage::ShowNoProxy() {
  useProxy = 0;
  port.clear();
  SendMessageA(Item(IDC_PROXY_ADDRESS), IPM_CLEARADDRESS, 0, 0);
  DoDataExchange(false);
  EnableAddress(false);
}

void CProxySetPage::EnableAddress(bool enable) {
  ui::Enable(Item(IDC_PROXY_ADDRESS), enable);
  ui::Enable(Item(IDC_PROXY_PORT), enable);
}

bool CProxySetPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_PROXY_ON && code == BN_CLICKED) {
    DoDataExchange(true);
    if (useProxy != 0) {
      EnableAddress(true);
    } else {
      ShowNoProxy();
    }
    NotifyChanged();
    return true;
  }
  // The address control passes its fields' edits on as its own.
  if ((id == IDC_PROXY_PORT || id == IDC_PROXY_ADDRESS) && code == EN_CHANGE) {
    NotifyChanged();
    return true;
  }
  return false;
}

bool CProxySetPage::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->idFrom != IDC_PROXY_ADDRESS || header->code != static_cast<UINT>(IPN_FIELDCHANGED))
    return false;
  NotifyChanged();
  result = 0;
  return true;
}

void CProxySetPage::SaveToConfig() {
  DoDataExchange(true);
  if (useProxy == 0) {
    DisableConnectionProxy(LINKWELL_DEFAULT_ENTRY);
    return;
  }
  HWND addressControl = Item(IDC_PROXY_ADDRESS);
  const bool blank = SendMessageA(addressControl, IPM_ISBLANK, 0, 0) != 0;
  DWORD address = 0;
  SendMessageA(addressControl, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  char dotted[16];
  snprintf(dotted, sizeof(dotted), "%u.%u.%u.%u", static_cast<unsigned>(FIRST_IPADDRESS(address)),
           static_cast<unsigned>(SECOND_IPADDRESS(address)), static_cast<unsigned>(THIRD_IPADDRESS(address)),
           static_cast<unsigned>(FOURTH_IPADDRESS(address)));
  const ProxyPlan plan = PlanProxy(blank, dotted, port);
  if (plan.refusal != ProxyRefusal::kNone) {
    MessageBoxA(GetAncestor(m_hwnd, GA_ROOT), ProxyRefusalText(plan.refusal), app::kNotice,
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  SetConnectionProxy(LINKWELL_DEFAULT_ENTRY, plan.text.c_str());
}
