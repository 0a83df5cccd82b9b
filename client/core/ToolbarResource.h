// Reading a toolbar resource: the bitmap size of its buttons and their commands (0 for a
// separator). Two layouts exist: 16-bit fields led by version 1 (version, width, height, count,
// commands), and 32-bit fields without a version (width, height, count, commands).
#pragma once

#include <cstddef>
#include <vector>

struct ToolbarResource {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<unsigned> commands;
};

// Fills out from the resource's bytes. False (out emptied) when the data is too short for the
// count it declares, has no buttons, or matches neither layout.
bool ParseToolbarResource(const void* data, std::size_t size, ToolbarResource& out);
