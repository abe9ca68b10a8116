// The cipher steps of the static testing library: the platform's, unless a test made one fail.
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
  return Fails(testing::CipherStep::kOpenEngine) ? nullptr : platform::OpenEngine();
}

bool LoadKey(Engine* engine, const std::string& key, const std::string& iv) {
  return !Fails(testing::CipherStep::kLoadKey) && platform::LoadKey(engine, key, iv);
}

bool Encrypt(Engine* engine, const std::string& plain, std::vector<unsigned char>& buffer) {
  return !Fails(testing::CipherStep::kEncrypt) && platform::Encrypt(engine, plain, buffer);
}

}  // namespace cipher
}  // namespace lumoapi
