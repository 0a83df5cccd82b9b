// CDesCipher: the cipher that keeps remembered passwords out of "config.xml" in clear.
//
// DES in electronic codebook mode: every 8-byte block is enciphered on its own under the same key.
// A plain text whose length is not a multiple of 8 (the empty text included) is padded with the
// character '0' (0x30) to whole blocks. Cipher text is two lower-case hexadecimal digits per byte,
// 16 digits per block, no separators.
//
// A caller creates one object per operation, sets the key, performs one operation and copies the
// result before the object goes away. Results live in fixed buffers inside the object.
#pragma once

#include <cstddef>
#include <cstdint>

// The key text of the remembered passwords; only its first eight bytes form the DES key.
extern const char kPasswordKey[];

class CDesCipher {
 public:
  // The largest plain text Encrypt takes, and so the longest cipher text it produces.
  static constexpr size_t kMaxPlainBytes = 4096;
  static constexpr size_t kMaxCipherChars = kMaxPlainBytes * 2;

  // The text Decrypt gives instead of a plain text when the cipher text's length is not a
  // positive multiple of 16.
  static const char kLengthMessage[];

  // Round keys of the all-zero key; both results empty.
  CDesCipher();
  // Overwrites the round keys and both results: a deciphered password does not outlive the object.
  ~CDesCipher();
  CDesCipher(const CDesCipher&) = delete;
  CDesCipher& operator=(const CDesCipher&) = delete;

  // Builds the round keys from the first eight bytes of key; a shorter key (or null) counts the
  // missing bytes as 0.
  void SetKey(const char* key);

  // Enciphers a NUL-terminated text (null counts as the empty text).
  void Encrypt(const char* plain);
  // Enciphers length bytes, which may include NUL bytes (null data counts as no bytes).
  // More than kMaxPlainBytes bytes are refused: the cipher text is then empty, a result no
  // accepted input ever gives (the empty text enciphers to 16 digits).
  void Encrypt(const char* data, size_t length);
  // The cipher text of the last Encrypt; empty before the first and after a refusal.
  const char* GetEncrypted() const { return m_encrypted; }

  // Deciphers hexadecimal text; either case of "a" to "f" is accepted. Results:
  // - length not a positive multiple of 16 (null counts as empty): kLengthMessage;
  // - longer than kMaxCipherChars, or any character that is not a hexadecimal digit: refused,
  //   the result is the empty text (no block of it is deciphered);
  // - otherwise the deciphered bytes, padding included, followed by a NUL.
  void Decrypt(const char* cipher);
  // The plain text (or kLengthMessage, or empty) of the last Decrypt; empty before the first.
  const char* GetDecrypted() const { return m_decrypted; }
  // The number of bytes GetDecrypted holds: plain texts may contain NUL bytes.
  size_t GetDecryptedLength() const { return m_decryptedLength; }

 private:
  uint64_t CryptBlock(uint64_t block, bool decrypt) const;

  uint64_t m_roundKeys[16];
  char m_encrypted[kMaxCipherChars + 1];
  char m_decrypted[kMaxPlainBytes + 1];
  size_t m_decryptedLength = 0;
};
