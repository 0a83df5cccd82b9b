// CAboutDlg: the about box, with a link to the maker's web site.
#pragma once

#include "client/core/ui/DialogBase.h"

class CAboutDlg : public ui::CDialogBase {
 public:
  CAboutDlg();

 protected:
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
