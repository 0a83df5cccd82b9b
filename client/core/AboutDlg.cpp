#include "client/core/AboutDlg.h"

#include "client/core/AppTexts.h"
#include "client/resources/Resource.h"
#include "common/ui/Skin.h"

namespace {
const int kLinks[] = {IDC_ABOUT_LINK, 0};
}

CAboutDlg::CAboutDlg() : CSkinnedDialog(IDD_ABOUT, kLinks) {}

bool CAboutDlg::OnCommand(int id, int code, HWND) {
  if (id != IDC_ABOUT_LINK || code != STN_CLICKED) return false;
  skin::OpenWebPage(m_hwnd, app::kMakerSite);
  return true;
}
