// The primitives below sandbox/src/crypto.h, from the system's cryptography: OpenSSL
// (crypto_openssl.cc), or on Windows the system's own providers (crypto_win.cc), where the sandbox
// itself is not built but the tests still read and write the address forms.
#ifndef SANDBOX_SRC_CRYPTO_BACKEND_H_
#define SANDBOX_SRC_CRYPTO_BACKEND_H_

#include <optional>
#include <string>
#include <string_view>

namespace lumo::sandbox::backend {

// The raw digests: 16 bytes of MD5, 32 of HMAC-SHA256.
std::string Md5(std::string_view bytes);
std::string HmacSha256(std::string_view key, std::string_view bytes);

// Base64 with the standard alphabet and padding. REQUIRES for DecodeBase64: `text` is canonical
// (a whole number of quads of the alphabet, padding only at the end), which crypto.cc checks.
std::optional<std::string> DecodeBase64(std::string_view text);
std::string EncodeBase64(std::string_view bytes);

// AES-128-CBC with PKCS#5 padding. REQUIRES: key and iv are 16 bytes; for decryption, `input` is
// a non-empty whole number of blocks. Nothing when the padding is wrong (or the system fails).
std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view input);
std::optional<std::string> AesCbcEncrypt(std::string_view key, std::string_view iv,
                                         std::string_view input);

}  // namespace lumo::sandbox::backend

#endif  // SANDBOX_SRC_CRYPTO_BACKEND_H_
