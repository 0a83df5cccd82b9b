#include "client/store/ConfigStore.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "client/store/ProgramFolder.h"

namespace {

const char kDeclarationLine[] = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n";
const char kRoot[] = "CONFIG";
const char kUser[] = "User";
const char kName[] = "NAME";
const char kPassword[] = "PASSWORD";
const char kLastUser[] = "LastUser";
const char kSystemSet[] = "SystemSet";
const char kSetTime[] = "SetTime";
const char kSetType[] = "SetType";
const char kDefaultEntry[] = "pppoe_vorlan_default_entry";

const char kUpdateSet[] = "UPDATESET";
const char kPasswordStatus[] = "passwordstatus";
const char kStartUp[] = "StartUp";
const char kAutoconnect[] = "Autoconnect";
const char kAlwaysconnect[] = "Alwaysconnect";
const char kReconnect[] = "Reconnect";
const char kRedialTimegrap[] = "RedialTimegrap";
const char kRedialTrytimes[] = "RedialTrytimes";
const char kMsgPop[] = "MsgPop";

struct Setting {
  const char* name;
  const char* defaultText;
};

// The settings of a fresh file, in the order they are written.
const Setting kSettings[] = {{kUpdateSet, "1"},      {kPasswordStatus, "1"},    {kStartUp, "0"},
                             {kAutoconnect, "0"},    {kAlwaysconnect, "0"},     {kReconnect, "0"},
                             {kRedialTimegrap, "5"}, {kRedialTrytimes, "1000"}, {kMsgPop, "1"}};
const size_t kSettingCount = sizeof(kSettings) / sizeof(kSettings[0]);

// The number at the start of a text as atoi reads it, kept inside the range of int.
int ReadNumber(const std::string& text) {
  errno = 0;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Element names reach the text unescaped, so only names that keep the markup intact are taken.
bool IsUsableName(const char* name) {
  if (!name || !*name) return false;
  for (const char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c <= ' ' || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'' || c == '/' || c == '=' ||
        c == '?' || c == '!' || c == '[' || c == ']' || c == '\\')
      return false;
  }
  return true;
}

void ToDocumentLevel(CXmlDoc& doc) {
  while (doc.LeaveElement()) {
  }
  doc.RewindLevel();
}

using UserList = std::vector<std::pair<std::string, std::string>>;

void ReadUsers(CXmlDoc& doc, UserList& users) {
  if (!doc.EnterElement()) return;
  while (doc.FindElement(kUser)) users.emplace_back(doc.GetAttribute(kName), doc.GetAttribute(kPassword));
  doc.LeaveElement();
}

// Where each element of that name stands among the elements of the current level (1 = first).
// Leaves the level rewound.
std::vector<int> Positions(CXmlDoc& doc, const char* name) {
  doc.RewindLevel();
  int total = 0;
  while (doc.FindElement()) ++total;
  std::vector<int> positions;
  for (int occurrence = 1;; ++occurrence) {
    doc.RewindLevel();
    bool found = true;
    for (int i = 0; i < occurrence && found; ++i) found = doc.FindElement(name);
    if (!found) break;
    int after = 0;
    while (doc.FindElement()) ++after;
    positions.push_back(total - after);
  }
  doc.RewindLevel();
  return positions;
}

// Makes the occurrence-th element of that name (1 = first) current.
bool FindOccurrence(CXmlDoc& doc, const char* name, int occurrence) {
  doc.RewindLevel();
  for (int i = 0; i < occurrence; ++i) {
    if (!doc.FindElement(name)) return false;
  }
  return true;
}

// What a damaged file still tells.
struct Salvage {
  std::string settings[kSettingCount];
  UserList entryUsers;
  UserList lastUsers;
  bool hasSystemSet = false;
  std::string setTime;
  std::string setType;
};

// Reads one level of a damaged document. An element left open by a cut-off text loses its
// children to the level it stands on, where they follow it: a "User" found directly on this
// level belongs to the user list that precedes it.
void SalvageLevel(CXmlDoc& doc, Salvage& salvage) {
  for (size_t s = 0; s < kSettingCount; ++s) {
    doc.RewindLevel();
    if (salvage.settings[s].empty() && doc.FindElement(kSettings[s].name))
      salvage.settings[s] = doc.GetElementText();
  }
  doc.RewindLevel();
  if (!salvage.hasSystemSet && doc.FindElement(kSystemSet)) {
    salvage.hasSystemSet = true;
    salvage.setTime = doc.GetAttribute(kSetTime);
    salvage.setType = doc.GetAttribute(kSetType);
  }

  enum Kind { kEntryList, kLastUserList, kLooseUser };
  struct Event {
    int position;
    Kind kind;
    int occurrence;
  };
  std::vector<Event> events;
  const std::pair<const char*, Kind> kinds[] = {
      {kDefaultEntry, kEntryList}, {kLastUser, kLastUserList}, {kUser, kLooseUser}};
  for (const auto& kind : kinds) {
    std::vector<int> positions = Positions(doc, kind.first);
    for (size_t i = 0; i < positions.size(); ++i)
      events.push_back({positions[i], kind.second, static_cast<int>(i) + 1});
  }
  std::sort(events.begin(), events.end(),
            [](const Event& a, const Event& b) { return a.position < b.position; });

  UserList* current = nullptr;
  for (const Event& event : events) {
    const char* name = event.kind == kEntryList      ? kDefaultEntry
                       : event.kind == kLastUserList ? kLastUser
                                                     : kUser;
    if (!FindOccurrence(doc, name, event.occurrence)) continue;
    if (event.kind == kEntryList) {
      current = &salvage.entryUsers;
      ReadUsers(doc, *current);
    } else if (event.kind == kLastUserList) {
      current = &salvage.lastUsers;
      ReadUsers(doc, *current);
    } else if (current) {
      current->emplace_back(doc.GetAttribute(kName), doc.GetAttribute(kPassword));
    }
  }
  doc.RewindLevel();
}

void AddUsers(CXmlDoc& doc, const char* container, const UserList& users) {
  doc.RewindLevel();
  doc.AddElement(container);
  doc.EnterElement();
  for (const auto& user : users) {
    doc.AddElement(kUser);
    doc.SetAttribute(kName, user.first.c_str());
    doc.SetAttribute(kPassword, user.second.c_str());
  }
  doc.LeaveElement();
}

}  // namespace

