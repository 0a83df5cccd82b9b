// CPageTabCtrl: a tab control that hosts child dialog pages (the settings and the diagnosis
// dialogs use it).
//
// It keeps up to 16 pages, each with its tab caption, its dialog object and its template, and the
// index of the page on show. Attach creates every page from its template as a child of the tab
// control, inserts one tab per page, shows page 0 and hides the others, and places every page below
// the tab row. A left click on the tab control is first handled normally; then, if the tab with the
// focus is not the page on show, the page on show is hidden and that tab's page is shown. A key that
// moves the selection shows the selected tab's page the same way. When the tab control is
// destroyed the object lets go of it.
#pragma once

#include <windows.h>

#include <string>

#include "common/ui/DialogBase.h"

class CPageTabCtrl {
 public:
  static constexpr int kMaxPages = 16;

  CPageTabCtrl() = default;
  // Gives the tab control its own window procedure back.
  ~CPageTabCtrl();
  CPageTabCtrl(const CPageTabCtrl&) = delete;
  CPageTabCtrl& operator=(const CPageTabCtrl&) = delete;

  // Adds a page: caption of its tab, the dialog object (it must outlive the control; its own
  // template is the one created), and the template number. Returns 1, or 0 when 16 pages are there
  // already or page is null.
  int AddPage(const char* caption, ui::CDialogBase* page, UINT templateId);
  // Takes over the tab control (a control of the owner dialog): creates the pages added so far,
  // inserts their tabs, places them and shows page 0. False when tab is null or already attached.
  bool Attach(HWND tab);

  // Shows page index and hides the one on show; nothing happens for an index out of range.
  void ShowPage(int index);

  int PageCount() const { return m_count; }
  // The index of the page on show (0 before Attach).
  int CurrentPage() const { return m_current; }
  HWND PageWindow(int index) const;
  UINT PageTemplate(int index) const;
  const std::string& PageCaption(int index) const;
  HWND Handle() const { return m_tab; }

  // Where a page goes inside a tab control: left at the left of the first tab's rectangle, top one
  // pixel below its bottom, right and bottom 2 pixels short of the client area's right and bottom.
  static RECT PagePlacement(const RECT& firstTab, const RECT& client);

 private:
  static LRESULT CALLBACK TabProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void AfterClick();
  void AfterKey();
  // Gives the tab control its own window procedure back and forgets it.
  void Detach();

  struct Page {
    std::string caption;
    ui::CDialogBase* dialog = nullptr;
    UINT templateId = 0;
  };
  Page m_pages[kMaxPages];
  int m_count = 0;
  int m_current = 0;
  HWND m_tab = nullptr;
  WNDPROC m_oldProc = nullptr;
};
