#include "common/ui/DialogBase.h"

namespace ui {

namespace {

// These messages give their result as the dialog procedure's return value; every other handled
// message puts it into DWLP_MSGRESULT and returns TRUE.
bool ReturnsValueDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

}  // namespace

CDialogBase::CDialogBase(UINT templateId, HINSTANCE instance)
    : m_templateId(templateId), m_instance(instance ? instance : GetModuleHandleA(nullptr)) {}

CDialogBase::~CDialogBase() {
  // A modeless window that outlives its object would call into freed memory.
  if (m_hwnd != nullptr && !m_modal) DestroyWindow(m_hwnd);
}

INT_PTR CDialogBase::DoModal(HWND parent) {
  m_modal = true;
  INT_PTR result = DialogBoxParamA(m_instance, MAKEINTRESOURCEA(m_templateId), parent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  m_modal = false;
  return result;
}

HWND CDialogBase::Create(HWND parent) {
  m_modal = false;
  return CreateDialogParamA(m_instance, MAKEINTRESOURCEA(m_templateId), parent, DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

bool CDialogBase::OnInitDialog() {
  DoDataExchange(false);
  return true;
}

void CDialogBase::DoDataExchange(bool) {}

bool CDialogBase::OnCommand(int, int, HWND) {
  return false;
}

bool CDialogBase::OnNotify(NMHDR*, LRESULT&) {
  return false;
}

void CDialogBase::OnTimer(UINT_PTR) {}

bool CDialogBase::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
  return false;
}

void CDialogBase::OnOK() {
  DoDataExchange(true);
  End(IDOK);
}

void CDialogBase::OnCancel() {
  End(IDCANCEL);
}

void CDialogBase::ExchangeText(int id, std::string& value, bool save) {
  HWND control = Item(id);
  if (control == nullptr) return;
  if (!save) {
    SetWindowTextA(control, value.c_str());
    return;
  }
  const int length = GetWindowTextLengthA(control);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(control, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  value.swap(text);
}

void CDialogBase::ExchangeCheck(int id, int& value, bool save) {
  HWND control = Item(id);
  if (control == nullptr) return;
  if (save) {
    value = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  } else {
    SendMessageA(control, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void CDialogBase::ExchangeSelection(int id, int& index, bool save) {
  HWND control = Item(id);
  if (control == nullptr) return;
  if (save) {
    const LRESULT selected = SendMessageA(control, CB_GETCURSEL, 0, 0);
    index = selected == CB_ERR ? -1 : static_cast<int>(selected);
  } else {
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void CDialogBase::ExchangeNumber(int id, int& value, bool save) {
  if (Item(id) == nullptr) return;
  if (save) {
    BOOL read = FALSE;
    const int number = static_cast<int>(GetDlgItemInt(m_hwnd, id, &read, TRUE));
    value = read ? number : 0;
  } else {
    SetDlgItemInt(m_hwnd, id, static_cast<UINT>(value), TRUE);
  }
}

void CDialogBase::End(INT_PTR result) {
  if (m_hwnd == nullptr) return;
  if (m_modal) {
    EndDialog(m_hwnd, result);
  } else {
    DestroyWindow(m_hwnd);
  }
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialogBase* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogBase*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->m_hwnd = window;
  } else {
    self = reinterpret_cast<CDialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  INT_PTR result = self->Dispatch(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->m_hwnd = nullptr;
  }
  return result;
}

INT_PTR CDialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (OnCommand(id, code, reinterpret_cast<HWND>(lParam))) return TRUE;
      if (id == IDOK) {
        OnOK();
        return TRUE;
      }
      if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
      }
      return FALSE;
    }
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), result)) return FALSE;
      SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    default:
      break;
  }
  LRESULT result = 0;
  if (!OnMessage(message, wParam, lParam, result)) return FALSE;
  if (ReturnsValueDirectly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace ui
