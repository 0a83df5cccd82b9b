// Texts that must not linger in memory, such as a clear password. Portable: no Windows header.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

// Overwrites size bytes at data with zeros in a way the compiler may not leave out.
inline void WipeBytes(void* data, std::size_t size) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

// Overwrites the characters of text, then empties it.
inline void WipeString(std::string& text) {
  if (!text.empty()) WipeBytes(&text[0], text.size());
  text.clear();
}

// CSecret holds one text in a buffer of its own, always terminated, and overwrites the bytes
// whenever it lets them go: on Clear, on assignment, when moved from and when destroyed. It cannot
// be copied by accident; Copy() makes the one copy a caller asks for.
class CSecret {
 public:
  CSecret() : m_bytes(1, '\0') {}
  // A null text gives an empty secret.
  explicit CSecret(const char* text) : CSecret(text, text != nullptr ? std::strlen(text) : 0) {}
  CSecret(const char* data, std::size_t length) : m_bytes(length + 1, '\0') {
    if (length > 0) std::memcpy(m_bytes.data(), data, length);
  }
  explicit CSecret(const std::string& text) : CSecret(text.data(), text.size()) {}
  ~CSecret() { Clear(); }

  CSecret(CSecret&& other) noexcept : m_bytes(1, '\0') { m_bytes.swap(other.m_bytes); }
  CSecret& operator=(CSecret&& other) noexcept {
    if (this != &other) {
      Clear();
      m_bytes.swap(other.m_bytes);
    }
    return *this;
  }
  CSecret(const CSecret&) = delete;
  CSecret& operator=(const CSecret&) = delete;

  CSecret Copy() const { return CSecret(m_bytes.data(), size()); }

  const char* c_str() const { return m_bytes.data(); }
  // The terminated buffer, for interfaces that take a writable text; size() + 1 bytes.
  char* data() { return m_bytes.data(); }
  std::size_t size() const { return m_bytes.size() - 1; }
  bool empty() const { return size() == 0; }

  // Overwrites the bytes and leaves the secret empty.
  void Clear() {
    WipeBytes(m_bytes.data(), m_bytes.size());
    m_bytes.assign(1, '\0');
  }

  bool operator==(const CSecret& other) const { return m_bytes == other.m_bytes; }
  bool operator==(const std::string& text) const {
    return size() == text.size() && std::memcmp(m_bytes.data(), text.data(), text.size()) == 0;
  }
  bool operator==(const char* text) const { return text != nullptr && std::strcmp(c_str(), text) == 0; }

 private:
  std::vector<char> m_bytes;
};
