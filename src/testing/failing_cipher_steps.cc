// The cipher steps of the static testing library: OpenSSL's, unless a test made one fail.
#include <atomic>

#include "aes_cipher_steps.h"
#include "testing/cipher_failure.h"

namespace lumoapi {
namespace {

std::atomic<testing::CipherStep> failing_step{testing::CipherStep::kNone};

bool Fails(testing::CipherStep step) { return failing_step.load() == step; }

}  // namespace

void testing::SetCipherFailure(CipherStep step) { failing_step.store(step); }

namespace cipher {

Context OpenEngine() {
  return Fails(testing::CipherStep::kOpenEngine) ? nullptr : openssl::OpenEngine();
}

bool LoadKey(EVP_CIPHER_CTX* ctx, const std::string& key, const std::string& iv) {
  return !Fails(testing::CipherStep::kLoadKey) && openssl::LoadKey(ctx, key, iv);
}

bool Encrypt(EVP_CIPHER_CTX* ctx, const std::string& plain, std::vector<unsigned char>& buffer) {
  return !Fails(testing::CipherStep::kEncrypt) && openssl::Encrypt(ctx, plain, buffer);
}

}  // namespace cipher
}  // namespace lumoapi
