#include "client/core/PageBase.h"

#include "client/core/Skin.h"

CPageBase::CPageBase(UINT templateId, const int* links) : CDialogBase(templateId), m_links(links) {}

bool CPageBase::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (skin::ControlColour(message, wParam, lParam, m_links, result)) return true;
  if (message == WM_SETCURSOR && skin::LinkCursor(m_hwnd, wParam, m_links)) {
    result = TRUE;
    return true;
  }
  return false;
}

// A page is part of the main window: the keys that would end a dialog must not end it.
void CPageBase::OnOK() {}

void CPageBase::OnCancel() {}
