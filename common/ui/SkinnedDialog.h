// CSkinnedDialog: a dialog in the programs' look (see Skin.h): the body colour behind the dialog,
// its static texts and buttons, and link texts drawn in the link colour with a hand cursor over
// them. Dialogs and pages derive from it instead of from CDialogBase.
#pragma once

#include "common/ui/DialogBase.h"

namespace ui {

class CSkinnedDialog : public CDialogBase {
 public:
  // links: ids of the dialog's link texts, ending in 0, or null; the array must outlive the
  // dialog (a static array of the dialog's file).
  explicit CSkinnedDialog(UINT templateId, const int* links = nullptr, HINSTANCE instance = nullptr);

 protected:
  // Answers the colour messages and the cursor over links; a derived class that overrides it
  // calls it first and stops when it returns true.
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  const int* m_links;
};

}  // namespace ui
