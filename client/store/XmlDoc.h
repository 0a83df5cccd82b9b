// CXmlDoc: the in-memory XML document that every XML file of the client goes through.
//
// The document is one contiguous byte text (GB2312) with an index of 32-byte element records
// beside it. Reading cuts values out of the text on demand; every edit splices the text in place
// and shifts the index, so SaveFile writes the text exactly as it stands. What the engine adds it
// lays out itself: one element per line, CR LF line ends, no indentation.
//
// Navigation uses a three-level cursor: the parent, the current element and the current child.
// Positions change only through the operations below; an operation that cannot act returns false
// (or an empty string) and leaves the positions as they were. Nothing throws.
//
// A text that is not well formed is still indexed as far as it goes, and navigation and editing
// work on what was indexed. GetError() then holds the first error of the parse, unless the text
// has no element ("No root element") or more than one at the top ("Root element has sibling"),
// which take its place; the texts are:
//   "Empty document", "No root element", "Root element has sibling",
//   "Element '%s' at offset %d not ended",
//   "End tag '%s' at offset %d does not match start tag '%s' at offset %d",
//   "No start tag for end tag '%s' at offset %d",
//   "Incorrect %s at offset %d" with "tag name character", "! tag", "comment tag" or "tag",
//   "%s at offset %d unterminated" with "Element end tag", "Element tag", "CDATA Section",
//     "Processing instruction", "Comment", "Doctype" or "tag".
// A start tag of 4 MiB or more, or an end tag of 1024 bytes or more, cannot be indexed: it is
// skipped like any bad node and reported as "Incorrect start tag length at offset %d" or
// "Incorrect end tag length at offset %d". An edit that would make such a tag is refused, and a text
// of 2 GiB or more is not taken ("Incorrect document length at offset 2147483647").
//
// A document is used by one thread at a time, reads included (they share a small lookup cache).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "client/store/XmlIndex.h"
#include "client/store/XmlText.h"

class CXmlDoc {
 public:
  // An empty document: its error text reads "Empty document" until something is loaded.
  CXmlDoc();
  ~CXmlDoc();
  CXmlDoc(const CXmlDoc&) = delete;
  CXmlDoc& operator=(const CXmlDoc&) = delete;

  // A text ends at its first NUL byte, whether it is set or loaded: SetDocText takes a C string,
  // and LoadFile drops what follows a NUL byte in the file (after the UTF-8 conversion, which can
  // make one). So SetDocText(GetDocText().c_str()) always gives back the same document.

  // Replaces the text (null means empty), indexes it and resets every position. Returns true when
  // the text is well formed: one root element, every element ended, no bad node. A text that is not
  // well formed is still indexed as far as it goes; GetError() says what went wrong.
  bool SetDocText(const char* text);

  // Puts right what a save cut short left beside the file (RecoverInterruptedSave), then reads the
  // file whole and indexes it as SetDocText does. A text without encoding declaration, or
  // one that declares UTF-8, is converted from UTF-8 first (each character to the byte of its
  // code, "?" above 0xFF). GetError() then begins with "<n> bytes" (the file's size). False when
  // the file cannot be opened or read (the previous document stays, GetError() holds the system's
  // message) or the text is not well formed.
  bool LoadFile(const char* path);

  // Writes the text (converted to UTF-8 under the same rule as LoadFile) into a file of its own
  // beside the target ("<path>.new~"), puts it on the disk, and then puts it in the target's place
  // in one step, so that a crash or power cut at any moment leaves either the old file or the new
  // one. On any failure the old file stays as it was. True with GetError() "<n> bytes" (the bytes
  // written); false with the system's message when the file cannot be created, written or
  // replaced. Saves and the putting right below share one lock in the program, so that no load
  // takes the new file of a save in progress for a leftover.
  bool SaveFile(const char* path);

  // Puts right what a save cut short left beside a file. When the file is missing, the newest
  // complete text takes its place: "<path>.new~" when it parses, else "<path>.old~" (the old file
  // that earlier versions set aside while they swapped the two), else a "<path>.new~" that does not
  // parse, which then reads as a damaged file. When the file is there, both are removed. LoadFile
  // does this first; callers that look at the file before loading it call it themselves.
  static void RecoverInterruptedSave(const char* path);

  // Back to before the first element of the current level; the parent stays.
  void RewindLevel();

