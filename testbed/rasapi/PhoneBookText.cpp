#include "testbed/rasapi/PhoneBookText.h"

namespace rasemu {

namespace {

// Control bytes and "%" always, and in names also the brackets, so that every stored text reads
// back as it was written whatever bytes it holds.
std::string Escape(std::string_view text, bool name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string result;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f || c == '%' || (name && (c == '[' || c == ']' || c == '='))) {
      result += '%';
      result += kHex[u >> 4];
      result += kHex[u & 15];
    } else {
      result += c;
    }
  }
  return result;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescape(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && Hex(text[i + 1]) >= 0 && Hex(text[i + 2]) >= 0) {
      result += static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2]));
      i += 2;
    } else {
      result += text[i];
    }
  }
  return result;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

const std::string* PhoneBookEntry::Value(std::string_view key) const {
  for (const auto& pair : values) {
    if (pair.first == key) return &pair.second;
  }
  return nullptr;
}

bool SameEntryName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    // A GB2312 character is two bytes of 0xA1..0xFE, so no byte of one is an ASCII letter.
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

CPhoneBookText CPhoneBookText::Parse(std::string_view text) {
  CPhoneBookText book;
  PhoneBookEntry* current = nullptr;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') continue;
    if (trimmed.front() == '[') {
      if (trimmed.back() != ']' || trimmed.size() < 3) {
        current = nullptr;
        continue;
      }
      book.m_entries.push_back({Unescape(trimmed.substr(1, trimmed.size() - 2)), {}});
      current = &book.m_entries.back();
      continue;
    }
    const std::size_t equals = line.find('=');
    if (current == nullptr || equals == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, equals));
    if (key.empty()) continue;
    current->values.emplace_back(Unescape(key), Unescape(line.substr(equals + 1)));
  }
  return book;
}

std::string CPhoneBookText::Serialize() const {
  std::string text;
  for (const PhoneBookEntry& entry : m_entries) {
    if (!text.empty()) text += "\r\n";
    text += "[" + Escape(entry.name, true) + "]\r\n";
    for (const auto& pair : entry.values)
      text += Escape(pair.first, true) + "=" + Escape(pair.second, false) + "\r\n";
  }
  return text;
}

const PhoneBookEntry* CPhoneBookText::Find(std::string_view name) const {
  for (const PhoneBookEntry& entry : m_entries) {
    if (SameEntryName(entry.name, name)) return &entry;
  }
  return nullptr;
}

void CPhoneBookText::Put(PhoneBookEntry entry) {
  std::size_t place = m_entries.size();
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    if (SameEntryName(m_entries[i].name, entry.name)) {
      place = i;
      break;
    }
  }
  if (place == m_entries.size()) {
    m_entries.push_back(std::move(entry));
    return;
  }
  Remove(entry.name);
  m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(place), std::move(entry));
}

bool CPhoneBookText::Remove(std::string_view name) {
  const std::size_t before = m_entries.size();
  for (std::size_t i = m_entries.size(); i-- > 0;) {
    if (SameEntryName(m_entries[i].name, name))
      m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return m_entries.size() != before;
}

}  // namespace rasemu
