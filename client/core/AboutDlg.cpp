#include "client/core/AboutDlg.h"

#include "client/core/AppTexts.h"
#include "client/core/Skin.h"
#include "client/resources/Resource.h"

namespace {
const int kLinks[] = {IDC_ABOUT_LINK, 0};
}

CAboutDlg::CAboutDlg() : CDialogBase(IDD_ABOUT) {}

bool CAboutDlg::OnCommand(int id, int code, HWND) {
  if (id != IDC_ABOUT_LINK || code != STN_CLICKED) return false;
  skin::OpenWebPage(m_hwnd, app::kMakerSite);
  return true;
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (skin::ControlColour(message, wParam, lParam, kLinks, result)) return true;
  if (message == WM_SETCURSOR && skin::LinkCursor(m_hwnd, wParam, kLinks)) {
    result = TRUE;
    return true;
  }
  return false;
}
