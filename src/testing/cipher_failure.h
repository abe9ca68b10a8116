// The cipher steps of the static testing library, which a test can make fail (see
// aes_cipher_steps.h). Not in the shipped library.
#ifndef LUMOAPI_TESTING_CIPHER_FAILURE_H_
#define LUMOAPI_TESTING_CIPHER_FAILURE_H_

namespace lumoapi::testing {

// The step of the cipher routine that fails; each has its own message.
enum class CipherStep { kNone, kOpenEngine, kLoadKey, kEncrypt };

// Makes `step` fail in every later call (kNone: none). Any thread.
void SetCipherFailure(CipherStep step);

}  // namespace lumoapi::testing

#endif  // LUMOAPI_TESTING_CIPHER_FAILURE_H_
