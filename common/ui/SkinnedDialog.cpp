#include "common/ui/SkinnedDialog.h"

#include "common/ui/Skin.h"

namespace ui {

CSkinnedDialog::CSkinnedDialog(UINT templateId, const int* links, HINSTANCE instance)
    : CDialogBase(templateId, instance), m_links(links) {}

bool CSkinnedDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (skin::ControlColour(message, wParam, lParam, m_links, result)) return true;
  if (message == WM_SETCURSOR && skin::LinkCursor(m_hwnd, wParam, m_links)) {
    result = TRUE;
    return true;
  }
  return false;
}

}  // namespace ui
