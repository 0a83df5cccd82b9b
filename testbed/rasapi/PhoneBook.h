// The phone book file. By default "rasphone.pbk" in the machine's application-data folder, where
// Windows keeps its own (Microsoft\Network\Connections\Pbk); RASEMU_PHONEBOOK names another
// file, and a caller's phone-book path takes precedence over both. Several processes may change
// it at once: every change is made under a machine-wide lock and lands by an atomic replace.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <functional>
#include <string>

#include "testbed/rasapi/PhoneBookText.h"

namespace rasemu {

class CPhoneBook {
 public:
  // path: the caller's phone book, or null or empty for the default one.
  explicit CPhoneBook(const char* path);

  const std::string& Path() const { return m_path; }

  // Reads the book; a missing file is an empty book. Returns 0, or
  // ERROR_CANNOT_OPEN_PHONEBOOK when the file exists but cannot be read.
  DWORD Read(CPhoneBookText* book) const;

  // Reads the book, lets change edit it and, when change returns 0, writes it back, all under
  // the lock. Returns change's result, or ERROR_CANNOT_OPEN_PHONEBOOK /
  // ERROR_CANNOT_WRITE_PHONEBOOK when the file cannot be read or written.
  DWORD Change(const std::function<DWORD(CPhoneBookText&)>& change) const;

  // The default file: RASEMU_PHONEBOOK, else the application-data path.
  static std::string DefaultPath();

 private:
  DWORD ReadUnlocked(CPhoneBookText* book) const;

  std::string m_path;
};

}  // namespace rasemu
