#include "common/ui/KeyFilter.h"

namespace ui {

namespace {

// The filter of this thread; a hook procedure receives no pointer of its own.
thread_local CKeyFilter* t_filter = nullptr;

bool IsListed(const UINT* keys, WPARAM key) {
  for (; keys != nullptr && *keys != 0; ++keys) {
    if (*keys == key) return true;
  }
  return false;
}

}  // namespace

CKeyFilter::~CKeyFilter() {
  Remove();
}

bool CKeyFilter::Install(HWND window, const UINT* keys) {
  if (m_hook != nullptr || t_filter != nullptr) return false;
  m_window = window;
  m_keys = keys;
  t_filter = this;
  m_hook = SetWindowsHookExA(WH_MSGFILTER, FilterProc, nullptr, GetCurrentThreadId());
  if (m_hook == nullptr) t_filter = nullptr;
  return m_hook != nullptr;
}

void CKeyFilter::Remove() {
  if (m_hook == nullptr) return;
  UnhookWindowsHookEx(m_hook);
  m_hook = nullptr;
  if (t_filter == this) t_filter = nullptr;
}

LRESULT CALLBACK CKeyFilter::FilterProc(int code, WPARAM wParam, LPARAM lParam) {
  CKeyFilter* filter = t_filter;
  if (filter == nullptr) return CallNextHookEx(nullptr, code, wParam, lParam);
  if (code == MSGF_DIALOGBOX && lParam != 0) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    const bool key =
        message->message == WM_KEYDOWN || message->message == WM_KEYUP || message->message == WM_CHAR;
    const bool ours = message->hwnd == filter->m_window || IsChild(filter->m_window, message->hwnd);
    if (key && ours && IsListed(filter->m_keys, message->wParam)) return TRUE;
  }
  return CallNextHookEx(filter->m_hook, code, wParam, lParam);
}

}  // namespace ui
