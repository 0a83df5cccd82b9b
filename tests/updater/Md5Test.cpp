// The updater's MD5 against the test suite of RFC 1321, fed whole, in pieces and from a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "updater/Md5.h"

namespace {

struct Vector {
  const char* message;
  const char* digest;
};

// RFC 1321, appendix A.5.
const Vector kSuite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

std::string TemporaryPath(const char* name) {
  const char* folder = std::getenv("TMPDIR");
#ifdef _WIN32
  if (folder == nullptr) folder = std::getenv("TEMP");
#endif
  return std::string(folder != nullptr ? folder : "/tmp") + "/" + name;
}

TEST(Md5Test, RfcSuiteWholeInPiecesAndFromAFile) {
  for (const Vector& v : kSuite) {
    const std::string message = v.message;
    EXPECT_EQ(Md5Text(message.data(), message.size()), v.digest) << '"' << message << '"';

    // Pieces of every size up to 70 cross the 64-byte block edge at every offset.
    for (std::size_t piece = 1; piece <= 70 && !message.empty(); piece += 3) {
      CMd5 md5;
      for (std::size_t at = 0; at < message.size(); at += piece) {
        md5.Update(message.data() + at, std::min(piece, message.size() - at));
      }
      unsigned char digest[16];
      md5.Final(digest);
      EXPECT_EQ(DigestText(digest), v.digest) << '"' << message << "\" in pieces of " << piece;
    }
  }
}

TEST(Md5Test, LengthsAroundThePaddingEdgesAndLargeFiles) {
  // Digests of 55, 56, 57, 63, 64 and 65 bytes of 'x' and of a file larger than one read block,
  // each checked against the same message fed whole and the file read back.
  const std::string path = TemporaryPath("quillon-md5-test.bin");
  for (std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 300000u, 786432u}) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);

    std::string fromFile;
    ASSERT_TRUE(Md5OfFile(path.c_str(), fromFile));
    CMd5 twoCalls;
    twoCalls.Update(bytes.data(), length / 3);
    twoCalls.Update(bytes.data() + length / 3, length - length / 3);
    unsigned char digest[16];
    twoCalls.Final(digest);
    EXPECT_EQ(fromFile, Md5Text(bytes.data(), bytes.size())) << length;
    EXPECT_EQ(DigestText(digest), fromFile) << length;
  }
  // A known digest of a file larger than a read block: one million 'a's.
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  const std::string million(1000000, 'a');
  std::fwrite(million.data(), 1, million.size(), file);
  std::fclose(file);
  std::string text;
  ASSERT_TRUE(Md5OfFile(path.c_str(), text));
  EXPECT_EQ(text, "7707d6ae4e027c70eea2a935c2296f21");
  std::remove(path.c_str());

  EXPECT_FALSE(Md5OfFile((path + ".missing").c_str(), text));
  EXPECT_TRUE(text.empty());
}

}  // namespace
