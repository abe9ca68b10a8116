#include "aes_cipher.h"

#include <openssl/evp.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "base/string_utils.h"

namespace lumoapi {
namespace {

constexpr size_t kBlockSize = 16;

std::atomic<CipherStep> g_failing_step{CipherStep::kNone};

bool Fails(CipherStep step) { return g_failing_step.load(std::memory_order_relaxed) == step; }

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

}  // namespace

void SetCipherFailureForTesting(CipherStep step) { g_failing_step.store(step); }

std::vector<unsigned char> EncryptAes128Cbc(const std::string& key, const std::string& iv,
                                            const std::string& plain) {
  std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> ctx(
      Fails(CipherStep::kOpenEngine) ? nullptr : EVP_CIPHER_CTX_new());
  if (!ctx) throw std::runtime_error("Create encription engine failed");

  if (Fails(CipherStep::kLoadKey) || key.size() != kBlockSize || iv.size() != kBlockSize ||
      EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                         reinterpret_cast<const unsigned char*>(key.data()),
                         reinterpret_cast<const unsigned char*>(iv.data())) != 1) {
    throw std::runtime_error("Import aes 128bit key failed");
  }

  // PKCS#5 always pads: the output is longer than the input by 1 to 16 bytes.
  std::vector<unsigned char> buffer((plain.size() / kBlockSize + 1) * kBlockSize);
  int written = 0;
  int final_written = 0;
  if (Fails(CipherStep::kEncrypt) ||
      EVP_EncryptUpdate(ctx.get(), buffer.data(), &written,
                        reinterpret_cast<const unsigned char*>(plain.data()),
                        static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), buffer.data() + written, &final_written) != 1 ||
      static_cast<size_t>(written + final_written) != buffer.size()) {
    throw std::runtime_error("encrypt string failed");
  }
  return buffer;
}

std::string Base64Text(const std::vector<unsigned char>& bytes) {
  // OpenSSL's block encoder writes the same text as the URI library's to_base64, several times
  // faster; it appends a NUL, for which the buffer leaves room.
  std::string text((bytes.size() + 2) / 3 * 4 + 1, '\0');
  const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                      static_cast<int>(bytes.size()));
  text.resize(static_cast<size_t>(written));
  return text;
}

std::wstring EncryptAes128CbcBase64(const std::string& key, const std::string& iv,
                                    const std::wstring& text) {
  return base::string_utils::ToUtf16(
      Base64Text(EncryptAes128Cbc(key, iv, base::string_utils::Utf16ToUtf8(text))));
}

}  // namespace lumoapi
