#include "address.h"

#include <cpprest/asyncrt_utils.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "file_digest.h"

namespace lumo::cli {
namespace {

// Secrets shared with the service.
constexpr char kParamKeySalt[] = "qorvel_amber_tune_signer_key";
constexpr char kFixedKeyText[] = "4817305926148350";
constexpr char kFixedIv[] = "7390261548103726";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// AES-128-CBC with PKCS#5 padding over Base64 text; empty when anything does not fit.
std::string DecryptBase64(const std::string& base64, const std::string& key,
                          const std::string& iv) {
  std::vector<unsigned char> cipher;
  try {
    cipher = utility::conversions::from_base64(base64);
  } catch (const std::exception&) {
    return std::string();
  }
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                          EVP_CIPHER_CTX_free);
  std::string plain(cipher.size() + 16, '\0');
  int written = 0;
  int last = 0;
  auto* out = reinterpret_cast<unsigned char*>(plain.data());
  if (cipher.empty() ||
      EVP_DecryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr,
                         reinterpret_cast<const unsigned char*>(key.data()),
                         reinterpret_cast<const unsigned char*>(iv.data())) != 1 ||
      EVP_DecryptUpdate(context.get(), out, &written, cipher.data(),
                        static_cast<int>(cipher.size())) != 1 ||
      EVP_DecryptFinal_ex(context.get(), out + written, &last) != 1) {
    return std::string();
  }
  plain.resize(static_cast<size_t>(written + last));
  return plain;
}

const std::string* Find(const QueryPairs& pairs, const std::string& name) {
  for (const auto& [key, value] : pairs) {
    if (key == name) return &value;
  }
  return nullptr;
}

}  // namespace

QueryPairs SplitQuery(const std::string& url) {
  QueryPairs pairs;
  const size_t start = url.find('?');
  if (start == std::string::npos) return pairs;
  const std::string query = url.substr(start + 1);
  size_t begin = 0;
  while (begin < query.size()) {
    size_t end = std::min(query.find('&', begin), query.size());
    const std::string pair = query.substr(begin, end - begin);
    const size_t equals = pair.find('=');
    if (!pair.empty()) {
      pairs.emplace_back(
          PercentDecode(pair.substr(0, equals)),
          equals == std::string::npos ? std::string() : PercentDecode(pair.substr(equals + 1)));
    }
    begin = end + 1;
  }
  return pairs;
}

std::optional<InnerText> DecryptInnerText(const std::string& url) {
  const QueryPairs pairs = SplitQuery(url);
  const std::string* param = Find(pairs, "param");
  const std::string* timestamp = Find(pairs, "timestamp");
  if (param && timestamp) {
    const std::string key = Md5Hex(kParamKeySalt + *timestamp).substr(8, 16);
    return InnerText{"param", DecryptBase64(*param, key, key)};
  }
  if (const std::string* e = Find(pairs, "e")) {
    std::string key = Md5Hex(kFixedKeyText).substr(16);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return InnerText{"e", DecryptBase64(*e, key, kFixedIv)};
  }
  return std::nullopt;
}

}  // namespace lumo::cli
