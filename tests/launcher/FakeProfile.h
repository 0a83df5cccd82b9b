// A profile file in memory with the platform's reading rules: section and key names compare
// without case, values come back cut to the buffer, a missing key gives the fallback, and a
// number is read from the digits at the start of the value.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "client/launcher/ProfileSystem.h"

class FakeProfile {
 public:
  using Section = std::map<std::string, std::string>;

  static std::map<std::string, std::map<std::string, Section>>& Files() {
    static std::map<std::string, std::map<std::string, Section>> files;
    return files;
  }

  static ProfileSystem Calls() { return ProfileSystem{GetString, GetInt, WriteString}; }

  // The value as stored, or "<missing>".
  static std::string Value(const std::string& file, const std::string& section, const std::string& key) {
    auto& sections = Files()[file];
    auto s = sections.find(Lower(section));
    if (s == sections.end()) return "<missing>";
    auto k = s->second.find(Lower(key));
    return k == s->second.end() ? "<missing>" : k->second;
  }

  static bool HasSection(const std::string& file, const std::string& section) {
    return Files()[file].count(Lower(section)) != 0;
  }

  static void Set(const std::string& file, const std::string& section, const std::string& key,
                  const std::string& value) {
    Files()[file][Lower(section)][Lower(key)] = value;
  }

 private:
  static std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return text;
  }

  static const std::string* Find(const char* file, const char* section, const char* key) {
    auto f = Files().find(file);
    if (f == Files().end()) return nullptr;
    auto s = f->second.find(Lower(section));
    if (s == f->second.end()) return nullptr;
    auto k = s->second.find(Lower(key));
    return k == s->second.end() ? nullptr : &k->second;
  }

  static unsigned long GetString(const char* section, const char* key, const char* fallback, char* out,
                                 unsigned long size, const char* file) {
    const std::string* value = Find(file, section, key);
    const std::string text = value ? *value : fallback;
    if (size == 0) return 0;
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<unsigned long>(n);
  }

  static unsigned GetInt(const char* section, const char* key, int fallback, const char* file) {
    const std::string* value = Find(file, section, key);
    if (value == nullptr) return static_cast<unsigned>(fallback);
    return static_cast<unsigned>(std::atoi(value->c_str()));
  }

  static bool WriteString(const char* section, const char* key, const char* value, const char* file) {
    Files()[file][Lower(section)][Lower(key)] = value;
    return true;
  }
};
