// The cipher's steps on Linux, through OpenSSL's EVP interface.
#include <openssl/evp.h>

#include "aes_cipher_steps.h"

namespace lumoapi {
namespace cipher {

struct Engine {
  EVP_CIPHER_CTX* ctx = nullptr;
};

void EngineRelease::operator()(Engine* engine) const {
  EVP_CIPHER_CTX_free(engine->ctx);
  delete engine;
}

namespace platform {

Context OpenEngine() {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  if (ctx == nullptr) return nullptr;
  return Context(new Engine{ctx});
}

bool LoadKey(Engine* engine, const std::string& key, const std::string& iv) {
  // PKCS#5 padding is EVP's default.
  return key.size() == kBlockSize && iv.size() == kBlockSize &&
         EVP_EncryptInit_ex(engine->ctx, EVP_aes_128_cbc(), nullptr,
                            reinterpret_cast<const unsigned char*>(key.data()),
                            reinterpret_cast<const unsigned char*>(iv.data())) == 1;
}

bool Encrypt(Engine* engine, const std::string& plain, std::vector<unsigned char>& buffer) {
  int written = 0;
  int final_written = 0;
  return EVP_EncryptUpdate(engine->ctx, buffer.data(), &written,
                           reinterpret_cast<const unsigned char*>(plain.data()),
                           static_cast<int>(plain.size())) == 1 &&
         EVP_EncryptFinal_ex(engine->ctx, buffer.data() + written, &final_written) == 1 &&
         static_cast<size_t>(written) + static_cast<size_t>(final_written) == buffer.size();
}

}  // namespace platform
}  // namespace cipher
}  // namespace lumoapi
