// The MD5 message digest (RFC 1321), with which the updater checks every downloaded file.
// Portable: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CMd5 {
 public:
  CMd5();

  // Starts a new message.
  void Reset();
  // Adds size bytes of the message (null is fine when size is 0).
  void Update(const void* data, std::size_t size);
  // Ends the message and writes its 16-byte digest. Call Reset before the next message.
  void Final(unsigned char digest[16]);

 private:
  void Transform(const unsigned char* blocks, std::size_t count);

  std::uint32_t m_state[4];
  std::uint64_t m_length;  // bytes so far
  unsigned char m_buffer[64];
  std::size_t m_buffered;
};

// A digest as 32 lowercase hexadecimal digits.
std::string DigestText(const unsigned char digest[16]);
// The digest of a byte string, as 32 lowercase hexadecimal digits.
std::string Md5Text(const void* data, std::size_t size);
// The digest of a whole file read in binary, as 32 lowercase hexadecimal digits. The file is read
// in large blocks, so that a big download is checked at the speed of the disk. False (text empty)
// when the file cannot be opened or read to its end.
bool Md5OfFile(const char* path, std::string& text);
