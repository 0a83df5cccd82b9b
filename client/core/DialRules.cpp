#include "client/core/DialRules.h"

#include <memory>

#include "client/store/DesCipher.h"

namespace {

constexpr size_t kBlockSize = 8;
constexpr size_t kHexPerBlock = 16;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

const char* LoginRefusalText(LoginRefusal refusal) {
  switch (refusal) {
    case LoginRefusal::kEmptyUser:
      return "请输入用户名！";
    case LoginRefusal::kUserTooLong:
      return "用户名长度不能超过20位,请正确输入用户名！";
    case LoginRefusal::kEmptyPassword:
      return "请输入密码！";
    case LoginRefusal::kPasswordTooLong:
      return "密码太长,密码长度不能大于16位";
    case LoginRefusal::kNone:
      break;
  }
  return "";
}

LoginRefusal CheckLoginInput(const std::string& user, const std::string& password) {
  if (user.empty()) return LoginRefusal::kEmptyUser;
  if (user.size() > kMaxUserNameLength) return LoginRefusal::kUserTooLong;
  if (password.empty()) return LoginRefusal::kEmptyPassword;
  return LoginRefusal::kNone;
}

ConnectPlan PlanConnect(const std::string& user, const std::string& passwordText, bool remember,
                        const std::vector<std::string>& names, const std::vector<std::string>& storedTexts) {
  ConnectPlan plan;
  plan.refusal = CheckLoginInput(user, passwordText);
  if (plan.refusal != LoginRefusal::kNone) return plan;

  bool stored = false;
  for (size_t i = 0; i < names.size() && i < storedTexts.size() && !stored; ++i) {
    stored = names[i] == user && storedTexts[i] == passwordText;
  }
  if (stored) {
    std::string clear = passwordText;
    DialPasswordFromStored(passwordText, &clear);
    plan.dialPassword = CSecret(clear);
    WipeString(clear);
    plan.textToStore = passwordText;
  } else {
    if (passwordText.size() > kMaxTypedPasswordLength) {
      plan.refusal = LoginRefusal::kPasswordTooLong;
      return plan;
    }
    plan.dialPassword = CSecret(passwordText);
    plan.textToStore = MakeStoredPasswordText(passwordText);
  }
  if (!remember) plan.textToStore.clear();
  return plan;
}

std::string MakeStoredPasswordText(const std::string& password) {
  std::unique_ptr<CDesCipher> cipher(new CDesCipher());
  cipher->SetKey(kPasswordKey);
  if (!password.empty() && password.back() == '0') {
    // The cipher's own padding is "0" as well, so a password ending in "0" could not be told from
    // its padding; NUL bytes can never be typed and mark the padding beyond doubt.
    std::string padded = password;
    padded.append(kBlockSize - password.size() % kBlockSize, '\0');
    cipher->Encrypt(padded.data(), padded.size());
    WipeString(padded);
  } else {
    cipher->Encrypt(password.c_str());
  }
  return cipher->GetEncrypted();
}

bool DialPasswordFromStored(const std::string& storedText, std::string* password) {
  if (storedText.empty() || storedText.size() % kHexPerBlock != 0) return false;
  for (char c : storedText) {
    if (!IsHexDigit(c)) return false;
  }
  std::unique_ptr<CDesCipher> cipher(new CDesCipher());
  cipher->SetKey(kPasswordKey);
  cipher->Decrypt(storedText.c_str());
  std::string plain(cipher->GetDecrypted(), cipher->GetDecryptedLength());
  if (plain.size() != storedText.size() / 2) return false;

  size_t end = plain.size();
  if (end > 0 && plain[end - 1] == '\0') {
    while (end > 0 && plain[end - 1] == '\0') --end;
  } else {
    const size_t lastBlock = end - kBlockSize;
    while (end > lastBlock + 1 && plain[end - 1] == '0') --end;
  }
  password->assign(plain.data(), end);
  WipeString(plain);
  return true;
}
