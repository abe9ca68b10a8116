// The ciphers and digests under the address forms against published test vectors (RFC 1321,
// RFC 4231, RFC 4648, NIST SP 800-38A), so that each system's cryptography is known to give the
// same bytes: OpenSSL on Linux, the system's own providers on Windows.
#include <gtest/gtest.h>

#include <string>

#include "crypto.h"

namespace lumo::sandbox {
namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

TEST(AddressFormCryptoTest, DigestsGiveThePublishedValues) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(HmacSha256Hex(std::string(20, '\x0b'), "Hi There"),
            "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
  EXPECT_EQ(HmacSha256Hex("Jefe", "what do ya want for nothing?"),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
}

TEST(AddressFormCryptoTest, Base64BothWaysAndOnlyTheCanonicalForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"f", "Zg=="},        {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  EXPECT_EQ(Base64Encode(""), "");
  for (const auto& [plain, encoded] : cases) {
    EXPECT_EQ(Base64Encode(plain), encoded);
    EXPECT_EQ(Base64Decode(encoded), std::string(plain)) << encoded;
  }
  for (const char* refused : {"", "Zg=", "Zg=a", "Z===", "Zm9v\n", "Zm 9", "Zm9v-_=="}) {
    EXPECT_EQ(Base64Decode(refused), std::nullopt) << refused;
  }
}

TEST(AddressFormCryptoTest, AesCbcGivesThePublishedBlocksAndChecksThePadding) {
  const std::string key = FromHex("2b7e151628aed2a6abf7158809cf4f3c");
  const std::string iv = FromHex("000102030405060708090a0b0c0d0e0f");
  const std::string plain =
      FromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
  const std::string blocks =
      FromHex("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2");

  const std::string encrypted = AesCbcEncrypt(key, iv, plain);
  ASSERT_EQ(encrypted.size(), 48u);  // a whole block of padding after the two
  EXPECT_EQ(encrypted.substr(0, 32), blocks);
  EXPECT_EQ(AesCbcDecrypt(key, iv, encrypted), plain);
  EXPECT_EQ(AesCbcDecrypt(key, iv, AesCbcEncrypt(key, iv, "")), std::string());

  // Without the padding block the text ends in 0x51, which no padding is; a part of a block is
  // no ciphertext.
  EXPECT_EQ(AesCbcDecrypt(key, iv, blocks), std::nullopt);
  EXPECT_EQ(AesCbcDecrypt(key, iv, encrypted.substr(0, 40)), std::nullopt);
  EXPECT_EQ(AesCbcDecrypt(key, iv, ""), std::nullopt);
}

}  // namespace
}  // namespace lumo::sandbox
