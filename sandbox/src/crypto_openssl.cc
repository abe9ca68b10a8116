#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <memory>

#include "crypto_backend.h"

namespace lumo::sandbox::backend {
namespace {

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

std::optional<std::string> AesCbc(bool encrypt, std::string_view key, std::string_view iv,
                                  std::string_view input) {
  CipherContext context(EVP_CIPHER_CTX_new());
  std::string out(input.size() + 16, '\0');
  int written = 0;
  int final_written = 0;
  auto* buffer = reinterpret_cast<unsigned char*>(out.data());
  if (!context ||
      EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, Bytes(key), Bytes(iv),
                        encrypt ? 1 : 0) != 1 ||
      EVP_CipherUpdate(context.get(), buffer, &written, Bytes(input),
                       static_cast<int>(input.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), buffer + written, &final_written) != 1) {
    return std::nullopt;
  }
  out.resize(static_cast<size_t>(written) + static_cast<size_t>(final_written));
  return out;
}

}  // namespace

std::string Md5(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
  return std::string(reinterpret_cast<const char*>(digest), size);
}

std::string HmacSha256(std::string_view key, std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), Bytes(bytes), bytes.size(), digest,
       &size);
  return std::string(reinterpret_cast<const char*>(digest), size);
}

std::optional<std::string> DecodeBase64(std::string_view text) {
  size_t padding = 0;
  if (!text.empty() && text.back() == '=') ++padding;
  if (text.size() >= 2 && text[text.size() - 2] == '=') ++padding;
  std::string out(text.size() / 4 * 3, '\0');
  // The block decoder counts the padding as zero bytes.
  const int size = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()), Bytes(text),
                                   static_cast<int>(text.size()));
  if (size < 0) return std::nullopt;
  out.resize(static_cast<size_t>(size) - padding);
  return out;
}

std::string EncodeBase64(std::string_view bytes) {
  std::string out((bytes.size() + 2) / 3 * 4 + 1, '\0');
  const int size = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), Bytes(bytes),
                                   static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(size));
  return out;
}

std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view input) {
  return AesCbc(false, key, iv, input);
}

std::optional<std::string> AesCbcEncrypt(std::string_view key, std::string_view iv,
                                         std::string_view input) {
  return AesCbc(true, key, iv, input);
}

}  // namespace lumo::sandbox::backend
