#include "client/core/DialRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/store/DesCipher.h"

namespace {

// The stored text exactly as the cipher makes it, with its own "0" padding.
std::string CipherText(const std::string& plain) {
  CDesCipher cipher;
  cipher.SetKey(kPasswordKey);
  cipher.Encrypt(plain.data(), plain.size());
  return cipher.GetEncrypted();
}

std::string Deciphered(const std::string& text) {
  CDesCipher cipher;
  cipher.SetKey(kPasswordKey);
  cipher.Decrypt(text.c_str());
  return std::string(cipher.GetDecrypted(), cipher.GetDecryptedLength());
}

TEST(LoginChecks, RefusalsComeInOrderWithTheirTexts) {
  struct Case {
    std::string user;
    std::string password;
    LoginRefusal refusal;
  };
  const Case cases[] = {
      {"", "", LoginRefusal::kEmptyUser},
      {"", "secret", LoginRefusal::kEmptyUser},
      {std::string(20, 'u'), "", LoginRefusal::kUserTooLong},
      {std::string(25, 'u'), "secret", LoginRefusal::kUserTooLong},
      {std::string(19, 'u'), "", LoginRefusal::kEmptyPassword},
      {std::string(19, 'u'), "secret", LoginRefusal::kNone},
      {"demo", std::string(40, 'p'), LoginRefusal::kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckLoginInput(c.user, c.password), c.refusal) << c.user.size() << "/" << c.password.size();
  }
  EXPECT_STREQ(LoginRefusalText(LoginRefusal::kEmptyUser), "请输入用户名！");
  EXPECT_STREQ(LoginRefusalText(LoginRefusal::kUserTooLong), "用户名长度不能超过20位,请正确输入用户名！");
  EXPECT_STREQ(LoginRefusalText(LoginRefusal::kEmptyPassword), "请输入密码！");
  EXPECT_STREQ(LoginRefusalText(LoginRefusal::kPasswordTooLong), "密码太长,密码长度不能大于16位");
  EXPECT_STREQ(LoginRefusalText(LoginRefusal::kNone), "");
}

TEST(LoginChecks, AChineseUserNameCountsItsBytes) {
  // Ten GB2312 characters are 20 bytes: too long, as the system counts bytes.
  const std::string tenCharacters = "远岸宽带拨号客户端用户";
  EXPECT_EQ(CheckLoginInput(tenCharacters, "x"), LoginRefusal::kUserTooLong);
}

TEST(ConnectPlanning, TypedPasswordsUpToSixteenBytesAreEncipheredForStorage) {
  const std::vector<std::string> none;
  ConnectPlan plan = PlanConnect("demo", "demo1234", true, none, none);
  EXPECT_EQ(plan.refusal, LoginRefusal::kNone);
  EXPECT_EQ(plan.dialPassword, "demo1234");
  EXPECT_EQ(plan.textToStore, CipherText("demo1234"));

  plan = PlanConnect("demo", std::string(16, 'p'), true, none, none);
  EXPECT_EQ(plan.refusal, LoginRefusal::kNone);
  EXPECT_EQ(plan.textToStore.size(), 32u);

  plan = PlanConnect("demo", std::string(17, 'p'), true, none, none);
  EXPECT_EQ(plan.refusal, LoginRefusal::kPasswordTooLong);
}

TEST(ConnectPlanning, RememberOffStoresNothingButStillDialsTheTypedPassword) {
  const std::vector<std::string> none;
  const ConnectPlan plan = PlanConnect("demo", "demo1234", false, none, none);
  EXPECT_EQ(plan.refusal, LoginRefusal::kNone);
  EXPECT_EQ(plan.dialPassword, "demo1234");
  EXPECT_EQ(plan.textToStore, "");
}

TEST(ConnectPlanning, AStoredTextOfTheSameUserDialsItsClearPasswordAtAnyLength) {
  const std::string stored = MakeStoredPasswordText("abc120");  // 16 digits: not a typed length issue
  const std::string longStored = MakeStoredPasswordText(std::string(16, 'q'));
  const std::vector<std::string> names = {"other", "demo", "long"};
  const std::vector<std::string> texts = {CipherText("zzz"), stored, longStored};

  ConnectPlan plan = PlanConnect("demo", stored, true, names, texts);
  EXPECT_EQ(plan.refusal, LoginRefusal::kNone);
  EXPECT_EQ(plan.dialPassword, "abc120");
  EXPECT_EQ(plan.textToStore, stored);

  // 32 characters are accepted because they match a saved pair.
  plan = PlanConnect("long", longStored, true, names, texts);
  EXPECT_EQ(plan.refusal, LoginRefusal::kNone);
  EXPECT_EQ(plan.dialPassword, std::string(16, 'q'));

  // The same text under another user name is a typed password, and 32 characters are too long.
  plan = PlanConnect("other", longStored, true, names, texts);
  EXPECT_EQ(plan.refusal, LoginRefusal::kPasswordTooLong);

  // Remember off: the stored text still dials its password, and nothing is kept.
  plan = PlanConnect("demo", stored, false, names, texts);
  EXPECT_EQ(plan.dialPassword, "abc120");
  EXPECT_EQ(plan.textToStore, "");
}

TEST(ConnectPlanning, AStoredTextThatDoesNotDecipherIsDialledAsItStands) {
  const std::vector<std::string> names = {"demo"};
  const std::vector<std::string> texts = {"secret"};
  const ConnectPlan plan = PlanConnect("demo", "secret", true, names, texts);
  EXPECT_EQ(plan.refusal, LoginRefusal::kNone);
  EXPECT_EQ(plan.dialPassword, "secret");
  EXPECT_EQ(plan.textToStore, "secret");
}

TEST(StoredPasswords, EveryTypedPasswordComesBackExactly) {
  const char* const passwords[] = {
      "a",         "abc",
      "demo1234",  "ab0",
      "pass10",    "1234567",
      "12345670",  "0",
      "00000000",  "x0000000",
      "abcdefgh0", "abcdefgh00000000",
      "ends in0",  "9876543210",
      "p@ss w0rd", "abcdefghijklmnop",
      "0000",      "a0b0c0d0e0f0g0h0",
  };
  for (const char* password : passwords) {
    const std::string stored = MakeStoredPasswordText(password);
    ASSERT_FALSE(stored.empty()) << password;
    EXPECT_EQ(stored.size() % 16, 0u) << password;
    std::string clear;
    ASSERT_TRUE(DialPasswordFromStored(stored, &clear)) << password;
    EXPECT_EQ(clear, password);
  }
}

TEST(StoredPasswords, PasswordsNotEndingInZeroKeepTheirOldStoredText) {
  for (const char* password : {"a", "demo", "demo1234", "abcdefghi", "abc0x", "abcdefghijklmnop"}) {
    EXPECT_EQ(MakeStoredPasswordText(password), CipherText(password)) << password;
  }
}

TEST(StoredPasswords, PasswordsEndingInZeroArePaddedWithNulBytes) {
  struct Case {
    const char* password;
    size_t blocks;
  };
  for (const Case& c : {Case{"ab0", 1}, Case{"1234567", 1}, Case{"12345670", 2}, Case{"abcdefgh0", 2}}) {
    const std::string stored = MakeStoredPasswordText(c.password);
    const std::string password = c.password;
    ASSERT_EQ(stored.size(), c.blocks * 16) << c.password;
    const std::string plain = Deciphered(stored);
    if (password.back() != '0') {
      EXPECT_EQ(stored, CipherText(password));
      continue;
    }
    ASSERT_EQ(plain.size(), c.blocks * 8);
    EXPECT_EQ(plain.substr(0, password.size()), password);
    EXPECT_EQ(plain.substr(password.size()), std::string(plain.size() - password.size(), '\0'));
    // A client reading the text as a C string sees the password itself.
    EXPECT_STREQ(plain.c_str(), c.password);
  }
}

TEST(StoredPasswords, TextsStoredWithZeroPaddingLoseOnlyTheirPadding) {
  struct Case {
    const char* password;
    const char* dialled;
  };
  // Written by earlier clients, which padded every password with "0": a genuine trailing "0"
  // cannot be told from the padding, anything else comes back as typed.
  const Case cases[] = {
      {"abc", "abc"}, {"demo1234", "demo1234"}, {"abcdefgh1", "abcdefgh1"},        {"x", "x"},
      {"ab0", "ab"},  {"12345678", "12345678"}, {"abcdefgh00000000", "abcdefgh0"},
  };
  for (const Case& c : cases) {
    std::string clear;
    ASSERT_TRUE(DialPasswordFromStored(CipherText(c.password), &clear)) << c.password;
    EXPECT_EQ(clear, c.dialled) << c.password;
  }
}

TEST(StoredPasswords, TextsThatAreNoCipherTextAreRefused) {
  for (const char* text :
       {"", "0123456789abcde", "0123456789abcdef0", "0123456789abcdeg", "zzzzzzzzzzzzzzzz"}) {
    std::string clear = "unchanged";
    EXPECT_FALSE(DialPasswordFromStored(text, &clear)) << text;
    EXPECT_EQ(clear, "unchanged");
  }
  // Upper-case digits are a cipher text all the same.
  std::string upper = CipherText("demo");
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
  std::string clear;
  EXPECT_TRUE(DialPasswordFromStored(upper, &clear));
  EXPECT_EQ(clear, "demo");
}

}  // namespace
