#include "crypto.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cassert>
#include <cctype>
#include <memory>

#include "query.h"

namespace lumo::sandbox {
namespace {

// Secrets shared with the client.
constexpr std::string_view kSigningSalt = "velmar_quint_hush";
constexpr std::string_view kKeyDerivationSalt = "qorvel_amber_tune_signer_key";
constexpr std::string_view kLyricsKeyText = "4817305926148350";
constexpr std::string_view kLyricsIv = "7390261548103726";

std::string Hex(const unsigned char* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return out;
}

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

std::string Md5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
  return Hex(digest, size);
}

namespace {

// The last 16 digits of the UPPER-case MD5 of the fixed key text.
std::string LyricsKey() {
  std::string digest = Md5Hex(kLyricsKeyText);
  for (char& c : digest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return digest.substr(16);
}

}  // namespace

std::string HmacSha256Hex(std::string_view key, std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), Bytes(bytes), bytes.size(), digest,
       &size);
  return Hex(digest, size);
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return std::nullopt;
  size_t padding = 0;
  if (text.back() == '=') ++padding;
  if (text.size() >= 2 && text[text.size() - 2] == '=') ++padding;
  for (size_t i = 0; i < text.size() - padding; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!std::isalnum(c) && c != '+' && c != '/') return std::nullopt;
  }
  std::string out(text.size() / 4 * 3, '\0');
  int size = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()), Bytes(text),
                             static_cast<int>(text.size()));
  if (size < 0) return std::nullopt;
  out.resize(static_cast<size_t>(size) - padding);
  return out;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out((bytes.size() + 2) / 3 * 4 + 1, '\0');
  int size = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), Bytes(bytes),
                             static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(size));
  return out;
}

std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view ciphertext) {
  assert(key.size() == 16 && iv.size() == 16);
  if (ciphertext.empty() || ciphertext.size() % 16 != 0) return std::nullopt;
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context ||
      EVP_DecryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, Bytes(key), Bytes(iv)) != 1) {
    return std::nullopt;
  }
  std::string out(ciphertext.size() + 16, '\0');
  int written = 0;
  int final_written = 0;
  auto* buffer = reinterpret_cast<unsigned char*>(out.data());
  if (EVP_DecryptUpdate(context.get(), buffer, &written, Bytes(ciphertext),
                        static_cast<int>(ciphertext.size())) != 1 ||
      EVP_DecryptFinal_ex(context.get(), buffer + written, &final_written) != 1) {
    return std::nullopt;
  }
  out.resize(static_cast<size_t>(written) + static_cast<size_t>(final_written));
  return out;
}

std::string AesCbcEncrypt(std::string_view key, std::string_view iv, std::string_view plaintext) {
  assert(key.size() == 16 && iv.size() == 16);
  CipherContext context(EVP_CIPHER_CTX_new());
  std::string out(plaintext.size() + 16, '\0');
  int written = 0;
  int final_written = 0;
  auto* buffer = reinterpret_cast<unsigned char*>(out.data());
  if (!context ||
      EVP_EncryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, Bytes(key), Bytes(iv)) != 1 ||
      EVP_EncryptUpdate(context.get(), buffer, &written, Bytes(plaintext),
                        static_cast<int>(plaintext.size())) != 1 ||
      EVP_EncryptFinal_ex(context.get(), buffer + written, &final_written) != 1) {
    return std::string();
  }
  out.resize(static_cast<size_t>(written) + static_cast<size_t>(final_written));
  return out;
}

std::string ParamKeyFor(std::string_view timestamp) {
  std::string input(kKeyDerivationSalt);
  input.append(timestamp);
  return Md5Hex(input).substr(8, 16);
}

std::string ParamSignature(std::string_view param_base64, std::string_view timestamp) {
  std::string input(kSigningSalt);
  input.append(param_base64);
  input.append(timestamp);
  return Md5Hex(input);
}

std::optional<std::string> DecryptParam(std::string_view param_base64, std::string_view timestamp) {
  std::optional<std::string> ciphertext = Base64Decode(param_base64);
  if (!ciphertext) return std::nullopt;
  std::string key = ParamKeyFor(timestamp);
  return AesCbcDecrypt(key, key, *ciphertext);
}

std::string EncryptParam(std::string_view inner_text, std::string_view timestamp) {
  std::string key = ParamKeyFor(timestamp);
  return Base64Encode(AesCbcEncrypt(key, key, inner_text));
}

std::string EncryptLyricsValue(std::string_view plain) {
  return Base64Encode(AesCbcEncrypt(LyricsKey(), kLyricsIv, plain));
}

std::optional<std::string> DecryptLyricsValue(std::string_view base64) {
  std::optional<std::string> ciphertext = Base64Decode(base64);
  if (!ciphertext) return std::nullopt;
  return AesCbcDecrypt(LyricsKey(), kLyricsIv, *ciphertext);
}

std::optional<EncryptedPart> DecryptEncryptedPart(const Pairs& pairs) {
  const std::string* param = FindPair(pairs, "param");
  const std::string* timestamp = FindPair(pairs, "timestamp");
  if (param && timestamp) return EncryptedPart{"param", DecryptParam(*param, *timestamp)};
  if (const std::string* e = FindPair(pairs, "e")) {
    return EncryptedPart{"e", DecryptLyricsValue(*e)};
  }
  return std::nullopt;
}

}  // namespace lumo::sandbox