  // From the element after the current one (or the first of the level), finds the next element of
  // that name (any element when the name is null or empty) and makes it current.
  bool FindElement(const char* name = nullptr) { return FindElementOf(name, Length(name)); }
  // Finds the next child of that name under the current element and makes it the child. When there
  // is no current element it first finds one (as FindElement()), which stays found even when no
  // child matches.
  bool FindChildElement(const char* name = nullptr) { return FindChildElementOf(name, Length(name)); }
  // Steps into the current element (its child becomes current) and back out.
  bool EnterElement();
  bool LeaveElement();

  // Attribute values, entities decoded; empty when there is no such element or attribute (or
  // the name is null). Several attributes are found in any order of calls; where a tag holds a
  // name twice, the first counts.
  std::string GetAttribute(const char* name) const { return AttributeValue(m_current, name, Length(name)); }
  std::string GetChildAttribute(const char* name) const {
    return AttributeValue(m_child, name, Length(name));
  }
  // The same into a string the caller keeps, so that reading many records reuses its buffer.
  // True when the attribute exists (value then holds it), false otherwise (value empty).
  bool GetAttribute(const char* name, std::string& value) const {
    return CopyAttributeValue(m_current, name, Length(name), value);
  }
  bool GetChildAttribute(const char* name, std::string& value) const {
    return CopyAttributeValue(m_child, name, Length(name), value);
  }
  // Replaces the attribute's value (a null value is empty), or appends the attribute after the
  // last one. False when there is no current element, when the name is empty or holds whitespace,
  // a quote or one of < > / = ?, or when the start tag would grow to 4 MiB or change its extent.
  bool SetAttribute(const char* name, const char* value);

  // Text content (entities decoded, CDATA as it stands); empty when the element has children.
  std::string GetElementText() const;
  std::string GetChildElementText() const;
  // Replaces the whole content of the current element (a null text is empty). An element written
  // as "<name/>", or one without end tag, gets an end tag after the text. False when there is no
  // current element or it has child elements.
  bool SetElementText(const char* text);
  bool SetElementText(int value);

  // Adds an element after the current one (last of the level when there is none); it becomes the
  // current element. With a null value the element is written empty ("<name/>"). The adding
  // operations return false, changing nothing, when the name could not be read back as the same
  // element: empty, not starting with a letter, ":", "_" or a byte from 0x61 up, holding
  // whitespace, a quote or one of < > / = ? ! \, or 1021 bytes or longer.
  bool AddElement(const char* name, const char* value = nullptr);
  bool AddElement(const char* name, int value);
  // As AddElement, but before the current element (first of the level when there is none).
  bool InsertElement(const char* name, const char* value = nullptr);
  // Adds a child of the current element after the child (as its last child when there is none);
  // it becomes the child. False when there is no current element.
  bool AddChildElement(const char* name, const char* value = nullptr);

  // Removes the current element (or the child) with its content. The position moves to the
  // previous sibling, so the next FindElement continues with the element that followed. False
  // when there is none, or when a bad tag stands right before the element and text right after
  // it: the bad tag would then run on into that text.
  bool RemoveElement();
  bool RemoveChildElement();

  // The whole text, as SaveFile would write it before any encoding conversion. The reference
  // stays valid until the next edit, SetDocText or LoadFile.
  const std::string& GetDocText() const;
  // The message of the last load, save or parse.
  const std::string& GetError() const { return m_error; }

 private:
  friend class CXmlDocProbe;  // the tests' view of the index

  class Parser;

  // LoadFile without putting right what a save left.
  bool ReadFile(const char* path);
  // The new text is indexed afresh; `kept` is the message that goes in front of its errors.
  bool IndexText(const std::string& kept);
  int LevelUnder(int parent) const;

  std::string TextOf(int rec) const;
  bool IsEmptyTag(const XmlRecord& r) const;
  size_t ScanNameLength(const XmlRecord& r) const;
  bool FindElementOf(const char* name, size_t nameLength);
  bool FindChildElementOf(const char* name, size_t nameLength);
  bool FindNext(int first, const char* name, size_t nameLength, int* found) const;
  size_t SkipSpaceToTag(size_t pos) const;

  void LinkFirst(int rec, int parent);
  void LinkAfter(int rec, int ref);
  void LinkLast(int rec, int parent);
  int PreviousSibling(int rec) const;
  void Unlink(int rec);
  void ReleaseSubtree(int rec);

