// CSettingsPage: one page of the settings dialog, a child dialog on the dialog's page tab control.
//
// A page fills its controls from where its values live when it is created (OnInitPage) and writes
// them back in SaveToConfig, which the settings dialog calls for every page on "确定" (when
// something changed) and on "应用". Each change the user makes on a page is announced to the
// settings dialog with WM_SETTINGS_CHANGED; filling the controls announces nothing.
#pragma once

#include <windows.h>

#include "common/ui/SkinnedDialog.h"

// Sent by a page to its top-level ancestor (the settings dialog): wParam 1 marks the settings as
// changed and enables "应用"; any other wParam clears the mark and disables it. lParam is 0.
constexpr UINT WM_SETTINGS_CHANGED = WM_USER + 1009;

class CSettingsPage : public ui::CSkinnedDialog {
 public:
  explicit CSettingsPage(UINT templateId);

  // Writes the page's values. A page that refuses its input shows its own message and writes
  // nothing of it; the caller goes on with the other pages either way.
  virtual void SaveToConfig() = 0;

 protected:
  // Fills the controls; the changes this makes are not announced.
  virtual void OnInitPage() = 0;
  // Sends WM_SETTINGS_CHANGED (1) to the settings dialog, except while the page is filled.
  void NotifyChanged();

  // Enter and Escape belong to the settings dialog, never to a page.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  bool OnInitDialog() final;

  bool m_filling = false;
};
