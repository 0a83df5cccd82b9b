// The saved users as user management sees them in the configuration document: the "User"
// elements of "CONFIG"/"pppoe_vorlan_default_entry", and the one of "LastUser". Portable: works
// on the document the configuration store lends (CConfigStore::EditDocument), at its document
// level, and leaves it there.
#pragma once

#include <string>
#include <vector>

class CXmlDoc;

// The "NAME" of every "User" of the default entry, in document order; empty when there is no
// "CONFIG" or no entry element.
std::vector<std::string> ListSavedUsers(CXmlDoc& doc);

// Removes every "User" of the default entry whose "NAME" equals one of the marked names byte for
// byte; then, when a "User" of "LastUser" carries a marked name, removes the whole "LastUser".
// Any number of names may be marked. True when anything was removed (the caller saves).
bool RemoveMarkedUsers(CXmlDoc& doc, const std::vector<std::string>& marked);
