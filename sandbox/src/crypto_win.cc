// The primitives on Windows' own providers: CNG for the digests and the cipher, CryptoAPI's
// string conversions for Base64.
#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <wincrypt.h>

#include "crypto_backend.h"

namespace lumo::sandbox::backend {
namespace {

constexpr size_t kBlockBytes = 16;

bool Succeeded(NTSTATUS status) { return status >= 0; }

PUCHAR Bytes(std::string_view text) {
  return reinterpret_cast<PUCHAR>(const_cast<char*>(text.data()));
}

// An open algorithm provider, closed on destruction; null when it could not be opened.
class Provider {
 public:
  Provider(const wchar_t* algorithm, ULONG flags) {
    if (!Succeeded(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, flags))) {
      handle_ = nullptr;
    }
  }
  ~Provider() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// A digest of `bytes`, keyed (HMAC) when `hmac`; empty when the system fails.
std::string Digest(const wchar_t* algorithm, bool hmac, std::string_view key,
                   std::string_view bytes) {
  const Provider provider(algorithm, hmac ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0);
  DWORD size = 0;
  ULONG written = 0;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!provider.get() ||
      !Succeeded(BCryptGetProperty(provider.get(), BCRYPT_HASH_LENGTH,
                                   reinterpret_cast<PUCHAR>(&size), sizeof(size), &written, 0)) ||
      !Succeeded(BCryptCreateHash(provider.get(), &hash, nullptr, 0, Bytes(key),
                                  static_cast<ULONG>(key.size()), 0))) {
    return std::string();
  }
  std::string digest(size, '\0');
  if (!Succeeded(BCryptHashData(hash, Bytes(bytes), static_cast<ULONG>(bytes.size()), 0)) ||
      !Succeeded(BCryptFinishHash(hash, Bytes(digest), size, 0))) {
    digest.clear();
  }
  BCryptDestroyHash(hash);
  return digest;
}

// Encrypts with PKCS#5 padding added, or decrypts without removing it.
std::optional<std::string> AesCbc(bool encrypt, std::string_view key, std::string_view iv,
                                  std::string_view input) {
  const Provider aes(BCRYPT_AES_ALGORITHM, 0);
  wchar_t mode[] = BCRYPT_CHAIN_MODE_CBC;
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!aes.get() ||
      !Succeeded(BCryptSetProperty(aes.get(), BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode),
                                   sizeof(mode), 0)) ||
      !Succeeded(BCryptGenerateSymmetricKey(aes.get(), &handle, nullptr, 0, Bytes(key),
                                            static_cast<ULONG>(key.size()), 0))) {
    return std::nullopt;
  }
  std::string chain(iv);        // the calls leave the last block here
  const std::string in(input);  // never a null pointer, also when empty
  std::string out(in.size() + kBlockBytes, '\0');
  ULONG written = 0;
  const NTSTATUS status =
      encrypt ? BCryptEncrypt(handle, Bytes(in), static_cast<ULONG>(in.size()), nullptr,
                              Bytes(chain), static_cast<ULONG>(chain.size()), Bytes(out),
                              static_cast<ULONG>(out.size()), &written, BCRYPT_BLOCK_PADDING)
              : BCryptDecrypt(handle, Bytes(in), static_cast<ULONG>(in.size()), nullptr,
                              Bytes(chain), static_cast<ULONG>(chain.size()), Bytes(out),
                              static_cast<ULONG>(out.size()), &written, 0);
  BCryptDestroyKey(handle);
  if (!Succeeded(status)) return std::nullopt;
  out.resize(written);
  return out;
}

}  // namespace

std::string Md5(std::string_view bytes) { return Digest(BCRYPT_MD5_ALGORITHM, false, {}, bytes); }

std::string HmacSha256(std::string_view key, std::string_view bytes) {
  return Digest(BCRYPT_SHA256_ALGORITHM, true, key, bytes);
}

std::optional<std::string> DecodeBase64(std::string_view text) {
  DWORD size = static_cast<DWORD>(text.size());
  std::string out(size, '\0');
  if (!CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                            reinterpret_cast<BYTE*>(out.data()), &size, nullptr, nullptr)) {
    return std::nullopt;
  }
  out.resize(size);
  return out;
}

std::string EncodeBase64(std::string_view bytes) {
  if (bytes.empty()) return std::string();
  const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
  const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  DWORD size = 0;  // first the length with the terminating null, then without
  if (!CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, nullptr, &size)) {
    return std::string();
  }
  std::string out(size, '\0');
  if (!CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, out.data(), &size)) {
    return std::string();
  }
  out.resize(size);
  return out;
}

std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view input) {
  std::optional<std::string> plain = AesCbc(false, key, iv, input);
  // Every byte of the padding is checked, as OpenSSL does on the other systems.
  if (!plain || plain->empty()) return std::nullopt;
  const auto padding = static_cast<unsigned char>(plain->back());
  if (padding == 0 || padding > kBlockBytes || padding > plain->size()) return std::nullopt;
  for (size_t i = plain->size() - padding; i < plain->size(); ++i) {
    if (static_cast<unsigned char>((*plain)[i]) != padding) return std::nullopt;
  }
  plain->resize(plain->size() - padding);
  return plain;
}

std::optional<std::string> AesCbcEncrypt(std::string_view key, std::string_view iv,
                                         std::string_view input) {
  return AesCbc(true, key, iv, input);
}

}  // namespace lumo::sandbox::backend
