// CAboutDlg: the updater's about box (template 100), opened from the window's system menu.
#pragma once

#include "common/ui/SkinnedDialog.h"

class CAboutDlg : public ui::CSkinnedDialog {
 public:
  CAboutDlg();
};
