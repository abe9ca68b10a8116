#include "aes_cipher_steps.h"

namespace lumoapi::cipher {

Context OpenEngine() { return openssl::OpenEngine(); }

bool LoadKey(EVP_CIPHER_CTX* ctx, const std::string& key, const std::string& iv) {
  return openssl::LoadKey(ctx, key, iv);
}

bool Encrypt(EVP_CIPHER_CTX* ctx, const std::string& plain, std::vector<unsigned char>& buffer) {
  return openssl::Encrypt(ctx, plain, buffer);
}

}  // namespace lumoapi::cipher
