#include "client/core/ToolbarResource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<unsigned char> Words16(std::initializer_list<unsigned> values) {
  std::vector<unsigned char> bytes;
  for (unsigned v : values) {
    bytes.push_back(static_cast<unsigned char>(v & 0xFF));
    bytes.push_back(static_cast<unsigned char>(v >> 8));
  }
  return bytes;
}

std::vector<unsigned char> Words32(std::initializer_list<unsigned> values) {
  std::vector<unsigned char> bytes;
  for (unsigned v : values) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
  }
  return bytes;
}

TEST(ToolbarResource, ReadsBothLayouts) {
  const std::vector<unsigned> expected = {32781, 32782, 0, 32783, 32773};
  const std::vector<std::vector<unsigned char>> layouts = {
      Words16({1, 48, 48, 5, 32781, 32782, 0, 32783, 32773}),
      Words32({48, 48, 5, 32781, 32782, 0, 32783, 32773}),
  };
  for (const auto& data : layouts) {
    ToolbarResource toolbar;
    ASSERT_TRUE(ParseToolbarResource(data.data(), data.size(), toolbar));
    EXPECT_EQ(toolbar.width, 48u);
    EXPECT_EQ(toolbar.height, 48u);
    EXPECT_EQ(toolbar.commands, expected);
  }
}

TEST(ToolbarResource, RefusesDataThatDoesNotHoldWhatItDeclares) {
  const std::vector<std::vector<unsigned char>> broken = {
      {},
      Words16({1, 48}),
      Words16({1, 48, 48, 3, 32781}),
      Words16({1, 48, 48, 0}),
      Words32({48, 48, 3, 32781}),
      Words32({48, 48, 0x40000000u, 1}),
      Words32({0, 48, 1, 32781}),
      Words32({48, 48, 0}),
  };
  for (const auto& data : broken) {
    ToolbarResource toolbar;
    toolbar.commands = {1};
    EXPECT_FALSE(ParseToolbarResource(data.data(), data.size(), toolbar)) << "size " << data.size();
    EXPECT_TRUE(toolbar.commands.empty());
  }
  ToolbarResource toolbar;
  EXPECT_FALSE(ParseToolbarResource(nullptr, 16, toolbar));
}

}  // namespace
