// CRecordQueryDlg: the record query (template 260). Lists the closed connection records of the
// month files by user, year, month and day with a totals line; deletes the selected records (button
// or the list's context menu), adds a record by hand (CAddRecordDlg) and exports the listed rows to
// a text file. The files are read afresh for every query; what decides lives in RecordQuery.h.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "client/tools/RecordQuery.h"
#include "common/ui/SkinnedDialog.h"

class CRecordQueryDlg : public ui::CSkinnedDialog {
 public:
  // programFolder: the client's folder with its trailing separator (ProgramFolder()); the records
  // are in its "data\record".
  explicit CRecordQueryDlg(const std::string& programFolder);

  // The texts of the four filters and of the totals line, moved by DoDataExchange.
  std::string userFilter = kFilterAll;
  std::string yearFilter = kFilterAll;
  std::string monthFilter = kFilterAll;
  std::string dayFilter = kFilterAll;
  std::string totals;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(bool save) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT& result) override;

 private:
  friend class CRecordQueryDlgProbe;

  void Query();
  // Lists what filter selects and shows its totals.
  void List(const RecordFilter& filter);
  void SelectAll();
  // checkSelection: the button refuses when nothing is selected; the menu item is only offered
  // with a selection.
  void Delete(bool checkSelection);
  void AddByHand();
  void Export();
  void ShowContextMenu(const NMITEMACTIVATE* click);
  void ShowRows();
  void ShowTotals();
  void AddUserToFilter(const std::string& user);
  // Copies a cell's text into the list's request (owner-data list).
  void FillDisplayInfo(NMHDR* header);

  std::string m_programFolder;
  std::string m_recordFolder;
  RecordQueryResult m_result;
  CLocalTimes m_times;
};
