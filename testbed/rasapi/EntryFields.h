// A RASENTRYA of any version as phone-book values and back: every field of the structure under its
// own name.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <ras.h>

#include "testbed/rasapi/PhoneBookText.h"

namespace rasemu {

// The values that store the entry, as far as its version (size) goes (dwSize and
// dwAlternateOffset are not stored).
PhoneBookEntry EntryToValues(const char* name, const void* entry, DWORD size);

// Fills the fields that the values name into entry, as far as its version (size) goes; the
// caller has zeroed it and set dwSize. Unknown keys and malformed values are ignored, so a
// hand-edited file still dials.
void ValuesToEntry(const PhoneBookEntry& values, void* entry, DWORD size);

}  // namespace rasemu
