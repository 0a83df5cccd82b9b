// CNetDiagnoseDlg: the network diagnosis. It shows five stages as pictures (network card, PPPoE
// driver, cable modem, gateway, authentication and accounting server), a result text, the lines of
// the provider checks and, on request, four detail pages.
//
// "开始" runs a diagnosis: the progress bar runs to 50, the card check looks at the local side,
// then each provider stage is checked (on a worker thread) while the bar runs on to 100; at the end
// the summary is shown again with a fresh card check. The run steps from a timer, so the dialog
// keeps answering; "停止" ends a run where it is, and a check still on its way is then ignored.
#pragma once

#include <windows.h>

#include <vector>

#include "client/tools/DiagnosisPage.h"
#include "client/tools/DiagnosisRules.h"
#include "client/tools/PageTabCtrl.h"
#include "client/tools/SystemDiagnosisSource.h"
#include "common/Handles.h"
#include "common/ui/SkinnedDialog.h"

class CNetDiagnoseDlg : public ui::CSkinnedDialog {
 public:
  CNetDiagnoseDlg();

  // The detail switch (1 checked), moved by DoDataExchange with the result text.
  int detail = 0;
  // The cable-modem address set with "配置", kept for the runs of this dialog.
  diagnosis::ModemSetting modem;

  bool Running() const { return m_running; }
  // What the card checks left: pictures, result text, page rows.
  const diagnosis::DiagnosisState& State() const { return m_state; }
  // The provider stages as the last run left them.
  const diagnosis::StageResult& Stage(diagnosis::ProviderStage stage) const { return m_stages[stage]; }
  const CPageTabCtrl& Pages() const { return m_pages; }

  // The provider checks still running on worker threads, of every diagnosis dialog: a check that
  // a stopped run or a closed dialog left behind ends on its own and is then ignored.
  static int ProbesRunning();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // There is no OK button; Enter presses the default button.
  void OnOK() override {}
  // "退出" and the close box end a run in progress first.
  void OnCancel() override;

 private:
  void StartRun();
  // One timer step of a run.
  void Advance();
  void ShowRunPosition(int position);
  // Enables one button and disables the other, handing the focus over when the other had it.
  void SwapButtons(int enable, int disable);
  void StartStage(int stage);
  void OnProbeDone(WPARAM tag, LPARAM answer);
  void FinishRun();
  void StopRun();

  // The card check, its pages, pictures and result text.
  void CheckCards();
  // Summary view (false, with a card check first) or detail pages (true).
  void ApplyView(bool detailed);
  void ShowPictures();
  void ShowProviderText();
  void FillPages();
  void ConfigureModem();

  CSystemDiagnosisSource m_source;
  diagnosis::DiagnosisState m_state;
  diagnosis::StageResult m_stages[diagnosis::kProviderStages];
  // The local side was found faulty: the provider stages were not checked.
  bool m_providerUnreachable = false;
  bool m_stopped = false;

  CDiagnosisPage m_driverPage;
  CDiagnosisPage m_devicePage;
  CDiagnosisPage m_interfacePage;
  CDiagnosisPage m_pppoePage;
  CPageTabCtrl m_pages;
  std::vector<ui::CIcon> m_icons;

  bool m_detailShown = false;
  bool m_running = false;
  bool m_probing = false;
  // A run has ended since the dialog opened: the detail switch may be used.
  bool m_hadRun = false;
  int m_position = 0;
  int m_nextStage = 0;
  // Tells a run's provider answers from those of a run that was stopped.
  WORD m_runId = 0;
  diagnosis::ModemSetting m_runModem;
  std::string m_probeAddress;
};
