// The service's ciphers and digests: the building blocks below the address forms of
// sandbox/address_form.h, on the system's cryptography (crypto_backend.h). They share no code
// with the client.
#ifndef SANDBOX_SRC_CRYPTO_H_
#define SANDBOX_SRC_CRYPTO_H_

#include <optional>
#include <string>
#include <string_view>

#include "sandbox/address_form.h"

namespace lumo::sandbox {

// Lower-case hexadecimal HMAC-SHA256.
std::string HmacSha256Hex(std::string_view key, std::string_view bytes);

// Standard alphabet with padding; nothing for a text that is not canonical Base64.
std::optional<std::string> Base64Decode(std::string_view text);
std::string Base64Encode(std::string_view bytes);

// AES-128-CBC with PKCS#5 padding. REQUIRES: key and iv are 16 bytes. Nothing when the
// ciphertext is not a whole number of blocks or the padding is wrong.
std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view ciphertext);
std::string AesCbcEncrypt(std::string_view key, std::string_view iv, std::string_view plaintext);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_CRYPTO_H_
