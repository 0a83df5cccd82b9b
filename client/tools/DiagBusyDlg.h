// CDiagBusyDlg: the notice shown instead of the diagnosis while a connection is up: the network
// cannot be diagnosed over a line that is in use. One button, "确定".
#pragma once

#include "common/ui/SkinnedDialog.h"

class CDiagBusyDlg : public ui::CSkinnedDialog {
 public:
  CDiagBusyDlg();
};
