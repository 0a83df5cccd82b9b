// Bounded text helpers of the dial engine: every copy into a fixed buffer goes through CopyText.
#pragma once

#include <cstring>

// Copies src into dest, cut to size - 1 bytes and always terminated. A null src gives "".
inline void CopyText(char* dest, size_t size, const char* src) {
  if (size == 0) return;
  size_t length = src ? strnlen(src, size - 1) : 0;
  memcpy(dest, src ? src : "", length);
  dest[length] = '\0';
}

template <size_t N>
inline void CopyText(char (&dest)[N], const char* src) {
  CopyText(dest, N, src);
}

// True when a fixed field filled by the system holds exactly text; an unterminated field never matches.
template <size_t N>
inline bool FieldEquals(const char (&field)[N], const char* text) {
  return strnlen(field, N) < N && strcmp(field, text) == 0;
}
