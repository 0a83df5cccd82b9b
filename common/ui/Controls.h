// Small helpers over the standard controls, used by the dialogs to move values in and out.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace ui {

// The window's text as GB2312 bytes; empty for a null window.
inline std::string GetText(HWND window) {
  if (window == nullptr) return std::string();
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(window, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

inline void SetText(HWND window, const std::string& text) {
  if (window != nullptr) SetWindowTextA(window, text.c_str());
}

inline bool IsChecked(HWND button) {
  return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

inline void SetChecked(HWND button, bool checked) {
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Adds a text to a combo box's list; returns its index, or CB_ERR.
inline int ComboAdd(HWND combo, const std::string& text) {
  return static_cast<int>(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

inline int ComboCount(HWND combo) {
  return static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
}

// The text of a list item; empty when the index is out of range.
inline std::string ComboItem(HWND combo, int index) {
  LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(length));
  return text;
}

inline void Enable(HWND window, bool enable) {
  if (window != nullptr) EnableWindow(window, enable ? TRUE : FALSE);
}

inline void Show(HWND window, bool show) {
  if (window != nullptr) ShowWindow(window, show ? SW_SHOW : SW_HIDE);
}

// Selects the first item of a combo box whose text equals text exactly; returns its index, or -1
// (and no selection) when none does.
inline int ComboSelectExact(HWND combo, const std::string& text) {
  const int count = ComboCount(combo);
  for (int i = 0; i < count; ++i) {
    if (ComboItem(combo, i) == text) {
      SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return i;
    }
  }
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  return -1;
}

// List views in report view.

// Appends a column with that header and width in pixels; returns its index, or -1.
inline int ListAddColumn(HWND list, const char* header, int width) {
  const int index = Header_GetItemCount(ListView_GetHeader(list));
  LVCOLUMNA column;
  ZeroMemory(&column, sizeof(column));
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<char*>(header);
  column.cx = width;
  column.iSubItem = index < 0 ? 0 : index;
  return static_cast<int>(SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index < 0 ? 0 : index),
                                       reinterpret_cast<LPARAM>(&column)));
}

// Inserts a row at index with the text of its first column; returns the row's index, or -1.
inline int ListInsertRow(HWND list, int index, const std::string& text) {
  LVITEMA item;
  ZeroMemory(&item, sizeof(item));
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

// Sets the text of a cell.
inline void ListSetText(HWND list, int row, int column, const std::string& text) {
  LVITEMA item;
  ZeroMemory(&item, sizeof(item));
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The text of a cell; empty when there is none.
inline std::string ListText(HWND list, int row, int column) {
  std::string text(1024, '\0');
  LVITEMA item;
  ZeroMemory(&item, sizeof(item));
  item.iSubItem = column;
  item.pszText = &text[0];
  item.cchTextMax = static_cast<int>(text.size());
  const LRESULT length =
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

inline int ListCount(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

}  // namespace ui
