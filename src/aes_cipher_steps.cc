#include "aes_cipher_steps.h"

namespace lumoapi::cipher {

Context OpenEngine() { return platform::OpenEngine(); }

bool LoadKey(Engine* engine, const std::string& key, const std::string& iv) {
  return platform::LoadKey(engine, key, iv);
}

bool Encrypt(Engine* engine, const std::string& plain, std::vector<unsigned char>& buffer) {
  return platform::Encrypt(engine, plain, buffer);
}

}  // namespace lumoapi::cipher
