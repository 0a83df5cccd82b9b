// A driver for black-box tests of the running client: it starts Quillon.exe in a program folder of
// its own and uses it as a person would, through its windows, across the process boundary.
//
// The build folder comes from the environment (QUILLON_BUILD_DIR, QUILLON_SOURCE_DIR as CTest sets
// them, Unix paths). Everything waits with a timeout; nothing sleeps hoping a condition holds.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace driver {

// Dispatches every message waiting for this thread.
void PumpMessages();

// Polls condition every 20 ms (pumping this thread's messages) until it holds or timeoutMs
// passes. Returns whether it held.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

// The Windows form (Z:\...) of a Unix path.
std::string WindowsPath(const std::string& unixPath);
// The build folder as a Unix path (QUILLON_BUILD_DIR); empty when unset.
std::string BuildDir();
// The source folder as a Unix path (QUILLON_SOURCE_DIR); empty when unset.
std::string SourceDir();

// The text of a window of any process (WM_GETTEXT); empty for a null or hung window.
std::string WindowText(HWND window);
// The first descendant of parent with that control id, or null.
HWND FindDescendant(HWND parent, int id);
// A visible top-level dialog (class "#32770") of process pid other than the main window,
// optionally with that caption; null when there is none.
HWND FindDialog(DWORD pid, const char* caption = nullptr);

// The first top-level window carrying the window property name, of process pid (0: of any
// process); null when there is none.
HWND FindWindowWithProperty(const char* name, DWORD pid = 0);
// A visible message box of process pid (a dialog with a message text); null when there is none.
HWND FindMessageBox(DWORD pid);
// Waits for a message box of process pid; null after the timeout.
HWND WaitForMessageBoxOf(DWORD pid, DWORD timeoutMs = 10000);
// The position of a progress bar of any process; -1 when it does not answer.
int ProgressPosition(HWND bar);
// Starts program (a Windows path) with folder as its working folder, on the virtual desktop of
// UseVirtualDesktop when one is in use; returns its process handle (caller closes) and its id, or
// null.
HANDLE StartProgram(const std::string& program, const std::string& folder, DWORD* pid = nullptr);
// Runs every client started from now on in the Wine virtual desktop name (width x height pixels),
// which draws window frames and captions as Windows does, and moves the calling thread onto that
// desktop so that it finds and drives the client's windows there. Call it before the thread has
// any window of its own. False when the desktop cannot be made or entered.
bool UseVirtualDesktop(const std::string& name, int width, int height);

// Sends a message whose lParam points to data to a window of another process: the bytes are put
// into that process, the message sent with their address there, and what the window wrote back
// is copied into data. Returns the message's result, or 0 when the bytes cannot be placed.
LRESULT SendWithData(HWND window, UINT message, WPARAM wParam, void* data, size_t size);
// Waits for a visible top-level dialog of process pid with that caption (see FindDialog); null
// after the timeout.
HWND WaitForDialog(DWORD pid, const char* caption, DWORD timeoutMs = 10000);
// The texts of a combo box's list, of any process.
std::vector<std::string> ComboItems(HWND combo);
// Controls of another process whose messages carry pointers: the structures go through memory
// of that process (Wine does not marshal them).
// The cells of every row of a report list view, columns 0 to columns - 1 (each up to 1023 bytes).
std::vector<std::vector<std::string>> ListViewRows(HWND list, int columns);
// Selects exactly the rows given (none when empty), as a click with Ctrl would.
bool ListViewSelect(HWND list, const std::vector<int>& rows);
// The rectangle of a row in the list's client coordinates.
bool ListViewRowRect(HWND list, int row, RECT* rect);
// Sets a date and time picker to the time given.
bool SetDateTime(HWND picker, const SYSTEMTIME& time);

// Takes a screenshot of the whole display into a PNG file (Unix path) with ImageMagick's import,
// started as a native program. Returns whether the file was written.
bool Screenshot(const std::string& unixPath, DWORD timeoutMs = 10000);

// Takes a screenshot of one window's client area, as it lies on the display, into a PNG file (Unix
// path); without a window manager frames and captions are not drawn. Returns whether the file was
// written.
bool ScreenshotWindow(HWND window, const std::string& unixPath, DWORD timeoutMs = 10000);

