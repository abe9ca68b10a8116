#include "crypto.h"

#include <cassert>
#include <cctype>

#include "crypto_backend.h"
#include "query.h"

namespace lumo::sandbox {
namespace {

// Secrets shared with the client.
constexpr std::string_view kSigningSalt = "velmar_quint_hush";
constexpr std::string_view kKeyDerivationSalt = "qorvel_amber_tune_signer_key";
constexpr std::string_view kLyricsKeyText = "4817305926148350";
constexpr std::string_view kLyricsIv = "7390261548103726";

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0x0F]);
  }
  return out;
}

}  // namespace

std::string Md5Hex(std::string_view bytes) { return Hex(backend::Md5(bytes)); }

namespace {

// The last 16 digits of the UPPER-case MD5 of the fixed key text.
std::string LyricsKey() {
  std::string digest = Md5Hex(kLyricsKeyText);
  for (char& c : digest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return digest.substr(16);
}

}  // namespace

std::string HmacSha256Hex(std::string_view key, std::string_view bytes) {
  return Hex(backend::HmacSha256(key, bytes));
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
  return backend::DecodeBase64(text);
}

std::string Base64Encode(std::string_view bytes) { return backend::EncodeBase64(bytes); }

std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view ciphertext) {
  assert(key.size() == 16 && iv.size() == 16);
  if (ciphertext.empty() || ciphertext.size() % 16 != 0) return std::nullopt;
  return backend::AesCbcDecrypt(key, iv, ciphertext);
}

std::string AesCbcEncrypt(std::string_view key, std::string_view iv, std::string_view plaintext) {
  assert(key.size() == 16 && iv.size() == 16);
  return backend::AesCbcEncrypt(key, iv, plaintext).value_or(std::string());
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
