// CDiagnosisPage: one detail page of the diagnosis dialog, a borderless child dialog filled by one
// list view in report view (single selection, grid lines, full-row selection, black text on light
// blue). The page makes its columns when it is created and fits the list to its own size.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/ui/SkinnedDialog.h"

class CDiagnosisPage : public ui::CSkinnedDialog {
 public:
  struct Column {
    const char* header;
    int width;  // pixels
  };

  // columns: the page's columns in order; the array must outlive the page (a static array).
  CDiagnosisPage(UINT templateId, const Column* columns, int columnCount);

  // Replaces the rows: one vector of cell texts per row, in column order.
  void SetRows(const std::vector<std::vector<std::string>>& rows);
  HWND List() const;

 protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // A page has nothing to confirm or cancel: Enter and Escape on it do nothing.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  const Column* m_columns;
  int m_columnCount;
};
