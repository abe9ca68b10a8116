// The three OpenSSL steps of the cipher routine, each behind one function.
//
// The shipped library links aes_cipher_steps.cc, which runs them as they are. The static library
// the tests link takes testing/failing_cipher_steps.cc instead: the same steps, any one of which a
// test can make fail, so that the routine's failure ways are tested without a hook in the shipped
// code.
#ifndef LUMOAPI_AES_CIPHER_STEPS_H_
#define LUMOAPI_AES_CIPHER_STEPS_H_

#include <openssl/evp.h>

#include <memory>
#include <string>
#include <vector>

namespace lumoapi::cipher {

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

inline constexpr size_t kBlockSize = 16;

// A fresh cipher context, or null.
Context OpenEngine();
// Sets up AES-128-CBC with the 16-byte `key` and `iv`; false when that fails.
bool LoadKey(EVP_CIPHER_CTX* ctx, const std::string& key, const std::string& iv);
// Encrypts `plain` with PKCS#5 padding into `buffer`, which holds exactly the padded length;
// false when that fails.
bool Encrypt(EVP_CIPHER_CTX* ctx, const std::string& plain, std::vector<unsigned char>& buffer);

// The steps themselves, for both definitions above.
namespace openssl {

inline Context OpenEngine() { return Context(EVP_CIPHER_CTX_new()); }

inline bool LoadKey(EVP_CIPHER_CTX* ctx, const std::string& key, const std::string& iv) {
  return key.size() == kBlockSize && iv.size() == kBlockSize &&
         EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr,
                            reinterpret_cast<const unsigned char*>(key.data()),
                            reinterpret_cast<const unsigned char*>(iv.data())) == 1;
}

inline bool Encrypt(EVP_CIPHER_CTX* ctx, const std::string& plain,
                    std::vector<unsigned char>& buffer) {
  int written = 0;
  int final_written = 0;
  return EVP_EncryptUpdate(ctx, buffer.data(), &written,
                           reinterpret_cast<const unsigned char*>(plain.data()),
                           static_cast<int>(plain.size())) == 1 &&
         EVP_EncryptFinal_ex(ctx, buffer.data() + written, &final_written) == 1 &&
         static_cast<size_t>(written) + static_cast<size_t>(final_written) == buffer.size();
}

}  // namespace openssl
}  // namespace lumoapi::cipher

#endif  // LUMOAPI_AES_CIPHER_STEPS_H_
