// CAddWebPageDlg: "增加网页" (template 205), the name and address of a web page for the shortcut
// bar. OK refuses a blank name or address.
#pragma once

#include <string>

#include "common/ui/SkinnedDialog.h"

class CAddWebPageDlg : public ui::CSkinnedDialog {
 public:
  CAddWebPageDlg();

  // As typed; read after DoModal returned IDOK.
  std::string name;
  std::string address;

 protected:
  void DoDataExchange(bool save) override;
  void OnOK() override;
};
