#include "common/TextCopy.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(CopyText, TruncatesTerminatesAndNeverWritesPastTheBuffer) {
  struct Case {
    const char* src;
    size_t size;
    const char* expected;
    bool fits;
  } const cases[] = {
      {"abc", 8, "abc", true},
      {"abcdefg", 8, "abcdefg", true},
      {"abcdefgh", 8, "abcdefg", false},
      {"abcdefghij", 4, "abc", false},
      {"", 1, "", true},
      {"a", 1, "", false},
      {nullptr, 8, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.src ? c.src : "(null)");
    char buffer[16];
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(CopyText(buffer, c.size, c.src), c.fits);
    EXPECT_STREQ(buffer, c.expected);
    EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer";
  }
  char untouched = '#';
  EXPECT_FALSE(CopyText(&untouched, 0, "a"));
  EXPECT_EQ(untouched, '#');
}

// A field filled by the system need not be terminated: the copy reads no further than the room.
TEST(CopyText, ReadsAnUnterminatedSourceNoFurtherThanTheRoom) {
  const char field[4] = {'a', 'b', 'c', 'd'};
  char buffer[4];
  EXPECT_FALSE(CopyText(buffer, field));
  EXPECT_STREQ(buffer, "abc");
}

}  // namespace
