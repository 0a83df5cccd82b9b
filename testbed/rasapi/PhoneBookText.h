// The text of the emulated phone book file, "rasphone.pbk": one INI section per entry, one
// "key=value" line per field. Portable; the file itself is handled by CPhoneBook.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rasemu {

struct PhoneBookEntry {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;

  // The value of key, or nullptr.
  const std::string* Value(std::string_view key) const;
};

// Entry names compare as Windows compares them: letters without regard to case, all other bytes
// (GB2312 among them) exactly.
bool SameEntryName(std::string_view a, std::string_view b);

class CPhoneBookText {
 public:
  // Reads a phone book text. Lines that are neither a section, a "key=value" line of a section,
  // a comment (";" or "#") nor blank are skipped, so one damaged line loses only itself. A
  // name or value with a broken escape is taken as written.
  static CPhoneBookText Parse(std::string_view text);
  // The text to store: sections in order, escapes where needed, "\r\n" line ends.
  std::string Serialize() const;

  // The first entry of that name, or nullptr.
  const PhoneBookEntry* Find(std::string_view name) const;
  // Stores an entry: it takes the place of the entry of the same name (and of any duplicate of
  // it), or is added at the end.
  void Put(PhoneBookEntry entry);
  // Removes every entry of that name; false when there was none.
  bool Remove(std::string_view name);
  const std::vector<PhoneBookEntry>& Entries() const { return m_entries; }

 private:
  std::vector<PhoneBookEntry> m_entries;
};

}  // namespace rasemu
