#include "client/store/DesCipher.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string EncryptWith(const std::string& key, const std::string& plain) {
  CDesCipher cipher;
  cipher.SetKey(key.c_str());
  cipher.Encrypt(plain.data(), plain.size());
  return cipher.GetEncrypted();
}

std::string DecryptWith(const std::string& key, const std::string& text) {
  CDesCipher cipher;
  cipher.SetKey(key.c_str());
  cipher.Decrypt(text.c_str());
  return std::string(cipher.GetDecrypted(), cipher.GetDecryptedLength());
}

struct KnownAnswer {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Published single-block vectors: the classic worked example, the FIPS 81 ECB sample, and the
// NIST SP 800-17 variable-plaintext, variable-key and substitution-table tests.
const KnownAnswer kKnownAnswers[] = {
    {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"0101010101010101", "2000000000000000", "2E8653104F3834EA"},
    {"0101010101010101", "1000000000000000", "4BD388FF6CD81D4F"},
    {"0101010101010101", "0800000000000000", "20B9E767B2FB1456"},
    {"0101010101010101", "0400000000000000", "55579380D77138EF"},
    {"0101010101010101", "0200000000000000", "6CC5DEFAAF04512F"},
    {"0101010101010101", "0100000000000000", "0D9F279BA5D87260"},
    {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"2001010101010101", "0000000000000000", "7AD16FFB79C45926"},
    {"1001010101010101", "0000000000000000", "D3746294CA6A6CF3"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
    {"07A1133E4A0B2686", "0248D43806F67172", "868EBB51CAB4599A"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "7359B2163E4EDC58"},
    {"1111111111111111", "1111111111111111", "F40379AB9E0EC533"},
    {"0123456789ABCDEF", "1111111111111111", "17668DFC7292532D"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "ED39D950FA74BCC4"},
};

TEST(DesCipherTest, KnownAnswersEncipherAndDecipher) {
  for (const KnownAnswer& v : kKnownAnswers) {
    SCOPED_TRACE(std::string("key ") + v.key + " plain " + v.plain);
    std::string key = FromHex(v.key);
    EXPECT_EQ(EncryptWith(key, FromHex(v.plain)), Lower(v.cipher));
    EXPECT_EQ(DecryptWith(key, v.cipher), FromHex(v.plain));
    EXPECT_EQ(DecryptWith(key, Lower(v.cipher)), FromHex(v.plain));
  }
}

TEST(DesCipherTest, KeyBytesMissingFromAShortTextCountAsZero) {
  // The all-zero key is the empty key text; 3000000000000000 is the text "0".
  EXPECT_EQ(EncryptWith("", std::string(8, '\0')), "8ca64de9c1b123a7");
  EXPECT_EQ(EncryptWith("0", FromHex("1000000000000001")), "958e6e627a05557b");
  CDesCipher nullKey;
  nullKey.SetKey(nullptr);
  nullKey.Encrypt(std::string(8, '\0').data(), 8);
  EXPECT_STREQ(nullKey.GetEncrypted(), "8ca64de9c1b123a7");
}

TEST(DesCipherTest, OnlyTheFirstEightKeyBytesCount) {
  EXPECT_EQ(EncryptWith(kPasswordKey, "secret"), EncryptWith("quartos ", "secret"));
  EXPECT_NE(EncryptWith(kPasswordKey, "secret"), EncryptWith("quartos_", "secret"));
  EXPECT_STREQ(kPasswordKey, "quartos mesh key 70916");
}

TEST(DesCipherTest, BlocksAreEncipheredIndependently) {
  std::string key = FromHex("0123456789ABCDEF");
  EXPECT_EQ(EncryptWith(key, "Now is the time for all "), "3fa40e8a984d48156a271787ab8883f9893d51ec4b563b53");
  std::string twice = EncryptWith(kPasswordKey, "abcdefghabcdefgh");
  EXPECT_EQ(twice.substr(0, 16), twice.substr(16));
  EXPECT_EQ(EncryptWith(kPasswordKey, "password"), EncryptWith(kPasswordKey, "password"));
}

TEST(DesCipherTest, ShortBlocksArePaddedWithZeroCharacters) {
  struct Case {
    std::string plain;
    size_t digits;
  };
  const Case cases[] = {{"", 16},
                        {"a", 16},
                        {"abcdefg", 16},
                        {"abcdefgh", 16},
                        {"abcdefghi", 32},
                        {"abcdefghijklmnop", 32},
                        {"abcdefghijklmnopq", 48}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plain);
    std::string out = EncryptWith(kPasswordKey, c.plain);
    EXPECT_EQ(out.size(), c.digits);
    EXPECT_EQ(out.find_first_not_of("0123456789abcdef"), std::string::npos);
    std::string padded = c.plain + std::string((c.digits / 2) - c.plain.size(), '0');
    EXPECT_EQ(EncryptWith(kPasswordKey, padded), out);
    EXPECT_EQ(DecryptWith(kPasswordKey, out), padded);
  }
  EXPECT_EQ(EncryptWith(kPasswordKey, "abcdefg"), EncryptWith(kPasswordKey, "abcdefg0"));
  CDesCipher nullPlain;
  nullPlain.SetKey(kPasswordKey);
  nullPlain.Encrypt(nullptr);
  EXPECT_EQ(std::string(nullPlain.GetEncrypted()), EncryptWith(kPasswordKey, "00000000"));
}

TEST(DesCipherTest, BytesIncludingNulAndGb2312RoundTrip) {
  const std::string plain("a\0b\xff\x80中文密码", 4 + std::strlen("中文密码") + 1);
  std::string out = EncryptWith(kPasswordKey, plain);
  std::string back = DecryptWith(kPasswordKey, out);
  ASSERT_EQ(back.size() % 8, 0u);
  EXPECT_EQ(back.substr(0, plain.size()), plain);
  EXPECT_EQ(back.substr(plain.size()), std::string(back.size() - plain.size(), '0'));
}

TEST(DesCipherTest, LengthRuleGivesTheMessage) {
  const std::string message = "待解密字符长度必须为16的倍数！";
  EXPECT_EQ(std::string(CDesCipher::kLengthMessage), message);
  for (size_t length : {0, 1, 15, 17, 31, 33, 8200}) {
    SCOPED_TRACE(length);
    EXPECT_EQ(DecryptWith(kPasswordKey, std::string(length, 'a')), message);
  }
  CDesCipher nullText;
  nullText.Decrypt(nullptr);
  EXPECT_EQ(std::string(nullText.GetDecrypted()), message);
}

TEST(DesCipherTest, MixedCaseDigitsDecipherAlike) {
  std::string out = EncryptWith(kPasswordKey, "MiXeD123");
  std::string upper = out;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(DecryptWith(kPasswordKey, upper), "MiXeD123");
  upper[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(upper[0])));
  EXPECT_EQ(DecryptWith(kPasswordKey, upper), "MiXeD123");
}

