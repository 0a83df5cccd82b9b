// CUserManagementDlg: user management (template 263). Lists the users saved for the default entry;
// "删除" marks the selected ones (they leave the list at once), "保存" removes every marked user
// from the configuration, and "LastUser" when it names one of them, under the store's lock.
// Closing forgets what was marked but not saved.
#pragma once

#include <string>
#include <vector>

#include "common/ui/SkinnedDialog.h"

class CConfigStore;

class CUserManagementDlg : public ui::CSkinnedDialog {
 public:
  explicit CUserManagementDlg(CConfigStore& config);

  // The names marked for deletion, in the order marked. There is no limit to their number.
  std::vector<std::string> marked;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  friend class CUserManagementDlgProbe;

  void Mark();
  void Save();

  CConfigStore& m_config;
  // The names of the list's rows, row for row.
  std::vector<std::string> m_names;
};
