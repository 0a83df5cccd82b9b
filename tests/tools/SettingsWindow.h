// What the tests of the settings dialog share: the dialog of the running client driven across the
// process boundary, and the shutdown time as config.xml keeps it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "client/resources/Resource.h"
#include "tests/support/Driver.h"

namespace settings_test {

// The settings dialog of the client.
struct SettingsWindow {
  HWND window = nullptr;

  // The dialog's own buttons first: controls inside the pages' controls have small ids too.
  HWND Control(int id) const {
    HWND own = GetDlgItem(window, id);
    return own != nullptr ? own : driver::FindDescendant(window, id);
  }
  // A click on a button, check box or radio button, as the mouse gives it.
  bool Click(int id) const {
    HWND control = Control(id);
    return control != nullptr && PostMessageA(control, BM_CLICK, 0, 0) != FALSE;
  }
  bool Checked(int id) const { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
  std::string Text(int id) const { return driver::WindowText(Control(id)); }
  // Replaces the text of an edit, or of the edit field of a combo box, as typing does.
  bool Type(int id, const std::string& text) const {
    HWND control = Control(id);
    if (control == nullptr) return false;
    if (HWND field = FindWindowExA(control, nullptr, "Edit", nullptr)) control = field;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
  }
  // Chooses a list item, as a click in the drop-down list does.
  bool Select(int id, int index) const {
    HWND combo = Control(id);
    if (combo == nullptr || SendMessageA(combo, CB_SETCURSEL, index, 0) != index) return false;
    return PostMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(combo)) != FALSE;
  }
  bool SetPicker(int id, SYSTEMTIME value) const {
    return driver::SendWithData(Control(id), DTM_SETSYSTEMTIME, GDT_VALID, &value, sizeof(value)) != 0;
  }
  // Clicks the tab of page index and waits until the page with control shown is visible.
  bool ShowTab(int index, int shownControl) const {
    HWND tabs = Control(IDC_SETTINGS_TABS);
    RECT item = {0, 0, 0, 0};
    if (tabs == nullptr || !driver::SendWithData(tabs, TCM_GETITEMRECT, index, &item, sizeof(item)))
      return false;
    const LPARAM where = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageA(tabs, WM_LBUTTONUP, 0, where);
    return driver::WaitFor([&] { return IsWindowVisible(GetParent(Control(shownControl))) != FALSE; }, 5000);
  }
  bool WaitClosed() const {
    return driver::WaitFor([&] { return !IsWindow(window); }, 10000);
  }
};

// Gives the client the command and waits for the dialog "用户设置"; window is null when none came.
inline SettingsWindow OpenSettings(const driver::CClient& client, int command = ID_SETTINGS) {
  client.SendCommand(command);
  SettingsWindow settings;
  driver::WaitFor(
      [&] {
        settings.window = driver::FindDialog(client.ProcessId(), "用户设置");
        return settings.window != nullptr;
      },
      10000);
  return settings;
}

// The "SystemSet" line of config.xml; empty when there is none.
inline std::string SystemSetLine(const std::string& file) {
  const size_t start = file.find("<SystemSet");
  if (start == std::string::npos) return std::string();
  return file.substr(start, file.find("/>", start) + 2 - start);
}

inline std::string SystemSetElement(const std::string& time, const std::string& type) {
  return "<SystemSet SetTime=\"" + time + "\" SetType=\"" + type + "\"/>";
}

// The local time that many seconds from now, to the second.
inline SYSTEMTIME LocalTimeIn(long long seconds) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME file;
  SystemTimeToFileTime(&now, &file);
  ULARGE_INTEGER value;
  value.LowPart = file.dwLowDateTime;
  value.HighPart = file.dwHighDateTime;
  value.QuadPart += static_cast<ULONGLONG>(seconds * 10000000LL);
  file.dwLowDateTime = value.LowPart;
  file.dwHighDateTime = value.HighPart;
  SYSTEMTIME result;
  FileTimeToSystemTime(&file, &result);
  result.wMilliseconds = 0;
  return result;
}

// The form config.xml keeps a shutdown time in.
inline std::string StoredForm(const SYSTEMTIME& t) {
  char text[32];
  snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond);
  return text;
}

}  // namespace settings_test