  // Replaces text [pos, pos + oldLength) by `with` and brings the index up to date: elements that
  // begin after the change move, elements that contain it (and `self`) grow or shrink.
  void Splice(size_t pos, size_t oldLength, const std::string& with, int self);
  bool FitsText(size_t oldLength, size_t newLength) const;
  bool AddAt(int parent, int ref, bool before, const char* name, const char* value, int* added);
  bool Remove(int rec);
  bool BadNodeEndsAt(size_t from, size_t at) const;

  const char* Text() const { return m_storage.data() + m_front; }
  size_t TextSize() const { return m_storage.size() - m_front; }

  // The text is m_storage from m_front on. The room in front of it lets an edit near the start
  // move the bytes before the change instead of all that follow it; GetDocText closes it.
  mutable std::string m_storage;
  mutable size_t m_front = 0;
  std::string m_error;
  int m_parent = 0;
  int m_current = 0;
  int m_child = 0;
  int m_released = 0;
  // Offset of a node that is cut off by the end of the text (an unterminated comment, tag, ...),
  // or -1. Elements added at the end of the document go in front of it, where they can be read.
  long long m_openTail = -1;
  CXmlIndex m_index;

  // Where an attribute stands in a start tag: where reading it began (at the tag name for the
  // first attribute), its name (from there), its value, the quote around the value (0 for an
  // unquoted value or none).
  struct AttributePlace {
    uint32_t from;
    uint32_t nameOffset;
    uint32_t nameLength;
    uint32_t value[2];  // begin and end
    char quote;
  };
  // Reading one attribute by the layout: the bytes before its value (in the layout's element),
  // and the number of the double quote that closes the value among the tag's double quotes.
  struct LayoutStep {
    uint32_t prefixAt;
    uint16_t prefixLength;
    uint16_t closeQuote;
  };
  // The name's length, counted where the call is written, so that a literal name costs nothing.
  static size_t Length(const char* name) { return name ? std::strlen(name) : 0; }
  // Where the value of the element's first attribute of that name begins and ends; null when
  // there is none.
  const uint32_t* FindValue(int rec, const char* name, size_t nameLength) const;
  const uint32_t* SearchValue(const char* name, size_t nameLength) const;
  const uint32_t* FindScanned(const char* name, size_t nameLength) const;
  std::string AttributeValue(int rec, const char* name, size_t nameLength) const;
  bool CopyAttributeValue(int rec, const char* name, size_t nameLength, std::string& value) const;
  void StartReading(int rec) const;
  static constexpr size_t kMappedBytes = 256;
  void ReadByLayout() const;
  // Reads the next attribute of the element the scanning way; false after the last.
  bool ReadNextAttribute() const;
  void DropReadCache() const;
  void ForgetNames() const;

  // The attributes of the element read last, so that reading several of them scans its start tag
  // once, and a layout learnt from the elements read before: where a tag repeats the bytes from
  // each attribute's start through the quote that opens its value (as the records of a month
  // file do), the scan would find the same name and value start, so only the closing quote is
  // looked for.
  //   m_layout[0..m_layoutCount): the places of attributes of earlier elements, in tag order;
  //   m_matched: how many of them the element repeats (their value ends are in m_values);
  //   m_scanned: the attributes read after those the scanning way, which the layout learns when
  //   reading moves on to another element.
  // Offsets count from the start of the text; any change of the text drops all of it.
  mutable int m_cachedRec = 0;
  mutable size_t m_readFrom = 0;
  mutable size_t m_readEnd = 0;
  mutable bool m_readAll = false;
  mutable size_t m_plainBefore = 0;  // values that end before this offset hold no "&"
  mutable size_t m_layoutCount = 0;
  mutable std::vector<AttributePlace> m_layout;
  mutable std::vector<LayoutStep> m_steps;
  mutable size_t m_matched = 0;
  mutable std::vector<uint32_t> m_values;
  mutable size_t m_scannedCount = 0;
  mutable std::vector<AttributePlace> m_scanned;
  // The layout's attributes found for the names asked for last: a name with the same bytes is
  // found in the same place while the layout stays.
  struct NameMemo {
    const char* name;
    size_t length;
    char bytes[16];
    size_t slot;
  };
  static constexpr size_t kNameMemos = 4;
  mutable NameMemo m_nameMemos[kNameMemos] = {};
  mutable size_t m_nextMemo = 0;
};