CConfigStore::CConfigStore() : CConfigStore(ProgramFolder() + "config.xml") {}

CConfigStore::CConfigStore(const std::string& path) : m_path(path) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  // A save cut short must not read as a missing file, which would bring back the defaults.
  CXmlDoc::RecoverInterruptedSave(m_path.c_str());
  std::string bytes;
  FileRead read = ReadWholeFile(m_path, bytes);
  if (read == FileRead::kMissing) {
    CreateDefaultConfig();
    m_doc.LoadFile(m_path.c_str());
  } else if (read == FileRead::kRead) {
    bool wellFormed = m_doc.LoadFile(m_path.c_str());
    ToDocumentLevel(m_doc);
    if (!wellFormed || !m_doc.FindElement(kRoot)) RebuildDamaged(bytes);
  }
  // A file that exists but cannot be read is left alone: the store then holds no "CONFIG", so
  // nothing is written over settings that may come back readable.
  m_msgPopCached = GetMsgPop();
  m_loaded = true;
  m_reconnectCached = GetReconnect();
}

void CConfigStore::RebuildDamaged(const std::string& damagedBytes) {
  // Used as it was indexed, a cut-off file would keep its settings outside the open "CONFIG",
  // where no getter finds them, and the first repair would save defaults over them. Instead every
  // setting and user that can still be read is written into a well-formed file; the damaged text
  // is first copied aside.
  Salvage salvage;
  ToDocumentLevel(m_doc);
  if (m_doc.FindElement(kRoot) && m_doc.EnterElement()) {
    SalvageLevel(m_doc, salvage);
    m_doc.LeaveElement();
  }
  ToDocumentLevel(m_doc);
  SalvageLevel(m_doc, salvage);

  // The damaged text is copied aside before anything is written over it (see Save).
  if (damagedBytes.find_first_not_of(" \t\r\n") != std::string::npos) m_damagedBytes = damagedBytes;

  BuildDefaultDocument();
  EnterConfig();
  for (size_t s = 0; s < kSettingCount; ++s) {
    m_doc.RewindLevel();
    if (!salvage.settings[s].empty() && m_doc.FindElement(kSettings[s].name))
      m_doc.SetElementText(salvage.settings[s].c_str());
  }
  // A user list whose users were all cut off is left out: an empty "LastUser" would read as a
  // last user without a name.
  if (!salvage.entryUsers.empty()) AddUsers(m_doc, kDefaultEntry, salvage.entryUsers);
  if (!salvage.lastUsers.empty()) AddUsers(m_doc, kLastUser, salvage.lastUsers);
  if (salvage.hasSystemSet) {
    m_doc.RewindLevel();
    m_doc.AddElement(kSystemSet);
    m_doc.SetAttribute(kSetTime, salvage.setTime.c_str());
    m_doc.SetAttribute(kSetType, salvage.setType.c_str());
  }
  Save();
}

void CConfigStore::BuildDefaultDocument() {
  m_doc.SetDocText(kDeclarationLine);
  m_doc.AddElement(kRoot);
  m_doc.EnterElement();
  for (const Setting& setting : kSettings) m_doc.AddElement(setting.name, setting.defaultText);
  m_doc.LeaveElement();
}

