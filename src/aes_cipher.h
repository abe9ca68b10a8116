// The one cipher routine behind both encryption classes: AES-128-CBC with PKCS#5 padding over
// the UTF-8 bytes of a text, written as Base64.
#ifndef LUMOAPI_AES_CIPHER_H_
#define LUMOAPI_AES_CIPHER_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"

namespace lumoapi {

// Encrypts `plain` with the 16-byte `key` and `iv` and returns the whole padded buffer. Throws as
// EncryptAes128CbcBase64 does.
LUMOAPI_EXPORT_PRIVATE std::vector<unsigned char> EncryptAes128Cbc(const std::string& key,
                                                                   const std::string& iv,
                                                                   const std::string& plain);

// The Base64 text of `bytes`: standard alphabet, "=" padding, no line breaks.
LUMOAPI_EXPORT_PRIVATE std::string Base64Text(const std::vector<unsigned char>& bytes);

// Encrypts the UTF-8 bytes of `text` with the 16-byte `key` and `iv` and returns the Base64 text of
// the whole padded buffer. Throws std::runtime_error with "Create encription engine failed",
// "Import aes 128bit key failed" or "encrypt string failed" for the step that fails.
LUMOAPI_EXPORT_PRIVATE std::wstring EncryptAes128CbcBase64(const std::string& key,
                                                           const std::string& iv,
                                                           const std::wstring& text);

}  // namespace lumoapi

#endif  // LUMOAPI_AES_CIPHER_H_
