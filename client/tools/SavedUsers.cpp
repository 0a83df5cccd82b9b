#include "client/tools/SavedUsers.h"

#include <unordered_set>

#include "client/store/XmlDoc.h"

namespace {

constexpr char kRoot[] = "CONFIG";
constexpr char kEntry[] = "pppoe_vorlan_default_entry";
constexpr char kUser[] = "User";
constexpr char kLastUser[] = "LastUser";
constexpr char kName[] = "NAME";

void ToDocumentLevel(CXmlDoc& doc) {
  while (doc.LeaveElement()) {
  }
  doc.RewindLevel();
}

bool EnterConfig(CXmlDoc& doc) {
  ToDocumentLevel(doc);
  return doc.FindElement(kRoot) && doc.EnterElement();
}

}  // namespace

std::vector<std::string> ListSavedUsers(CXmlDoc& doc) {
  std::vector<std::string> names;
  if (EnterConfig(doc) && doc.FindElement(kEntry) && doc.EnterElement()) {
    std::string name;
    while (doc.FindElement(kUser)) {
      doc.GetAttribute(kName, name);
      names.push_back(name);
    }
  }
  ToDocumentLevel(doc);
  return names;
}

bool RemoveMarkedUsers(CXmlDoc& doc, const std::vector<std::string>& marked) {
  const std::unordered_set<std::string> names(marked.begin(), marked.end());
  bool removed = false;
  if (!EnterConfig(doc)) return false;
  std::string name;
  if (doc.FindElement(kEntry) && doc.EnterElement()) {
    while (doc.FindElement(kUser)) {
      doc.GetAttribute(kName, name);
      // The position moves back to the previous user, so the search goes on with the next one.
      if (names.count(name) != 0 && doc.RemoveElement()) removed = true;
    }
    doc.LeaveElement();
  }
  doc.RewindLevel();
  if (doc.FindElement(kLastUser)) {
    while (doc.FindChildElement(kUser)) {
      doc.GetChildAttribute(kName, name);
      if (names.count(name) != 0) {
        if (doc.RemoveElement()) removed = true;
        break;
      }
    }
  }
  ToDocumentLevel(doc);
  return removed;
}
