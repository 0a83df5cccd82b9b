#include "client/core/ToolbarResource.h"

#include <cstdint>
#include <cstring>

namespace {

// Resources are little-endian whatever the host.
unsigned Read16(const unsigned char* p) {
  return static_cast<unsigned>(p[0] | (p[1] << 8));
}

unsigned Read32(const unsigned char* p) {
  return static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8) |
         (static_cast<unsigned>(p[2]) << 16) | (static_cast<unsigned>(p[3]) << 24);
}

bool Parse16(const unsigned char* p, std::size_t size, ToolbarResource& out) {
  if (size < 8 || Read16(p) != 1) return false;
  const std::size_t count = Read16(p + 6);
  if (count == 0 || size < 8 + 2 * count) return false;
  out.width = Read16(p + 2);
  out.height = Read16(p + 4);
  for (std::size_t i = 0; i < count; ++i) out.commands.push_back(Read16(p + 8 + 2 * i));
  return true;
}

bool Parse32(const unsigned char* p, std::size_t size, ToolbarResource& out) {
  if (size < 12) return false;
  const std::size_t count = Read32(p + 8);
  if (count == 0 || count > (size - 12) / 4) return false;
  out.width = Read32(p);
  out.height = Read32(p + 4);
  if (out.width == 0 || out.height == 0 || out.width > 0xFFFF || out.height > 0xFFFF) return false;
  for (std::size_t i = 0; i < count; ++i) out.commands.push_back(Read32(p + 12 + 4 * i));
  return true;
}

}  // namespace

bool ParseToolbarResource(const void* data, std::size_t size, ToolbarResource& out) {
  out = ToolbarResource();
  if (data == nullptr) return false;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  if (Parse16(p, size, out)) return true;
  out = ToolbarResource();
  if (Parse32(p, size, out)) return true;
  out = ToolbarResource();
  return false;
}
