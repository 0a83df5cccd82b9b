// Bounded text copies for fixed-size buffers.
#pragma once

#include <cstddef>
#include <cstring>

namespace ui {

// Copies as much of source as fits into destination (size bytes including the terminator) and
// always terminates. A null source gives an empty text; a zero size writes nothing.
inline void CopyText(char* destination, std::size_t size, const char* source) {
  if (destination == nullptr || size == 0) return;
  if (source == nullptr) source = "";
  std::size_t length = std::strlen(source);
  if (length >= size) length = size - 1;
  std::memcpy(destination, source, length);
  destination[length] = '\0';
}

template <std::size_t N>
inline void CopyText(char (&destination)[N], const char* source) {
  CopyText(destination, N, source);
}

}  // namespace ui
