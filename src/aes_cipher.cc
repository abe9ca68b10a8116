#include "aes_cipher.h"

#include <cstdint>
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
  // Written here rather than taken from the cipher library: the Base64 text is the same on every
  // platform whichever cipher runs below, and a loop over a buffer sized once is as fast as that
  // library's block encoder (the URI library's to_base64 is several times slower).
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text((bytes.size() + 2) / 3 * 4, '=');
  char* out = text.data();
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 0x3F];
    *out++ = kAlphabet[(group >> 6) & 0x3F];
    *out++ = kAlphabet[group & 0x3F];
  }
  // One or two bytes left: two or three characters, and "=" for the rest of the group.
  const size_t left = bytes.size() - i;
  if (left > 0) {
    const uint32_t group = uint32_t{bytes[i]} << 16 | (left == 2 ? uint32_t{bytes[i + 1]} << 8 : 0);
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 0x3F];
    if (left == 2) *out = kAlphabet[(group >> 6) & 0x3F];
  }
  return text;
}

std::wstring EncryptAes128CbcBase64(const std::string& key, const std::string& iv,
                                    const std::wstring& text) {
  return base::string_utils::ToUtf16(
      Base64Text(EncryptAes128Cbc(key, iv, base::string_utils::Utf16ToUtf8(text))));
}

}  // namespace lumoapi
