// Encryption of single texts for the service: AES-128-CBC with a fixed key and IV, PKCS#5
// padding, Base64, then percent-encoded so that the result can stand as a query value.
#ifndef LUMOAPI_ENCRYPTION_H_
#define LUMOAPI_ENCRYPTION_H_

#include <string>

#include "lumoapi/export.h"

namespace lumoapi::encryption {

// Created on the first Instance() call and kept until the library is unloaded. EncryptText may run
// on several threads at once; the first Instance() call must not race with another.
class LUMOAPI_EXPORT LumoAPIEncryption {
 public:
  static LumoAPIEncryption& Instance();  // The one shared instance; any thread.

  LumoAPIEncryption();
  LumoAPIEncryption(const LumoAPIEncryption&) = delete;
  LumoAPIEncryption& operator=(const LumoAPIEncryption&) = delete;

  // The URL-encoded Base64 text of the encrypted UTF-8 bytes of `text` ("+", "/" and "=" escaped),
  // or an empty text on failure (which is logged).
  std::wstring EncryptText(std::wstring text) const;

 private:
  std::string key;  // 16 bytes
  std::string iv;   // 16 bytes
};

}  // namespace lumoapi::encryption

#endif  // LUMOAPI_ENCRYPTION_H_