void CConfigStore::CreateDefaultConfig() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  BuildDefaultDocument();
  Save();
}

bool CConfigStore::EnterConfig() {
  ToDocumentLevel(m_doc);
  return m_doc.FindElement(kRoot) && m_doc.EnterElement();
}

bool CConfigStore::FindSetting(const char* name, bool last) {
  m_doc.RewindLevel();
  if (!m_doc.FindElement(name)) return false;
  if (last) {
    while (m_doc.FindElement(name)) {
    }
  }
  return true;
}

bool CConfigStore::ReadSetting(const char* name, bool last, std::string& text) {
  text.clear();
  if (!EnterConfig() || !FindSetting(name, last)) return false;
  text = m_doc.GetElementText();
  return true;
}

void CConfigStore::Save() {
  // The file holds a damaged text that is kept nowhere else: nothing is written over it until a
  // copy of it has been written.
  if (!m_damagedBytes.empty()) {
    if (!KeepDamagedCopy(m_path, m_damagedBytes)) return;
    m_damagedBytes.clear();
  }
  m_doc.SaveFile(m_path.c_str());
}

bool CConfigStore::AddMissingSetting(const char* name, const char* text) {
  if (!EnterConfig()) return false;
  m_doc.RewindLevel();
  if (!m_doc.AddElement(name, text)) return false;
  Save();
  return true;
}

bool CConfigStore::WriteSetting(const char* name, const char* text, bool last) {
  if (!EnterConfig()) return false;
  if (FindSetting(name, last)) return m_doc.SetElementText(text);
  m_doc.RewindLevel();
  return m_doc.AddElement(name, text);
}

bool CConfigStore::GetFlag(const char* name, bool defaultOn) {
  std::string text;
  if (ReadSetting(name, false, text)) return ReadNumber(text) != 0;
  AddMissingSetting(name, defaultOn ? "1" : "0");
  return defaultOn;
}

void CConfigStore::SetFlag(const char* name, bool on) {
  if (WriteSetting(name, on ? "1" : "0", false)) Save();
}

bool CConfigStore::GetPasswordStatus() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  return GetFlag(kPasswordStatus, true);
}

void CConfigStore::SetPasswordStatus(bool on) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  SetFlag(kPasswordStatus, on);
}

bool CConfigStore::GetUpdateSet() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  return GetFlag(kUpdateSet, true);
}

void CConfigStore::SetUpdateSet(bool on) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  SetFlag(kUpdateSet, on);
}

int CConfigStore::GetAutoconnect() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  std::string text;
  return ReadSetting(kAutoconnect, true, text) ? ReadNumber(text) : 0;
}

void CConfigStore::SetAutoconnect(bool on) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  // The getter reads the last "Autoconnect", so that is the one written.
  if (WriteSetting(kAutoconnect, on ? "1" : "0", true)) Save();
}

bool CConfigStore::GetAlwaysconnect() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  return GetFlag(kAlwaysconnect, false);
}

void CConfigStore::SetAlwaysconnect(bool on) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  SetFlag(kAlwaysconnect, on);
}

bool CConfigStore::GetReconnect() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  return GetFlag(kReconnect, false);
}

void CConfigStore::SetReconnect(bool on) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  m_reconnectCached = on;
  SetFlag(kReconnect, on);
}

bool CConfigStore::GetReconnectCached() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  return m_reconnectCached;
}

void CConfigStore::SetRedial(const char* gapText, int tries) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  char triesText[16];
  std::snprintf(triesText, sizeof(triesText), "%d", tries);
  // The getters read the last element of each name, so those are the ones written.
  bool changed = false;
  if (gapText) changed = WriteSetting(kRedialTimegrap, gapText, true);
  changed = WriteSetting(kRedialTrytimes, triesText, true) || changed;
  if (changed) Save();
}

std::string CConfigStore::GetRedialTimegrapText() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  std::string text;
  if (!ReadSetting(kRedialTimegrap, true, text)) return "秒";
  int seconds = ReadNumber(text);
  if (seconds > 59) return std::to_string(seconds / 60) + "分钟";
  return text + "秒";
}

std::string CConfigStore::GetRedialTrytimesText() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  std::string text;
  ReadSetting(kRedialTrytimes, true, text);
  return text;
}

int CConfigStore::GetRedialTimegrap() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  std::string text;
  return ReadSetting(kRedialTimegrap, true, text) ? ReadNumber(text) : 0;
}

int CConfigStore::GetRedialTrytimes() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  std::string text;
  return ReadSetting(kRedialTrytimes, true, text) ? ReadNumber(text) : 0;
}

