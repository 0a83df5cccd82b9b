// CPageBase: a tab page of the main window in the client's colours. Escape and Enter do
// nothing on a page.
#pragma once

#include "client/core/ui/DialogBase.h"

class CPageBase : public ui::CDialogBase {
 public:
  // links: null-terminated ids of the page's link texts (drawn as links), or null.
  explicit CPageBase(UINT templateId, const int* links = nullptr);

 protected:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  const int* m_links;
};
