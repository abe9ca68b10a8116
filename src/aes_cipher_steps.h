// The three steps of the cipher routine, each behind one function, over the platform's cipher
// engine: OpenSSL's EVP interface on Linux (aes_cipher_steps_openssl.cc), CryptoAPI with the
// enhanced AES provider on Windows (aes_cipher_steps_win.cc).
//
// The shipped library links aes_cipher_steps.cc, which runs the platform's steps as they are. The
// static library the tests link takes testing/failing_cipher_steps.cc instead: the same steps, any
// one of which a test can make fail, so that the routine's failure ways are tested without a hook
// in the shipped code.
#ifndef LUMOAPI_AES_CIPHER_STEPS_H_
#define LUMOAPI_AES_CIPHER_STEPS_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace lumoapi::cipher {

// One encryption's state in the platform's engine; defined with the platform's steps.
struct Engine;
struct EngineRelease {
  void operator()(Engine* engine) const;
};
using Context = std::unique_ptr<Engine, EngineRelease>;

inline constexpr size_t kBlockSize = 16;

// A fresh cipher engine, or null.
Context OpenEngine();
// Sets up AES-128-CBC with PKCS#5 padding, the 16-byte `key` and `iv`; false when that fails.
bool LoadKey(Engine* engine, const std::string& key, const std::string& iv);
// Encrypts `plain` with PKCS#5 padding into `buffer`, which holds exactly the padded length;
// false when that fails.
bool Encrypt(Engine* engine, const std::string& plain, std::vector<unsigned char>& buffer);

// The platform's steps themselves, for both definitions above.
namespace platform {

Context OpenEngine();
bool LoadKey(Engine* engine, const std::string& key, const std::string& iv);
bool Encrypt(Engine* engine, const std::string& plain, std::vector<unsigned char>& buffer);

}  // namespace platform
}  // namespace lumoapi::cipher

#endif  // LUMOAPI_AES_CIPHER_STEPS_H_
