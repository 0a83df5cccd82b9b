#include "client/tools/PageTabCtrl.h"

#include <commctrl.h>

#include <cstring>

namespace {

// The window property that carries the owning object on the tab control.
const char kOwnerProperty[] = "QuillonPageTabCtrl";

const std::string kNoCaption;

}  // namespace

CPageTabCtrl::~CPageTabCtrl() {
  if (m_tab != nullptr && IsWindow(m_tab) && m_oldProc != nullptr) Detach();
}

int CPageTabCtrl::AddPage(const char* caption, ui::CDialogBase* page, UINT templateId) {
  if (m_count >= kMaxPages || page == nullptr) return 0;
  Page& entry = m_pages[m_count++];
  entry.caption = caption != nullptr ? caption : "";
  entry.dialog = page;
  entry.templateId = templateId;
  return 1;
}

RECT CPageTabCtrl::PagePlacement(const RECT& firstTab, const RECT& client) {
  RECT place;
  place.left = firstTab.left;
  place.top = firstTab.bottom + 1;
  place.right = client.right - 2;
  place.bottom = client.bottom - 2;
  return place;
}

bool CPageTabCtrl::Attach(HWND tab) {
  if (tab == nullptr || m_tab != nullptr) return false;
  m_tab = tab;
  for (int i = 0; i < m_count; ++i) {
    TCITEMA item;
    std::memset(&item, 0, sizeof(item));
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(m_pages[i].caption.c_str());
    SendMessageA(tab, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  // The tab row exists only once the items are in: measure after inserting them.
  RECT firstTab = {0, 0, 0, 0};
  SendMessageA(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&firstTab));
  RECT client;
  GetClientRect(tab, &client);
  const RECT place = PagePlacement(firstTab, client);
  for (int i = 0; i < m_count; ++i) {
    HWND page = m_pages[i].dialog->Create(tab);
    if (page == nullptr) continue;
    SetWindowPos(page, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(page, i == 0 ? SW_SHOW : SW_HIDE);
  }
  m_current = 0;
  SendMessageA(tab, TCM_SETCURSEL, 0, 0);

  SetPropA(tab, kOwnerProperty, reinterpret_cast<HANDLE>(this));
  m_oldProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(tab, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CPageTabCtrl::TabProc)));
  return true;
}

HWND CPageTabCtrl::PageWindow(int index) const {
  if (index < 0 || index >= m_count) return nullptr;
  return m_pages[index].dialog->Handle();
}

UINT CPageTabCtrl::PageTemplate(int index) const {
  if (index < 0 || index >= m_count) return 0;
  return m_pages[index].templateId;
}

const std::string& CPageTabCtrl::PageCaption(int index) const {
  if (index < 0 || index >= m_count) return kNoCaption;
  return m_pages[index].caption;
}

void CPageTabCtrl::ShowPage(int index) {
  if (index < 0 || index >= m_count || index == m_current) return;
  if (HWND shown = PageWindow(m_current)) ShowWindow(shown, SW_HIDE);
  m_current = index;
  if (HWND page = PageWindow(index)) ShowWindow(page, SW_SHOW);
  if (m_tab != nullptr && SendMessageA(m_tab, TCM_GETCURSEL, 0, 0) != index) {
    SendMessageA(m_tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void CPageTabCtrl::AfterClick() {
  const int focused = static_cast<int>(SendMessageA(m_tab, TCM_GETCURFOCUS, 0, 0));
  if (focused >= 0 && focused != m_current) ShowPage(focused);
}

void CPageTabCtrl::AfterKey() {
  const int selected = static_cast<int>(SendMessageA(m_tab, TCM_GETCURSEL, 0, 0));
  if (selected >= 0 && selected != m_current) ShowPage(selected);
}

void CPageTabCtrl::Detach() {
  if (m_tab == nullptr) return;
  SetWindowLongPtrA(m_tab, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
  RemovePropA(m_tab, kOwnerProperty);
  m_tab = nullptr;
  m_oldProc = nullptr;
}

LRESULT CALLBACK CPageTabCtrl::TabProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CPageTabCtrl* self = static_cast<CPageTabCtrl*>(GetPropA(window, kOwnerProperty));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  const WNDPROC original = self->m_oldProc;
  if (message == WM_NCDESTROY) {
    // The window goes before its owner object: let go of it now, so that the object never
    // touches a handle that may by then name another window.
    self->Detach();
    return CallWindowProcA(original, window, message, wParam, lParam);
  }
  const LRESULT result = CallWindowProcA(original, window, message, wParam, lParam);
  if (message == WM_LBUTTONDOWN) {
    self->AfterClick();
  } else if (message == WM_KEYDOWN) {
    // The arrow keys move the selection too; the page follows it.
    self->AfterKey();
  }
  return result;
}
