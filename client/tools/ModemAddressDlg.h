// CModemAddressDlg: the cable-modem address of the diagnosis. The subscriber either lets the
// modem be found (the check box; the address box then shows this computer's first address and is
// disabled) or types the modem's address.
#pragma once

#include <string>

#include "common/ui/SkinnedDialog.h"

class CModemAddressDlg : public ui::CSkinnedDialog {
 public:
  CModemAddressDlg();

  // The values of the controls, moved by DoDataExchange: the check box (1 ticked) and the address
  // box in dotted text (empty when the box is blank). Read them after DoModal returned IDOK.
  int autoDetect = 0;
  std::string address;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void ExchangeAddress(int id, std::string& value, bool save);
  void OnAutoToggled();
};
