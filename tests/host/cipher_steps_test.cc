// The platform's cipher steps (OpenSSL's on Linux, CryptoAPI's on Windows) against literal
// ciphertexts: one table for both, so the two engines are held to the same bytes. The keys of the
// two encryption classes are derived here as the library derives them, through the host's MD5.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aes_cipher_steps.h"
#include "base/os_utils.h"
#include "base/string_utils.h"

namespace {

namespace cipher = lumoapi::cipher;
using base::string_utils::ToUtf8;

std::string Bytes(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::string Hex(const std::vector<unsigned char>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

// Runs the three steps as the cipher routine does, with its buffer of the padded length.
std::vector<unsigned char> Encrypt(const std::string& key, const std::string& iv,
                                   const std::string& plain) {
  const cipher::Context engine = cipher::OpenEngine();
  EXPECT_TRUE(engine);
  if (!engine) return {};
  EXPECT_TRUE(cipher::LoadKey(engine.get(), key, iv));
  std::vector<unsigned char> buffer((plain.size() / cipher::kBlockSize + 1) * cipher::kBlockSize);
  EXPECT_TRUE(cipher::Encrypt(engine.get(), plain, buffer));
  return buffer;
}

TEST(CipherStepsTest, EncryptToTheLiteralBytes) {
  // The text encryption's key: the last 16 digits of the upper-case MD5 of its key text, and its
  // IV text as it is. The parameter encryption's: 16 digits from the ninth of the lower-case MD5
  // of its salt and the timestamp, the same bytes as the IV.
  const std::string text_key =
      ToUtf8(base::os_utils::GetStringMD5(L"4817305926148350", true).substr(16));
  const std::string text_iv = "7390261548103726";
  const std::string param_key = ToUtf8(
      base::os_utils::GetStringMD5(L"qorvel_amber_tune_signer_key1700000000", false).substr(8, 16));
  ASSERT_EQ(text_key, "50FCB721E92C372B");
  ASSERT_EQ(param_key, "b4e5fffa22a2d371");

  struct Case {
    const char* name;
    std::string key;
    std::string iv;
    std::string plain;
    std::string cipher_hex;
  };
  const Case cases[] = {
      // NIST SP 800-38A F.2.1 (CBC-AES128.Encrypt), and the block of padding PKCS#5 adds.
      {"published vector", Bytes("2b7e151628aed2a6abf7158809cf4f3c"),
       Bytes("000102030405060708090a0b0c0d0e0f"),
       Bytes("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
             "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710"),
       "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
       "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"
       "8cb82807230e1321d3fae00d18cc2012"},
      {"empty text: one block of padding", text_key, text_iv, "",
       "90d9812d8c6f3fb0e44b49b5fe72c6db"},
      {"16 bytes: a whole block of padding", text_key, text_iv, "0123456789abcdef",
       "7d3229c01ab6ddbea8f9ef456b1b10b406f09a0c13b4fc0dae3ee48b457e4cc4"},
      {"two Chinese characters: 6 bytes, one block", text_key, text_iv, "\xe5\x91\xa8\xe6\x9d\xb0",
       "857b985d1c3eade4570b18ebf9139f71"},
      {"parameter text, key and IV the same", param_key, param_key,
       "format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1",
       "ea43195544cde42c9cf54ba4ccc60ae0c084a63e3b65d887e6830b3b798d14e3"
       "7f985c94b7c46a2e8e2fadf780cb86e6332fe0df0d2767f6e0e97097a98dd022"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(Encrypt(c.key, c.iv, c.plain)), c.cipher_hex);
  }
}

TEST(CipherStepsTest, RefusesAKeyOrIvOfAnotherLength) {
  const std::string sixteen(16, 'k');
  for (const auto& [key, iv] :
       {std::pair{std::string(15, 'k'), sixteen}, std::pair{sixteen, std::string(17, 'v')}}) {
    const cipher::Context engine = cipher::OpenEngine();
    ASSERT_TRUE(engine);
    EXPECT_FALSE(cipher::LoadKey(engine.get(), key, iv)) << key.size() << " " << iv.size();
  }
}

}  // namespace
