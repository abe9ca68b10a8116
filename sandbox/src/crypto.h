// The service's ciphers and digests, on OpenSSL. This is the service's own reading of the
// client's encryption; it shares no code with the client.
#ifndef SANDBOX_SRC_CRYPTO_H_
#define SANDBOX_SRC_CRYPTO_H_

#include <optional>
#include <string>
#include <string_view>

namespace lumo::sandbox {

// Lower-case hexadecimal MD5 of the bytes.
std::string Md5Hex(std::string_view bytes);
// Lower-case hexadecimal HMAC-SHA256.
std::string HmacSha256Hex(std::string_view key, std::string_view bytes);

// Standard alphabet with padding; nothing for a text that is not canonical Base64.
std::optional<std::string> Base64Decode(std::string_view text);
std::string Base64Encode(std::string_view bytes);

// AES-128-CBC with PKCS#5 padding. REQUIRES: key and iv are 16 bytes. Nothing when the
// ciphertext is not a whole number of blocks or the padding is wrong.
std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view ciphertext);

// The encrypted address form: the key (and IV) that belongs to a timestamp, and the signature
// over the Base64 "param" text and the timestamp.
std::string ParamKeyFor(std::string_view timestamp);
std::string ParamSignature(std::string_view param_base64, std::string_view timestamp);
// Decrypts a Base64 "param" with the key of `timestamp`.
std::optional<std::string> DecryptParam(std::string_view param_base64, std::string_view timestamp);

// The fixed-key cipher of the lyrics lookup's "e" value (after percent-decoding).
std::optional<std::string> DecryptLyricsValue(std::string_view base64);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_CRYPTO_H_
