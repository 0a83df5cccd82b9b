// CDialogBase: one window on one dialog template, with virtual handlers for its messages.
//
// A dialog receives what it needs through its constructor and hands results out through members
// read after it ends. The object must outlive its window.
//
// Values: a dialog keeps the values of its controls in plain public fields and moves them in one
// place, DoDataExchange(save), with the Exchange helpers below: OnInitDialog writes the fields into
// the controls (save false), and OnOK reads them back (save true) before the dialog ends.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

class CDialogBase {
 public:
  // templateId names the dialog resource in instance (null: the program's own module).
  explicit CDialogBase(UINT templateId, HINSTANCE instance = nullptr);
  virtual ~CDialogBase();

  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  // Runs the dialog modally over parent (may be null). Returns what End was given, or -1 when
  // the template could not be loaded.
  INT_PTR DoModal(HWND parent);
  // Creates the dialog modelessly, as a child page when the template says so. Returns the window,
  // or null when the template could not be loaded. Destroy it with DestroyWindow or End.
  HWND Create(HWND parent);

  HWND Handle() const { return m_hwnd; }
  // The child control with that id, or null.
  HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
  bool IsModal() const { return m_modal; }

 protected:
  // Called once the controls exist. Return true to let the system give focus to the first
  // control. The default moves the members into the controls.
  virtual bool OnInitDialog();
  // Moves members into the controls (save false) or the controls into the members (save true).
  virtual void DoDataExchange(bool save);
  // Command from a menu, accelerator or control. Return true when handled; IDOK and IDCANCEL that
  // are not handled go to OnOK and OnCancel.
  virtual bool OnCommand(int id, int code, HWND control);
  // Notification from a control. Return true when handled and set result.
  virtual bool OnNotify(NMHDR* header, LRESULT& result);
  virtual void OnTimer(UINT_PTR id);
  // Any other message. Return true when handled and set result; for messages that return their
  // value directly (the WM_CTLCOLOR family and the like) result is that value.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Default: take the control values and end with IDOK.
  virtual void OnOK();
  // Default: end with IDCANCEL.
  virtual void OnCancel();

  // Ends the dialog: EndDialog for a modal one, DestroyWindow for a modeless one.
  void End(INT_PTR result);

  // Value exchange for DoDataExchange: save true reads the control with that id into the value,
  // save false writes the value into the control. A missing control leaves the value as it is.
  // Text of an edit, static or editable combo box.
  void ExchangeText(int id, std::string& value, bool save);
  // A check box or radio button: 1 checked, 0 not.
  void ExchangeCheck(int id, int& value, bool save);
  // The selected index of a combo box (-1: none).
  void ExchangeSelection(int id, int& index, bool save);
  // A decimal number in an edit; a text that is not a number reads as 0.
  void ExchangeNumber(int id, int& value, bool save);

  HWND m_hwnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  HINSTANCE m_instance;
  bool m_modal = false;
};

}  // namespace ui
