// The one bounded copy into a fixed-size character buffer, and the one comparison of a fixed field
// with a text, for every module of the product.
// Portable: no Windows header.
#pragma once

#include <cstddef>
#include <cstring>

// Copies as much of source as fits into destination (size bytes with the terminator) and always
// terminates. Reads no further into source than size bytes, so an unterminated field of the system
// is safe as a source. A null source copies an empty text; a null destination or a zero size
// writes nothing. True when the whole text fitted.
inline bool CopyText(char* destination, std::size_t size, const char* source) {
  if (destination == nullptr || size == 0) return source == nullptr || *source == '\0';
  if (source == nullptr) source = "";
  std::size_t length = strnlen(source, size);
  const bool fits = length < size;
  if (!fits) length = size - 1;
  std::memcpy(destination, source, length);
  destination[length] = '\0';
  return fits;
}

template <std::size_t N>
inline bool CopyText(char (&destination)[N], const char* source) {
  return CopyText(destination, N, source);
}

// True when a fixed field filled by the system holds exactly text, byte for byte; an unterminated
// field never matches. A null text matches nothing.
template <std::size_t N>
inline bool FieldEquals(const char (&field)[N], const char* text) {
  return text != nullptr && strnlen(field, N) < N && std::strcmp(field, text) == 0;
}
