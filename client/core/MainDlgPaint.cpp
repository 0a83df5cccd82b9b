#include "client/core/MainDlg.h"

#include <windows.h>

#include "client/resources/Resource.h"
#include "common/ui/Images.h"
#include "common/ui/Skin.h"

void CMainDlg::SetUpWindowStyle() {
  m_bigIcon.Reset(ui::LoadIconSized(IDR_MAINFRAME, GetSystemMetrics(SM_CXICON)));
  m_smallIcon.Reset(ui::LoadIconSized(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON)));
  SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.Get()));
  SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
  SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  LONG_PTR style = GetWindowLongPtrA(m_hwnd, GWL_EXSTYLE);
  style = (style & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
  SetWindowLongPtrA(m_hwnd, GWL_EXSTYLE, style);
}

void CMainDlg::PaintBackground(HDC dc) {
  RECT client;
  GetClientRect(m_hwnd, &client);
  if (!m_background.Valid()) {
    FillRect(dc, &client, skin::BodyBrush());
    return;
  }
  BITMAP info;
  GetObjectA(m_background.Get(), sizeof(info), &info);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, m_background.Get());
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

void CMainDlg::DrawCaptionButton(const DRAWITEMSTRUCT* item) {
  HDC dc = item->hDC;
  RECT r = item->rcItem;
  const bool pressed = (item->itemState & ODS_SELECTED) != 0;
  ui::CGdiObject face(CreateSolidBrush(pressed ? RGB(20, 80, 150) : skin::kCaptionColour));
  FillRect(dc, &r, static_cast<HBRUSH>(face.Get()));
  ui::CGdiObject pen(CreatePen(PS_SOLID, 2, RGB(255, 255, 255)));
  HGDIOBJ oldPen = SelectObject(dc, pen.Get());
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  if (item->CtlID == IDC_CAPTION_CLOSE) {
    MoveToEx(dc, r.left + w / 4, r.top + h / 4, nullptr);
    LineTo(dc, r.right - w / 4, r.bottom - h / 4);
    MoveToEx(dc, r.right - w / 4, r.top + h / 4, nullptr);
    LineTo(dc, r.left + w / 4, r.bottom - h / 4);
  } else {
    MoveToEx(dc, r.left + w / 4, r.bottom - h / 3, nullptr);
    LineTo(dc, r.right - w / 4, r.bottom - h / 3);
  }
  SelectObject(dc, oldPen);
}
