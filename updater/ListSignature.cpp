#include "updater/ListSignature.h"

#include <windows.h>

#include <wincrypt.h>

#include <algorithm>

#include "updater/Resource.h"

// SHA-256 is there from Windows XP SP3 on; the headers show it only to builds for later systems.
#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c
#endif

namespace {

struct Provider {
  HCRYPTPROV handle = 0;
  ~Provider() {
    if (handle != 0) CryptReleaseContext(handle, 0);
  }
};
struct Key {
  HCRYPTKEY handle = 0;
  ~Key() {
    if (handle != 0) CryptDestroyKey(handle);
  }
};
struct Hash {
  HCRYPTHASH handle = 0;
  ~Hash() {
    if (handle != 0) CryptDestroyHash(handle);
  }
};

}  // namespace

std::string SignatureObject(const std::string& listObject) {
  const std::size_t query = listObject.find('?');
  if (query == std::string::npos) return listObject + ".sig";
  return listObject.substr(0, query) + ".sig" + listObject.substr(query);
}

std::string CarriedListKey() {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_UPDATE_KEY), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (found == nullptr) return std::string();
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return std::string();
  return std::string(static_cast<const char*>(bytes), size);
}

bool VerifyListSignature(const std::string& keyBlob, const std::string& data, const std::string& signature) {
  if (keyBlob.empty() || signature.empty()) return false;
  // The default provider of the AES type: on Windows XP SP3 it has another name than later.
  Provider provider;
  if (!CryptAcquireContextA(&provider.handle, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
    return false;
  Key key;
  if (!CryptImportKey(provider.handle, reinterpret_cast<const BYTE*>(keyBlob.data()),
                      static_cast<DWORD>(keyBlob.size()), 0, 0, &key.handle)) {
    return false;
  }
  Hash hash;
  if (!CryptCreateHash(provider.handle, CALG_SHA_256, 0, 0, &hash.handle)) return false;
  if (!CryptHashData(hash.handle, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()),
                     0)) {
    return false;
  }
  // CryptoAPI takes the signature least significant byte first.
  std::string reversed(signature.rbegin(), signature.rend());
  return CryptVerifySignatureA(hash.handle, reinterpret_cast<const BYTE*>(reversed.data()),
                               static_cast<DWORD>(reversed.size()), key.handle, nullptr, 0) != FALSE;
}
