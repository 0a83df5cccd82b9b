#include "client/messaging/MessageStore.h"

#include <cstdio>

#include "client/store/ProgramFolder.h"

namespace {

const char kFileName[] = "MessageInfo.xml";
const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n";
const char kRoot[] = "MessageRecord";

// True when the file exists with at least one byte. An empty file holds nothing to keep, so it
// is treated as missing: loading it would leave a document without root that every later
// append would refuse.
bool HasContent(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bool any = fgetc(file) != EOF;
  fclose(file);
  return any;
}

const char* OrEmpty(const char* text) {
  return text != nullptr ? text : "";
}

}  // namespace

bool CMessageStore::Open() {
  return Open(ProgramFolder());
}

bool CMessageStore::Open(const std::string& folder) {
  m_folder = folder;
  if (!m_folder.empty() && m_folder.back() != '\\' && m_folder.back() != '/') m_folder += kPathSeparator;
  m_path = m_folder + kFileName;
  if (!HasContent(m_path)) {
    m_doc.SetDocText(kDeclaration);
    m_doc.AddElement(kRoot);
    m_doc.SaveFile(m_path.c_str());
  }
  bool loaded = m_doc.LoadFile(m_path.c_str());
  m_loaded = true;
  return loaded;
}

bool CMessageStore::Append(const char* category, const char* title, const char* date, const char* time,
                           const char* url, const char* content) {
  while (m_doc.LeaveElement()) {
  }
  m_doc.RewindLevel();
  // Without the root an ITEM would land at the top level beside whatever the file holds, and the
  // file would no longer be a document; such a file is left as it is.
  if (!m_doc.FindElement(kRoot)) return false;
  m_doc.EnterElement();
  m_doc.AddElement("ITEM");
  m_doc.AddChildElement("MType", OrEmpty(category));
  m_doc.AddChildElement("MTitle", OrEmpty(title));
  m_doc.AddChildElement("MDate", OrEmpty(date));
  m_doc.AddChildElement("MTime", OrEmpty(time));
  m_doc.AddChildElement("MUrl", OrEmpty(url));
  m_doc.AddChildElement("MContent", OrEmpty(content));
  m_doc.LeaveElement();
  return Save();
}

bool CMessageStore::Append(const ProviderMessage& message) {
  return Append(message.category.c_str(), message.title.c_str(), message.date.c_str(), message.time.c_str(),
                message.url.c_str(), message.content.c_str());
}

std::vector<ProviderMessage> CMessageStore::ReadMessages() {
  std::vector<ProviderMessage> messages;
  while (m_doc.LeaveElement()) {
  }
  m_doc.RewindLevel();
  if (!m_doc.FindElement(kRoot)) return messages;
  m_doc.EnterElement();
  while (m_doc.FindElement("ITEM")) {
    ProviderMessage message;
    // Each child is looked for from the first one (stepping in and out of the ITEM forgets the
    // child found before), so that a file edited by hand may hold them in any order.
    const struct {
      const char* name;
      std::string* text;
    } fields[] = {{"MType", &message.category}, {"MTitle", &message.title}, {"MDate", &message.date},
                  {"MTime", &message.time},     {"MUrl", &message.url},     {"MContent", &message.content}};
    for (const auto& field : fields) {
      m_doc.EnterElement();
      m_doc.RewindLevel();
      m_doc.LeaveElement();
      if (m_doc.FindChildElement(field.name)) *field.text = m_doc.GetChildElementText();
    }
    messages.push_back(message);
  }
  m_doc.LeaveElement();
  return messages;
}

bool CMessageStore::Save() {
  return !m_path.empty() && m_doc.SaveFile(m_path.c_str());
}
