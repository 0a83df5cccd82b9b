#include "client/core/DialErrorHints.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testbed/rasapi/ErrorText.h"

namespace {

const char kErrorLine[] = "连接错误!\r\n";

// The message line of the main window: 171 dialog units of the 9-point "宋体" hold 42 half-width
// columns (21 characters of Chinese), and its 31 units three lines. Lines break between any two
// characters, but a closing mark never starts a line: it takes the character before it along.
int DisplayLines(const std::string& text) {
  constexpr int kColumns = 42;
  const std::vector<std::string> noLineStart = {"，", "。", "）", "、", "！", "？", "：", "；"};
  int lines = 0;
  size_t begin = 0;
  for (;;) {
    const size_t end = text.find("\r\n", begin);
    const std::string line = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    std::vector<std::string> characters;
    for (size_t i = 0; i < line.size(); ++i) {
      const bool wide = static_cast<unsigned char>(line[i]) >= 0x81 && i + 1 < line.size();
      characters.push_back(line.substr(i, wide ? 2 : 1));
      if (wide) ++i;
    }
    ++lines;
    int column = 0;
    for (size_t i = 0; i < characters.size(); ++i) {
      const int width = static_cast<int>(characters[i].size());
      if (column + width > kColumns) {
        ++lines;
        column = 0;
        bool closing = false;
        for (const std::string& mark : noLineStart) closing |= characters[i] == mark;
        if (closing && i > 0) column = static_cast<int>(characters[i - 1].size());
      }
      column += width;
    }
    if (end == std::string::npos) break;
    begin = end + 2;
  }
  return lines;
}

TEST(DialErrorHints, EachCommonErrorGetsAShortHintAfterTheSystemsText) {
  struct Case {
    unsigned long code;
    bool discovery;
  };
  for (const Case& c : {Case{651, true}, Case{678, true}, Case{691, false}, Case{718, false},
                        Case{769, false}, Case{797, false}, Case{815, true}}) {
    SCOPED_TRACE(c.code);
    const char* hint = DialErrorHint(c.code);
    ASSERT_NE(hint, nullptr);
    const char* system = rasemu::KnownErrorText(static_cast<unsigned>(c.code));
    ASSERT_NE(system, nullptr);
    const std::string engine = std::string(kErrorLine) + system;
    const std::string shown = WithDialErrorHint(engine, c.code);
    EXPECT_EQ(shown, engine + hint);
    EXPECT_LE(DisplayLines(shown), 3) << "the hint pushes the text out of the message line";
    EXPECT_EQ(WithDialErrorHint(shown, c.code), shown) << "added twice";
    EXPECT_EQ(IsDiscoveryFailure(c.code), c.discovery);
  }
  EXPECT_EQ(std::string(DialErrorHint(678)), "请检查网线是否插好，或稍后再试");
}

TEST(DialErrorHints, OtherLinesAndCodesAreLeftAlone) {
  const std::string engine619 = std::string(kErrorLine) + rasemu::KnownErrorText(619);
  for (unsigned long code : {0ul, 619ul, 631ul, 738ul, 756ul}) {
    EXPECT_EQ(DialErrorHint(code), nullptr) << code;
    EXPECT_FALSE(IsDiscoveryFailure(code)) << code;
    EXPECT_EQ(WithDialErrorHint(engine619, code), engine619) << code;
  }
  // The engine wrote something else meanwhile: no hint is glued to it.
  for (const char* line : {"已经成功地建立了连接", "欢迎使用远岸宽带拨号客户端", "", "连接"}) {
    EXPECT_EQ(WithDialErrorHint(line, 691), line);
  }
  // A system text in Latin letters gets a blank before the hint; a Chinese one whose last trail
  // byte looks like a Latin letter does not.
  EXPECT_EQ(WithDialErrorHint(std::string(kErrorLine) + "Access denied.", 691),
            std::string(kErrorLine) + "Access denied. " + DialErrorHint(691));
  EXPECT_EQ(WithDialErrorHint(std::string(kErrorLine) + "\x81\x41", 691),
            std::string(kErrorLine) + "\x81\x41" + DialErrorHint(691));
  EXPECT_EQ(WithDialErrorHint(kErrorLine, 678), std::string(kErrorLine) + DialErrorHint(678));
}

}  // namespace
