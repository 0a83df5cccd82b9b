// The profile-file calls of the shortcut bar ("Settings.ini"), with the platform's semantics, so
// that the code that reads and writes the file also runs with a stand-in.
// Portable: no Windows header; the real functions are only built for Windows.
#pragma once

struct ProfileSystem {
  // As GetPrivateProfileStringA: copies the key's value, or fallback when the key is missing,
  // into out (size bytes; cut to size - 1 and terminated) and returns the bytes copied.
  unsigned long (*getString)(const char* section, const char* key, const char* fallback, char* out,
                             unsigned long size, const char* file);
  // As GetPrivateProfileIntA: the decimal number at the start of the value, fallback when the key
  // is missing.
  unsigned (*getInt)(const char* section, const char* key, int fallback, const char* file);
  // As WritePrivateProfileStringA: adds or replaces the key; false when the file cannot be written.
  bool (*writeString)(const char* section, const char* key, const char* value, const char* file);
};

// The calls in use; they start out as the real ones.
ProfileSystem& ProfileCalls();
ProfileSystem RealProfileSystem();
