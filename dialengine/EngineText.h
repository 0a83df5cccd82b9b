// Bounded text helpers of the dial engine: every copy into a fixed buffer goes through CopyText.
#pragma once

#include <cstring>

#include "common/TextCopy.h"

// True when a fixed field filled by the system holds exactly text; an unterminated field never matches.
template <size_t N>
inline bool FieldEquals(const char (&field)[N], const char* text) {
  return strnlen(field, N) < N && strcmp(field, text) == 0;
}
