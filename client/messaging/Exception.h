// Exception: the failure raised by the start of the message client, carrying its text.
#pragma once

#include <exception>

class Exception : public std::exception {
 public:
  // The longest text kept, in bytes, terminator included; a longer text is cut to fit.
  static constexpr unsigned kTextSize = 256;

  // Keeps a copy of text (GB2312); null keeps an empty text.
  explicit Exception(const char* text);

  // The text, at most kTextSize - 1 bytes, always terminated.
  const char* GetText() const noexcept { return m_text; }
  const char* what() const noexcept override { return m_text; }

 private:
  char m_text[kTextSize];
};
