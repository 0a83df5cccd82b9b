// The one way this module copies text into a fixed buffer. Portable.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace rasemu {

// Copies as much of text as fits into buffer[size] and terminates it; nothing when size is 0.
inline void CopyText(char* buffer, std::size_t size, std::string_view text) {
  if (size == 0) return;
  const std::size_t length = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// CopyText into a char array, its size taken from the type.
template <std::size_t N>
void CopyText(char (&buffer)[N], std::string_view text) {
  CopyText(buffer, N, text);
}

}  // namespace rasemu
