// CAboutDlg: the about box, with a link to the maker's web site.
#pragma once

#include "common/ui/SkinnedDialog.h"

class CAboutDlg : public ui::CSkinnedDialog {
 public:
  CAboutDlg();

 protected:
  bool OnCommand(int id, int code, HWND control) override;
};
