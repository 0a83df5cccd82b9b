// CConfigStore: the settings and saved users of the client, kept in "config.xml".
//
// The store holds the loaded file in one CXmlDoc for its whole life and writes the whole file after
// every change. Getters of several settings repair a file that lacks the setting: they add the
// element with its default and save. A file that cannot be written is not reported; the settings
// live on in memory and the next save tries again.
//
// The user-interface thread and the connection watcher both use the store: every accessor holds
// one lock, so no reader ever sees a half-made edit.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "client/store/XmlDoc.h"

class CConfigStore {
 public:
  // "config.xml" in the program's folder.
  CConfigStore();
  // The file at that path. Puts right what a save cut short left (see
  // CXmlDoc::RecoverInterruptedSave), creates the default file when none exists, then loads it. A
  // file that does not parse (cut off, malformed, empty) or has no "CONFIG" is rebuilt: the
  // settings, the users of "pppoe_vorlan_default_entry", "LastUser" and "SystemSet" that can still
  // be read are written into a well-formed file with defaults for the rest, but only after the
  // damaged text (unless it held only blanks) has been kept as a numbered copy beside the file
  // ("config.xml.damaged", ".damaged.1", ..., see KeepDamagedCopy). Until that copy can be written
  // the store works in memory and writes nothing. A file that exists but cannot be read is left
  // alone: the store then reads every setting as missing and writes nothing.
  explicit CConfigStore(const std::string& path);

  CConfigStore(const CConfigStore&) = delete;
  CConfigStore& operator=(const CConfigStore&) = delete;

  // Replaces the document with the twelve-line default file and saves it.
  void CreateDefaultConfig();

  // "passwordstatus": remember the password on the login page (default on).
  bool GetPasswordStatus();
  void SetPasswordStatus(bool on);
  // "UPDATESET": automatic update mode (default on).
  bool GetUpdateSet();
  void SetUpdateSet(bool on);
  // "Autoconnect": the number in its text; 0 when missing (nothing is added).
  int GetAutoconnect();
  void SetAutoconnect(bool on);
  // "Alwaysconnect" and "Reconnect": the redial policy (default off).
  bool GetAlwaysconnect();
  void SetAlwaysconnect(bool on);
  bool GetReconnect();
  void SetReconnect(bool on);
  // The "Reconnect" value cached at construction and by SetReconnect, without reading the file.
  bool GetReconnectCached();

  // Writes the gap (decimal seconds as text; null leaves it as it is) and the number of tries;
  // one save. Where a file holds several elements of a name, the last one (which the getters
  // read) is written.
  void SetRedial(const char* gapText, int tries);
  // The gap for display: "5秒", "1分钟"; "秒" alone when the element is missing.
  std::string GetRedialTimegrapText();
  // The stored text of "RedialTrytimes"; empty when missing.
  std::string GetRedialTrytimesText();
  // The gap in seconds and the tries as numbers, read as atoi reads them (0 when missing).
  int GetRedialTimegrap();
  int GetRedialTrytimes();

  // "StartUp": on only when its text reads as the number 1.
  bool GetStartUp();
  void SetStartUp(bool on);
  // "MsgPop": kept and repaired; the cached value is taken at construction.
  bool GetMsgPop();
  void SetMsgPop(bool on);
  bool GetMsgPopCached();

  // The users saved for the entry, in the order they were first saved. Both lists are emptied
  // first. Entry names that are empty or would break the markup (blanks, "<", "&", quotes, "/",
  // "=" and the like) are refused by all the user operations.
  void GetUsers(const char* entry, std::vector<std::string>& names, std::vector<std::string>& passwords);
  // Saves (or updates the password text of) a user of the entry. Nothing happens when any
  // argument is null.
  void SaveUser(const char* entry, const char* password, const char* user);
  // Appends the "User" elements of "LastUser" to the lists; false when there is no "LastUser".
  bool GetLastUser(std::vector<std::string>& names, std::vector<std::string>& passwords);
  // Records the last user on every "User" of "LastUser" (adding "LastUser" or its "User" when
  // missing). Nothing happens when either argument is null.
  void SetLastUser(const char* password, const char* user);

  // The pending timed shutdown; both outputs stay as they were when none is set.
  void GetSystemSet(std::string& time, std::string& type);
  // Removes a pending shutdown and, when enabled is not 0, sets the new one in its place (null texts
  // count as empty).
  void SetSystemSet(const char* time, const char* type, int enabled);

  // For the callers that work on the document directly (user management, the dial sequence):
  // runs edit under the store's lock, with the document at the document level, and saves the file
  // when it returns true. The document must not be kept beyond the call.
  void EditDocument(const std::function<bool(CXmlDoc&)>& edit);

  const std::string& GetPath() const { return m_path; }

 private:
  void BuildDefaultDocument();
  void RebuildDamaged(const std::string& damagedBytes);
  // Leaves the document inside "CONFIG", before its first child; false when there is no "CONFIG".
  bool EnterConfig();
  // Inside "CONFIG": makes the first (or last) element of that name current.
  bool FindSetting(const char* name, bool last);
  bool ReadSetting(const char* name, bool last, std::string& text);
  bool AddMissingSetting(const char* name, const char* text);
  // Replaces the text of the element, or adds it at the end of "CONFIG"; does not save.
  bool WriteSetting(const char* name, const char* text, bool last);
  bool GetFlag(const char* name, bool defaultOn);
  void SetFlag(const char* name, bool on);
  void Save();

  // Positions of the document are part of the state the lock protects.
  std::recursive_mutex m_lock;
  CXmlDoc m_doc;
  std::string m_path;
  bool m_loaded = false;
  // The damaged text of the file, until a copy of it has been kept.
  std::string m_damagedBytes;
  bool m_msgPopCached = true;
  bool m_reconnectCached = false;
};
