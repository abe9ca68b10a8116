#include "aes_cipher.h"

#include <openssl/evp.h>

#include <stdexcept>
#include <vector>

#include "aes_cipher_steps.h"
#include "base/string_utils.h"

namespace lumoapi {

std::vector<unsigned char> EncryptAes128Cbc(const std::string& key, const std::string& iv,
                                            const std::string& plain) {
  const cipher::Context ctx = cipher::OpenEngine();
  if (!ctx) throw std::runtime_error("Create encription engine failed");
  if (!cipher::LoadKey(ctx.get(), key, iv))
    throw std::runtime_error("Import aes 128bit key failed");
  // PKCS#5 always pads: the output is longer than the input by 1 to 16 bytes.
  std::vector<unsigned char> buffer((plain.size() / cipher::kBlockSize + 1) * cipher::kBlockSize);
  if (!cipher::Encrypt(ctx.get(), plain, buffer)) throw std::runtime_error("encrypt string failed");
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
