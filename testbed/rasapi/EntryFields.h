// A RASENTRYA as phone-book values and back: every field of the structure under its own name.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <ras.h>

#include "testbed/rasapi/PhoneBookText.h"

namespace rasemu {

// The values that store the entry (dwSize and dwAlternateOffset are not stored).
PhoneBookEntry EntryToValues(const char* name, const RASENTRYA& entry);

// Fills the fields that the values name into *entry; the caller has zeroed it and set dwSize.
// Unknown keys and malformed values are ignored, so a hand-edited file still dials.
void ValuesToEntry(const PhoneBookEntry& values, RASENTRYA* entry);

}  // namespace rasemu
