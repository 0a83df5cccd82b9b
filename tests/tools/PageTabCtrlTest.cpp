// The page tab control that the settings and the diagnosis dialogs share: at most 16 pages, each
// placed below the tab row, and the page that follows a click or a key on a tab.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "client/resources/Resource.h"
#include "client/tools/PageTabCtrl.h"
#include "common/ui/DialogBase.h"
#include "tests/support/Driver.h"

namespace {

RECT RectInTab(HWND page, HWND tab) {
  RECT r;
  GetWindowRect(page, &r);
  MapWindowPoints(HWND_DESKTOP, tab, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Click(HWND tab, int index) {
  RECT item;
  ASSERT_TRUE(SendMessageA(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)));
  const LPARAM where = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  SendMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, where);
  SendMessageA(tab, WM_LBUTTONUP, 0, where);
}

TEST(PageTabCtrlTest, SixteenPagesArePlacedBelowTheTabsAndTheSeventeenthIsRefused) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 900, 500,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  HWND tab =
      CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, 860, 400, owner,
                      reinterpret_cast<HMENU>(IDC_DIAG_PAGES), GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(tab, nullptr);

  std::vector<std::unique_ptr<ui::CDialogBase>> pages;
  auto control = std::make_unique<CPageTabCtrl>();
  for (int i = 0; i < CPageTabCtrl::kMaxPages; ++i) {
    pages.emplace_back(new ui::CDialogBase(IDD_DIAG_DRIVER_PAGE));
    EXPECT_EQ(control->AddPage(std::to_string(i + 1).c_str(), pages.back().get(), IDD_DIAG_DRIVER_PAGE), 1);
  }
  ui::CDialogBase extra(IDD_DIAG_PPPOE_PAGE);
  EXPECT_EQ(control->AddPage("17", &extra, IDD_DIAG_PPPOE_PAGE), 0);
  EXPECT_EQ(control->AddPage("null", nullptr, IDD_DIAG_PPPOE_PAGE), 0);
  EXPECT_EQ(control->PageCount(), 16);

  ASSERT_TRUE(control->Attach(tab));
  EXPECT_FALSE(control->Attach(tab));
  ShowWindow(owner, SW_SHOW);
  driver::PumpMessages();
  EXPECT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 16);
  EXPECT_EQ(extra.Handle(), nullptr) << "a refused page is never created";

  RECT first, client;
  ASSERT_TRUE(SendMessageA(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
  GetClientRect(tab, &client);
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    HWND page = control->PageWindow(i);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(GetParent(page), tab);
    const RECT r = RectInTab(page, tab);
    EXPECT_EQ(r.left, first.left);
    EXPECT_EQ(r.top, first.bottom + 1);
    EXPECT_EQ(r.right, client.right - 2);
    EXPECT_EQ(r.bottom, client.bottom - 2);
    EXPECT_EQ(IsWindowVisible(page) != FALSE, i == 0);
  }

  // A click on a tab shows its page and hides the one on show; a key that moves the selection too.
  Click(tab, 2);
  EXPECT_EQ(control->CurrentPage(), 2);
  EXPECT_TRUE(IsWindowVisible(control->PageWindow(2)));
  EXPECT_FALSE(IsWindowVisible(control->PageWindow(0)));
  SetFocus(tab);
  SendMessageA(tab, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(control->CurrentPage(), 3);
  EXPECT_TRUE(IsWindowVisible(control->PageWindow(3)));
  EXPECT_FALSE(IsWindowVisible(control->PageWindow(2)));

  // The window may go first: the control lets go of it, and its end touches nothing.
  DestroyWindow(owner);
  EXPECT_EQ(control->Handle(), nullptr);
  control.reset();
  driver::PumpMessages();
}

}  // namespace
