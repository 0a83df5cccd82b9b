#include "client/core/NavigationPage.h"

#include "client/resources/Resource.h"
#include "common/ui/Skin.h"

namespace {

const char* const kAddresses[IDC_NAV_LINK_COUNT] = {
    "http://www.vorlan.net/",           "http://www.vorlan.net/service/", "http://www.vorlan.net/broadband/",
    "http://www.vorlan.net/speedtest/", "http://mail.vorlan.net/",        "http://video.vorlan.net/",
};

const int kLinks[] = {IDC_NAV_LINK_FIRST,
                      IDC_NAV_LINK_FIRST + 1,
                      IDC_NAV_LINK_FIRST + 2,
                      IDC_NAV_LINK_FIRST + 3,
                      IDC_NAV_LINK_FIRST + 4,
                      IDC_NAV_LINK_FIRST + 5,
                      0};

}  // namespace

CNavigationPage::CNavigationPage() : CPageBase(IDD_NAVIGATION_PAGE, kLinks) {}

const char* CNavigationPage::AddressOf(int controlId) {
  const int index = controlId - IDC_NAV_LINK_FIRST;
  if (index < 0 || index >= IDC_NAV_LINK_COUNT) return nullptr;
  return kAddresses[index];
}

bool CNavigationPage::OnCommand(int id, int code, HWND) {
  const char* address = AddressOf(id);
  if (address == nullptr || code != STN_CLICKED) return false;
  skin::OpenWebPage(m_hwnd, address);
  return true;
}
