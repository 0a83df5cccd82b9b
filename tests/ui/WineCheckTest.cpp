// Proves the text pipeline end to end: a dialog template written in UTF-8 Chinese, compiled by
// windres, shown by Wine under code page 936, gives back its texts as the GB2312 bytes that the
// compiler made of the same literals.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "WineCheckResource.h"

namespace {

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

TEST(WineCheck, AnsiCodePageIsGb2312) {
  EXPECT_EQ(GetACP(), 936u);
}

TEST(WineCheck, NarrowLiteralsAreGb2312Bytes) {
  const std::string title = "远岸";
  EXPECT_EQ(title, std::string("\xd4\xb6\xb0\xb6"));
}

TEST(WineCheck, DialogTemplateTextsReadBackAsGb2312) {
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_WINE_CHECK), nullptr,
                                   QuietDialogProc, 0);
  ASSERT_NE(dialog, nullptr) << "CreateDialogParamA failed with " << GetLastError();
  ShowWindow(dialog, SW_SHOW);
  UpdateWindow(dialog);

  EXPECT_EQ(WindowText(dialog), "远岸宽带拨号客户端");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_WINE_CHECK_TEXT)), "有线宽带，无限沟通！");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDOK)), "确定");

  // A screenshot by hand: QUILLON_HOLD_MS keeps the dialog on screen for that long.
  if (const char* hold = getenv("QUILLON_HOLD_MS")) {
    const DWORD until = GetTickCount() + static_cast<DWORD>(atoi(hold));
    MSG message;
    while (GetTickCount() < until) {
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      Sleep(20);
    }
  }
  DestroyWindow(dialog);
}

}  // namespace