// A click on a button, check box or radio button of any window (BM_CLICK, posted): the button
// changes as under the mouse and its owner hears of the click.
bool ClickButton(HWND dialog, int id);
// The same for one window: it is repainted first, and the picture is cut to its rectangle.
bool ScreenshotOf(HWND window, const std::string& unixPath, DWORD timeoutMs = 10000);

// Reads a whole file (Windows path) byte for byte, sharing it with any writer; empty when missing.
std::string ReadFileBytes(const std::string& path);
// Writes bytes as the whole file (Windows path), replacing it; false when it cannot be written.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

class CClient {
 public:
  // The program folder is <build>/tests/programs/<name>, laid out afresh by Start.
  explicit CClient(const std::string& name);
  // Stops the process if it still runs.
  ~CClient();

  CClient(const CClient&) = delete;
  CClient& operator=(const CClient&) = delete;

  // Lays out the program folder (Quillon.exe, Linkwell.dll and Renewer.exe as far as they are
  // built, "DefaultAD.html", the RAS stand-in when built) and starts the client there. Returns
  // false with a reason in error.
  bool Start(std::string* error = nullptr);
  // The two halves of Start: lay out the folder afresh (so that a test can put files such as
  // "config.xml" into it), then start the client in the folder as it stands. Launch also starts
  // the client again after an earlier one of this object ended, keeping what it wrote.
  bool Prepare(std::string* error = nullptr);
  bool Launch(std::string* error = nullptr);
  // Starts one more Quillon.exe in the same folder; returns its process handle (caller closes),
  // or null.
  HANDLE StartAnother() const;
  // Waits for the main window: the top-level window of this process carrying the instance
  // property. Returns it, or null after the timeout.
  HWND WaitForMainWindow(DWORD timeoutMs = 15000);
  // Takes over a client started by another program (the updater) after the one of this object
  // ended: waits for the main window of another process and acts on that process from then on.
  // False after the timeout.
  bool TakeOverRestarted(DWORD timeoutMs = 15000);

  HWND MainWindow() const { return m_main; }
  DWORD ProcessId() const { return m_pid; }
  HANDLE Process() const { return m_process; }
  // The program folder (Windows form, ending in a backslash).
  const std::string& Folder() const { return m_folder; }
  // Reads a file of the program folder (name relative to it) byte for byte; empty when missing.
  std::string ReadFile(const std::string& name) const;
  // Writes a file into the program folder, replacing it; false when it cannot be written.
  bool WriteFile(const std::string& name, const std::string& bytes) const;
  bool IsRunning() const;
  // Waits for the process to end; its exit code goes to exitCode when given.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;

  // A menu, tray or toolbar command, posted to the main window.
  void SendCommand(int id) const;
  // A click on the control with that id (button or link text) anywhere in the main window.
  bool Click(int id) const;
  // A left click at client position (x, y) of the control with that id.
  bool ClickAt(int id, int x, int y) const;
  // Types text into the edit or editable combo box with that id (replacing its text).
  bool Type(int id, const std::string& text) const;
  // Selects the item at index of the combo box with that id, as a click in its list does (the
  // owner hears of the changed selection).
  bool SelectComboItem(int id, int index) const;
  // A click on a check box: its check changes and its owner hears of the click.
  bool ClickCheckBox(int id) const;
  // The text of the control with that id; empty when it does not exist.
  std::string Text(int id) const;
  HWND Control(int id) const;
  // The toolbar button state, by command.
  bool IsToolbarButtonEnabled(int command) const;

  // Waits for a message box of the client; null after the timeout.
  HWND WaitForMessageBox(DWORD timeoutMs = 10000) const;
  // The text of a message box.
  static std::string MessageBoxText(HWND box);
  // Presses a button of a dialog or message box (IDOK, IDYES, ...).
  static void Answer(HWND box, int buttonId);

  // Ends the client: "退出" first, and if it does not end within the timeout, terminates it.
  void Stop(DWORD timeoutMs = 10000);

 private:
  std::string m_name;
  std::string m_folder;
  HANDLE m_process = nullptr;
  DWORD m_pid = 0;
  HWND m_main = nullptr;
};

}  // namespace driver
