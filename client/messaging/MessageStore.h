// CMessageStore: the provider's messages, kept in "MessageInfo.xml" beside the program.
//
// The file is GB2312 text: the declaration line, the root "MessageRecord", and one "ITEM" per
// message with the children "MType", "MTitle", "MDate", "MTime", "MUrl" and "MContent". The store
// holds the whole file in one document, opened once at program start, and saves it after every
// change. Used from the user-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "client/messaging/ProviderMessage.h"
#include "client/store/XmlDoc.h"

class CMessageStore {
 public:
  CMessageStore() = default;
  CMessageStore(const CMessageStore&) = delete;
  CMessageStore& operator=(const CMessageStore&) = delete;

  // Opens "MessageInfo.xml" in the program's folder, as Open(folder) does.
  bool Open();
  // Opens "MessageInfo.xml" in folder (a trailing separator is optional). A missing or empty file
  // is first created with the declaration and an empty "MessageRecord"; an existing one is loaded
  // as it is. Afterwards IsLoaded() is true whatever happened. Returns true when the file was read
  // and is well formed; a file that cannot be written or read is not otherwise reported.
  bool Open(const std::string& folder);

  // Adds one ITEM at the end of "MessageRecord" with the six texts in that order (null is taken as
  // empty) and saves the file. Returns false, writing nothing, when the document has no
  // "MessageRecord"; otherwise the result of the save.
  bool Append(const char* category, const char* title, const char* date, const char* time, const char* url,
              const char* content);

  // Appends message with its category, title, date, time, web address and content, as above.
  bool Append(const ProviderMessage& message);

  // Every ITEM of "MessageRecord" in the file's order, its six texts read by their element names
  // (a missing one reads empty). Empty when the document has no "MessageRecord".
  std::vector<ProviderMessage> ReadMessages();

  // Writes the document to the file's path; false when the file cannot be written.
  bool Save();

  bool IsLoaded() const { return m_loaded; }
  // The file's full path and its folder (with its trailing separator); empty before Open.
  const std::string& GetPath() const { return m_path; }
  const std::string& GetFolder() const { return m_folder; }
  // The document as it stands, for readers of the messages.
  const CXmlDoc& GetDocument() const { return m_doc; }

 private:
  bool m_loaded = false;
  std::string m_path;
  std::string m_folder;
  CXmlDoc m_doc;
};