bool CConfigStore::GetStartUp() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  std::string text;
  if (ReadSetting(kStartUp, false, text)) return ReadNumber(text) == 1;
  AddMissingSetting(kStartUp, "0");
  return false;
}

void CConfigStore::SetStartUp(bool on) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  SetFlag(kStartUp, on);
}

bool CConfigStore::GetMsgPop() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  return GetFlag(kMsgPop, true);
}

void CConfigStore::SetMsgPop(bool on) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  m_msgPopCached = on;
  SetFlag(kMsgPop, on);
}

bool CConfigStore::GetMsgPopCached() {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  return m_msgPopCached;
}

void CConfigStore::GetUsers(const char* entry, std::vector<std::string>& names,
                            std::vector<std::string>& passwords) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  names.clear();
  passwords.clear();
  if (!IsUsableName(entry) || !EnterConfig()) return;
  m_doc.RewindLevel();
  if (!m_doc.FindElement(entry) || !m_doc.EnterElement()) return;
  while (m_doc.FindElement(kUser)) {
    names.push_back(m_doc.GetAttribute(kName));
    passwords.push_back(m_doc.GetAttribute(kPassword));
  }
}

void CConfigStore::SaveUser(const char* entry, const char* password, const char* user) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  if (!password || !user || !IsUsableName(entry) || !EnterConfig()) return;
  m_doc.RewindLevel();
  if (m_doc.FindElement(entry)) {
    if (!m_doc.EnterElement()) return;
    while (m_doc.FindElement(kUser)) {
      if (m_doc.GetAttribute(kName) == user) {
        m_doc.SetAttribute(kPassword, password);
        Save();
        return;
      }
    }
    m_doc.RewindLevel();
  } else {
    m_doc.RewindLevel();
    if (!m_doc.AddElement(entry) || !m_doc.EnterElement()) return;
  }
  m_doc.AddElement(kUser);
  m_doc.SetAttribute(kName, user);
  m_doc.SetAttribute(kPassword, password);
  Save();
}

bool CConfigStore::GetLastUser(std::vector<std::string>& names, std::vector<std::string>& passwords) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  if (!EnterConfig()) return false;
  m_doc.RewindLevel();
  if (!m_doc.FindElement(kLastUser)) return false;
  if (m_doc.EnterElement()) {
    while (m_doc.FindElement(kUser)) {
      names.push_back(m_doc.GetAttribute(kName));
      passwords.push_back(m_doc.GetAttribute(kPassword));
    }
  }
  return true;
}

void CConfigStore::SetLastUser(const char* password, const char* user) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  if (!password || !user || !EnterConfig()) return;
  m_doc.RewindLevel();
  bool exists = m_doc.FindElement(kLastUser);
  if (!exists) {
    m_doc.RewindLevel();
    if (!m_doc.AddElement(kLastUser)) return;
  }
  if (!m_doc.EnterElement()) return;
  bool any = false;
  while (m_doc.FindElement(kUser)) {
    m_doc.SetAttribute(kName, user);
    m_doc.SetAttribute(kPassword, password);
    any = true;
  }
  // A "LastUser" without any "User" would read back as a last user with no name.
  if (!any) {
    m_doc.RewindLevel();
    m_doc.AddElement(kUser);
    m_doc.SetAttribute(kName, user);
    m_doc.SetAttribute(kPassword, password);
  }
  Save();
}

void CConfigStore::GetSystemSet(std::string& time, std::string& type) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  if (!EnterConfig()) return;
  m_doc.RewindLevel();
  if (!m_doc.FindElement(kSystemSet)) return;
  time = m_doc.GetAttribute(kSetTime);
  type = m_doc.GetAttribute(kSetType);
}

void CConfigStore::SetSystemSet(const char* time, const char* type, int enabled) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  if (!EnterConfig()) return;
  m_doc.RewindLevel();
  bool changed = false;
  // After a removal the position is the previous sibling, so the new element takes the old
  // one's place; any further "SystemSet" left by hand edits goes as well.
  if (m_doc.FindElement(kSystemSet)) changed = m_doc.RemoveElement();
  if (enabled != 0) {
    m_doc.AddElement(kSystemSet);
    m_doc.SetAttribute(kSetTime, time ? time : "");
    m_doc.SetAttribute(kSetType, type ? type : "");
    changed = true;
  }
  while (m_doc.FindElement(kSystemSet)) changed = m_doc.RemoveElement() || changed;
  if (changed) Save();
}

void CConfigStore::EditDocument(const std::function<bool(CXmlDoc&)>& edit) {
  std::lock_guard<std::recursive_mutex> hold(m_lock);
  ToDocumentLevel(m_doc);
  bool changed = edit && edit(m_doc);
  ToDocumentLevel(m_doc);
  if (changed) Save();
}
