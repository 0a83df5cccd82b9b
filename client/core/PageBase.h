// CPageBase: a tab page of the main window in the client's colours. Escape and Enter do
// nothing on a page.
#pragma once

#include "common/ui/SkinnedDialog.h"

class CPageBase : public ui::CSkinnedDialog {
 public:
  // links: null-terminated ids of the page's link texts (drawn as links), or null.
  explicit CPageBase(UINT templateId, const int* links = nullptr);

 protected:
  void OnOK() override;
  void OnCancel() override;
};
