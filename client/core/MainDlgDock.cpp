#include "client/core/MainDlg.h"

#include <windows.h>

namespace {

dock::Rect ToDock(const RECT& r) {
  return dock::Rect{r.left, r.top, r.right, r.bottom};
}

RECT FromDock(const dock::Rect& r) {
  RECT out = {r.left, r.top, r.right, r.bottom};
  return out;
}

}  // namespace

dock::Screen CMainDlg::ScreenMetrics() const {
  return dock::Screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), m_taskbarHeight,
                      m_edgeHeight, m_frameWidth};
}

void CMainDlg::PlaceAtRightEdge() {
  RECT r;
  GetWindowRect(m_hwnd, &r);
  const int width = r.right - r.left;
  SetWindowPos(m_hwnd, nullptr, GetSystemMetrics(SM_CXSCREEN) - 20 - width, r.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::OnMoving(RECT* proposed) {
  POINT cursor;
  GetCursorPos(&cursor);
  const dock::Screen screen = ScreenMetrics();
  const int edge = dock::EdgeForCursor(cursor.x, cursor.y, screen);
  if (dock::SavesHeight(edge, m_dockedEdge)) m_savedHeight = proposed->bottom - proposed->top;
  if (edge == dock::kNone) KillTimer(m_hwnd, kHoverTimer);
  *proposed = FromDock(dock::PlaceForEdge(edge, m_dockedEdge, m_savedHeight, ToDock(*proposed), screen));
  m_dockedEdge = edge;
}

void CMainDlg::OnHitTest() {
  if (m_dockedEdge == dock::kNone || m_hoverShown) return;
  POINT cursor;
  GetCursorPos(&cursor);
  if (cursor.x >= GetSystemMetrics(SM_CXSCREEN) + 10) return;
  SetTimer(m_hwnd, kHoverTimer, kHoverPeriodMs, nullptr);
  m_hoverShown = true;
  StartSlide(false);
}

void CMainDlg::StartSlide(bool hiding) {
  m_slideFinished = false;
  m_slideHiding = hiding;
  SetTimer(m_hwnd, kSlideTimer, kSlidePeriodMs, nullptr);
}

void CMainDlg::OnHoverTimer() {
  POINT cursor;
  GetCursorPos(&cursor);
  RECT r;
  GetWindowRect(m_hwnd, &r);
  if (PtInRect(&r, cursor)) return;
  KillTimer(m_hwnd, kHoverTimer);
  m_hoverShown = false;
  StartSlide(true);
}

void CMainDlg::OnSlideTimer() {
  if (m_slideFinished) {
    KillTimer(m_hwnd, kSlideTimer);
    return;
  }
  RECT r;
  GetWindowRect(m_hwnd, &r);
  dock::Rect window = ToDock(r);
  m_slideFinished = dock::SlideStep(m_dockedEdge, m_slideHiding, window, ScreenMetrics());
  SetWindowPos(m_hwnd, HWND_TOPMOST, window.left, window.top, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CMainDlg::OnMinimized() {
  ShowWindow(m_hwnd, SW_HIDE);
  KillTimer(m_hwnd, kHoverTimer);
  KillTimer(m_hwnd, kSlideTimer);
  m_hoverShown = false;
}
