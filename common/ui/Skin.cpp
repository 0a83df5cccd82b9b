#include "common/ui/Skin.h"

#include <shellapi.h>

#include "common/Handles.h"

namespace skin {

namespace {

bool IsLink(HWND control, const int* links) {
  if (links == nullptr) return false;
  const int id = GetDlgCtrlID(control);
  for (; *links != 0; ++links) {
    if (*links == id) return true;
  }
  return false;
}

}  // namespace

HBRUSH BodyBrush() {
  static ui::CGdiObject brush(CreateSolidBrush(kBodyColour));
  return static_cast<HBRUSH>(brush.Get());
}

bool ControlColour(UINT message, WPARAM wParam, LPARAM lParam, const int* links, LRESULT& result) {
  if (message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN) return false;
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetBkColor(dc, kBodyColour);
  SetTextColor(dc, IsLink(reinterpret_cast<HWND>(lParam), links) ? kLinkColour : kTextColour);
  result = reinterpret_cast<LRESULT>(BodyBrush());
  return true;
}

bool LinkCursor(HWND dialog, WPARAM wParam, const int* links) {
  HWND control = reinterpret_cast<HWND>(wParam);
  if (control == dialog || !IsLink(control, links)) return false;
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
  return true;
}

void OpenWebPage(HWND owner, const char* address) {
  ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace skin
