// The signature of the update list: the provider signs "UpdateList.ini" with RSA (PKCS #1 v1.5
// over SHA-256) and serves the signature beside it as "UpdateList.ini.sig", the bytes as openssl
// writes them. A program built with the provider's public key refuses a list whose signature is
// missing or does not verify. Verified with the system's CryptoAPI.
#pragma once

#include <string>

// The object path of the signature of the list at listObject: the list's path with ".sig" added
// (before a query, when the path has one).
std::string SignatureObject(const std::string& listObject);

// The public key that this program carries (a PUBLICKEYBLOB resource), or empty when it was built
// without one.
std::string CarriedListKey();

// True when signature is a valid signature of data under keyBlob (a CryptoAPI PUBLICKEYBLOB of an
// RSA key). signature is in the byte order openssl writes, most significant byte first. False for
// a key that cannot be imported or a signature of the wrong length, as for a wrong signature.
bool VerifyListSignature(const std::string& keyBlob, const std::string& data, const std::string& signature);
