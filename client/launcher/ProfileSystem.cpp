#include "client/launcher/ProfileSystem.h"

#include <windows.h>

namespace {

unsigned long GetString(const char* section, const char* key, const char* fallback, char* out,
                        unsigned long size, const char* file) {
  return GetPrivateProfileStringA(section, key, fallback, out, size, file);
}

unsigned GetInt(const char* section, const char* key, int fallback, const char* file) {
  return GetPrivateProfileIntA(section, key, fallback, file);
}

bool WriteString(const char* section, const char* key, const char* value, const char* file) {
  return WritePrivateProfileStringA(section, key, value, file) != FALSE;
}

}  // namespace

ProfileSystem RealProfileSystem() {
  return ProfileSystem{GetString, GetInt, WriteString};
}

ProfileSystem& ProfileCalls() {
  static ProfileSystem calls = RealProfileSystem();
  return calls;
}