TEST(DesCipherTest, NonHexadecimalTextIsRefusedWhole) {
  std::string good = EncryptWith(kPasswordKey, "abcdefghijklmnop");
  const char* bad[] = {"g", " ", "-", "\xb0", "x"};
  for (const char* b : bad) {
    for (size_t where : {size_t(0), size_t(15), size_t(31)}) {
      std::string text = good;
      text[where] = b[0];
      SCOPED_TRACE(text);
      CDesCipher cipher;
      cipher.SetKey(kPasswordKey);
      cipher.Decrypt(text.c_str());
      EXPECT_STREQ(cipher.GetDecrypted(), "");
      EXPECT_EQ(cipher.GetDecryptedLength(), 0u);
    }
  }
}

TEST(DesCipherTest, OverlongInputsAreRefusedWithoutOverflow) {
  CDesCipher cipher;
  cipher.SetKey(kPasswordKey);

  std::string largest(CDesCipher::kMaxPlainBytes, 'z');
  cipher.Encrypt(largest.c_str());
  std::string out = cipher.GetEncrypted();
  ASSERT_EQ(out.size(), CDesCipher::kMaxCipherChars);
  cipher.Decrypt(out.c_str());
  EXPECT_EQ(cipher.GetDecryptedLength(), CDesCipher::kMaxPlainBytes);
  EXPECT_EQ(std::string(cipher.GetDecrypted()), largest);

  std::string tooLong(CDesCipher::kMaxPlainBytes + 1, 'z');
  cipher.Encrypt(tooLong.c_str());
  EXPECT_STREQ(cipher.GetEncrypted(), "");
  cipher.Encrypt(tooLong.data(), 100000);
  EXPECT_STREQ(cipher.GetEncrypted(), "");

  std::string tooMuchCipher = out + out.substr(0, 16);
  cipher.Decrypt(tooMuchCipher.c_str());
  EXPECT_STREQ(cipher.GetDecrypted(), "");
  EXPECT_EQ(cipher.GetDecryptedLength(), 0u);
}

TEST(DesCipherTest, ResultsStartEmptyAndReflectOnlyTheLastOperation) {
  CDesCipher cipher;
  EXPECT_STREQ(cipher.GetEncrypted(), "");
  EXPECT_STREQ(cipher.GetDecrypted(), "");
  cipher.SetKey(kPasswordKey);
  cipher.Encrypt("first text that is long");
  cipher.Encrypt("short");
  EXPECT_EQ(std::strlen(cipher.GetEncrypted()), 16u);
  cipher.Decrypt(EncryptWith(kPasswordKey, "first text that is long").c_str());
  cipher.Decrypt(cipher.GetEncrypted());
  EXPECT_STREQ(cipher.GetDecrypted(), "short000");
}

}  // namespace
