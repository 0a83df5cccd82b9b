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
// A document is used by one thread at a time.
#pragma once

#include <string>

class CXmlDoc {
 public:
  // An empty document: its error text reads "Empty document" until something is loaded.
  CXmlDoc();
  ~CXmlDoc();
  CXmlDoc(const CXmlDoc&) = delete;
  CXmlDoc& operator=(const CXmlDoc&) = delete;

  // Replaces the text (null means empty), indexes it and resets every position. Returns true when
  // the text is well formed: one root element, every element ended, no bad node. A text that is not
  // well formed is still indexed as far as it goes; GetError() says what went wrong.
  bool SetDocText(const char* text);

  // Reads the file whole and indexes it as SetDocText does. A text without encoding declaration, or
  // one that declares UTF-8, is converted from UTF-8 first. False when the file cannot be opened
  // (the previous document stays) or the text is not well formed.
  bool LoadFile(const char* path);

  // Writes the text (converted to UTF-8 under the same rule as LoadFile). The file is replaced only
  // when every byte has been written; on any failure the old file stays as it was. False when the
  // file cannot be created or written.
  bool SaveFile(const char* path);

  // Back to before the first element of the current level; the parent stays.
  void RewindLevel();

  // From the element after the current one (or the first of the level), finds the next element of
  // that name (any element when the name is null or empty) and makes it current.
  bool FindElement(const char* name = nullptr);
  // Finds the next child of that name under the current element (finding a current element first
  // when there is none) and makes it the child.
  bool FindChildElement(const char* name = nullptr);
  // Steps into the current element (its child becomes current) and back out.
  bool EnterElement();
  bool LeaveElement();

  // Attribute values, entities decoded; empty when there is no such element or attribute.
  std::string GetAttribute(const char* name) const;
  std::string GetChildAttribute(const char* name) const;
  // Replaces the attribute's value, or appends the attribute after the last one. False when
  // there is no current element.
  bool SetAttribute(const char* name, const char* value);

  // Text content (entities decoded, CDATA as it stands); empty when the element has children.
  std::string GetElementText() const;
  std::string GetChildElementText() const;
  // Replaces the whole content of the current element. False when there is no current element or
  // it has child elements.
  bool SetElementText(const char* text);
  bool SetElementText(int value);

  // Adds an element after the current one (last of the level when there is none); it becomes the
  // current element. With a null value the element is written empty ("<name/>").
  bool AddElement(const char* name, const char* value = nullptr);
  bool AddElement(const char* name, int value);
  // As AddElement, but before the current element (first of the level when there is none).
  bool InsertElement(const char* name, const char* value = nullptr);
  // Adds a child of the current element after the child (as its last child when there is none);
  // it becomes the child. False when there is no current element.
  bool AddChildElement(const char* name, const char* value = nullptr);

  // Removes the current element (or the child) with its content. The position moves to the
  // previous sibling, so the next FindElement continues with the element that followed.
  bool RemoveElement();
  bool RemoveChildElement();

  // The whole text, as SaveFile would write it before any encoding conversion.
  const std::string& GetDocText() const { return m_text; }
  // The message of the last load, save or parse.
  const std::string& GetError() const { return m_error; }

 private:
  std::string m_text;
  std::string m_error;
};
