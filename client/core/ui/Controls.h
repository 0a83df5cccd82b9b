// Small helpers over the standard controls, used by the dialogs to move values in and out.
#pragma once

#include <windows.h>

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

}  // namespace ui
