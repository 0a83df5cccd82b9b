#include "client/core/DialErrorHints.h"

#include <cstring>

namespace {

struct Hint {
  unsigned long code;
  const char* text;
};

// Short enough that the system's text and the hint fit the message line's two lines under
// "连接错误!", twenty-one characters each.
const Hint kHints[] = {
    {651, "请检查网线和宽带猫是否正常"},     {678, "请检查网线是否插好，或稍后再试"},
    {691, "请核对用户名和密码，注意大小写"}, {718, "服务器繁忙，请稍后再试"},
    {769, "请检查网卡是否已启用"},           {797, "请检查网卡"},
    {815, "请检查网线是否插好，或稍后再试"},
};

const char kErrorLineStart[] = "连接错误!";

bool EndsWith(const std::string& text, const char* tail) {
  const size_t length = strlen(tail);
  return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

// Whether the last character is a printable single-byte one; the text is walked from its start, as
// the trail byte of a double-byte character may look like one.
bool EndsInLatinCharacter(const std::string& text) {
  bool latin = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    latin = byte > 0x20 && byte < 0x7F;
    if (byte >= 0x81 && byte <= 0xFE) ++i;
  }
  return latin;
}

}  // namespace

const char* DialErrorHint(unsigned long code) {
  for (const Hint& hint : kHints) {
    if (hint.code == code) return hint.text;
  }
  return nullptr;
}

bool IsDiscoveryFailure(unsigned long code) {
  return code == 651 || code == 678 || code == 815;
}

std::string WithDialErrorHint(const std::string& line, unsigned long code) {
  const char* hint = DialErrorHint(code);
  if (hint == nullptr || line.compare(0, sizeof(kErrorLineStart) - 1, kErrorLineStart) != 0 ||
      EndsWith(line, hint)) {
    return line;
  }
  std::string text = line;
  if (EndsInLatinCharacter(text)) text += ' ';
  return text + hint;
}
