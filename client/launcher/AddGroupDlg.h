// CAddGroupDlg: "添加组" (template 168), the name of a new folder of the shortcut bar. OK refuses a
// blank name; Escape does not close it (the cancel button and the close box do).
#pragma once

#include <string>

#include "common/ui/SkinnedDialog.h"

class CAddGroupDlg : public ui::CSkinnedDialog {
 public:
  CAddGroupDlg();

  // The name as typed; read after DoModal returned IDOK.
  std::string name;

 protected:
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnOK() override;
  void OnCancel() override;
};
