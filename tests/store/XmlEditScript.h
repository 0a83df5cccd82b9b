// Scripted use of a document, shared by the random tests and the fuzzer: one step is one operation
// of the cursor or one edit, picked by two bytes; WalkAll visits every element through the
// operations and reads what can be read.
#pragma once

#include <cstdint>
#include <string>

#include "client/store/XmlDoc.h"

namespace xmlscript {

// Returns true when the step was an edit that succeeded.
inline bool Step(CXmlDoc& doc, uint8_t op, uint8_t arg) {
  static const char* const kNames[] = {"a", "ITEM", "x:y", "_b", "\xd6\xd0", "record", "a=b", "bad name"};
  static const char* const kAttributes[] = {"a", "user", "x:y", "\xc3\xfb", "b", "", "q\"", "e"};
  static const char* const kValues[] = {nullptr, "",    "v",    "a<b&c>\"'", "\xd5\xc5\xc8\xfd",
                                        " \r\n", "]]>", "&amp;"};
  const char* name = kNames[arg % 8];
  const char* attribute = kAttributes[arg % 8];
  const char* value = kValues[(arg / 8) % 8];
  switch (op % 16) {
    case 0:
      doc.RewindLevel();
      return false;
    case 1:
      doc.FindElement(arg & 0x40 ? name : nullptr);
      return false;
    case 2:
      doc.FindChildElement(arg & 0x40 ? name : nullptr);
      return false;
    case 3:
      doc.EnterElement();
      return false;
    case 4:
      doc.LeaveElement();
      return false;
    case 5:
      return doc.AddElement(name, value);
    case 6:
      return doc.InsertElement(name, value);
    case 7:
      return doc.AddChildElement(name, value);
    case 8:
    case 9:
      return doc.SetAttribute(attribute, value ? value : "1");
    case 10:
      return doc.SetElementText(value);
    case 11:
      return doc.RemoveElement();
    case 12:
      return doc.RemoveChildElement();
    case 13:
      return doc.AddElement(name, static_cast<int>(arg) - 128);
    case 14:
      return doc.SetElementText(static_cast<int>(arg) * 1000);
    default:
      doc.GetAttribute(attribute);
      doc.GetChildAttribute(attribute);
      doc.GetElementText();
      doc.GetChildElementText();
      return false;
  }
}

// Visits every element from the document level, reading its attributes and text; returns how
// many were visited. Leaves the cursor at the document level.
inline size_t WalkAll(CXmlDoc& doc) {
  while (doc.LeaveElement()) {
  }
  doc.RewindLevel();
  size_t visited = 0;
  for (;;) {
    if (doc.FindElement()) {
      ++visited;
      doc.GetAttribute("a");
      doc.GetAttribute("user");
      doc.GetElementText();
      doc.EnterElement();
    } else if (!doc.LeaveElement()) {
      break;
    }
  }
  doc.RewindLevel();
  return visited;
}

}  // namespace xmlscript
