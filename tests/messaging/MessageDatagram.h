// Message datagrams as the provider's server lays them out, for the tests that send them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

// One 1312-byte message record: kind, title at 4, link flag at 28, web address at 32, content at
// 288, each text followed by NUL bytes to the end of its field. Texts longer than their field run
// into the next one, as a careless server's would.
inline std::string MessageDatagram(uint32_t kind, const std::string& title, uint32_t linkFlag,
                                   const std::string& url, const std::string& content) {
  std::string data(1312, '\0');
  auto put32 = [&](size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) data[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  auto put = [&](size_t offset, const std::string& text) {
    memcpy(&data[offset], text.data(),
           text.size() < data.size() - offset ? text.size() : data.size() - offset);
  };
  put32(0, kind);
  put(4, title);
  put32(28, linkFlag);
  put(32, url);
  put(288, content);
  return data;
}
