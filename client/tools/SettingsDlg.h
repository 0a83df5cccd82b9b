// CSettingsDlg: the settings dialog (template 148, "用户设置") with its four pages on a page tab
// control: "运行设置" (CRunSetPage), "升级设置" (CUpdateSetPage), "关机设置" (CShutdownSetPage) and
// "代理设置" (CProxySetPage).
//
// Each page reads its values when the dialog opens. "应用" saves every page and stays open; "确定"
// saves every page when something changed and closes, even when a page refused its input;
// "取消" closes and writes nothing (what an earlier "应用" wrote stays). The settings take effect
// through the configuration, the registry and the system's Internet settings; the dialog tells
// nobody.
#pragma once

#include <windows.h>

#include "client/tools/PageTabCtrl.h"
#include "client/tools/ProxySetPage.h"
#include "client/tools/RunSetPage.h"
#include "client/tools/ShutdownSetPage.h"
#include "client/tools/UpdateSetPage.h"
#include "common/ui/SkinnedDialog.h"

class CConfigStore;

class CSettingsDlg : public ui::CSkinnedDialog {
 public:
  explicit CSettingsDlg(CConfigStore& config);

  // Saves the pages in their fixed order (update, run, shutdown, proxy) and clears the modified
  // mark.
  void ApplySettings();
  // 1 after a page announced a change that no save has written yet, otherwise 0.
  int IsModified() const { return m_modified; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT& result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnOK() override;

 private:
  // Sets or clears the modified mark; "应用" is enabled exactly while it is set.
  void SetModified(bool modified);

  CRunSetPage m_runPage;
  CUpdateSetPage m_updatePage;
  CShutdownSetPage m_shutdownPage;
  CProxySetPage m_proxyPage;
  CPageTabCtrl m_tabs;
  int m_modified = 0;
};
