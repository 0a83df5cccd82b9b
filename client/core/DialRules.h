// What the connect command decides before anything is dialled: the checks of the typed user name
// and password with their messages, the password that is dialled and the text that is stored for
// a remembered password. Portable: no Windows header.
#pragma once

#include <string>
#include <vector>

#include "common/Secret.h"

// Why a connect command is refused; kNone when it may go on.
enum class LoginRefusal { kNone, kEmptyUser, kUserTooLong, kEmptyPassword, kPasswordTooLong };

// The longest accepted user name and typed password, in bytes.
constexpr size_t kMaxUserNameLength = 19;
constexpr size_t kMaxTypedPasswordLength = 16;

// The message shown for a refusal (caption "提示", error icon); empty for kNone.
const char* LoginRefusalText(LoginRefusal refusal);

// The checks that need no saved users: empty user name, a user name of 20 or more bytes, empty
// password, in this order.
LoginRefusal CheckLoginInput(const std::string& user, const std::string& password);

// The outcome of a connect command that passed the checks.
struct ConnectPlan {
  LoginRefusal refusal = LoginRefusal::kNone;
  // The clear password handed to the dial.
  CSecret dialPassword;
  // What goes into "PASSWORD" of the saved user and the last user: the stored text of the
  // password when it is to be remembered, otherwise empty.
  std::string textToStore;
};

// Decides a connect command. passwordText is what the password box holds: either a typed
// password or the stored text of a remembered one. It is taken as a stored text when a saved
// user (names[i], storedTexts[i]; parallel lists) has exactly this user name and this text; the
// dial then uses its deciphered password (the text itself when it does not decipher, as with a
// password written into the file by hand) and the text is stored unchanged. Otherwise it is a
// typed password, refused when longer than 16 bytes. The refusal of CheckLoginInput comes first.
ConnectPlan PlanConnect(const std::string& user, const std::string& passwordText, bool remember,
                        const std::vector<std::string>& names, const std::vector<std::string>& storedTexts);

// The stored text of a typed password: its cipher text in lower-case hexadecimal. A password that
// ends in "0" is padded with NUL bytes to whole blocks (a whole block of NUL bytes when its
// length is a multiple of 8) before it is enciphered, so that deciphering gives it back exactly;
// every other password is enciphered with the cipher's own "0" padding, as stored texts always
// were. Empty for a password longer than the cipher takes.
std::string MakeStoredPasswordText(const std::string& password);

// The clear password of a stored text: the deciphered bytes without their padding, that is
// without trailing NUL bytes when there are any, and otherwise without the trailing "0"
// characters of the last block (at most 7, the cipher's own padding). False, with *password
// untouched, when the text is not a cipher text (empty, not a multiple of 16 characters, or not
// hexadecimal).
bool DialPasswordFromStored(const std::string& storedText, std::string* password);
