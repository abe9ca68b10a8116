// The cipher's steps on Windows, through CryptoAPI: the enhanced AES provider
// (or its prototype on systems that only have that one), a plain-text key blob, CBC with PKCS#5
// padding. Every encryption acquires its own provider context and key and releases both.
#include <windows.h>
// After windows.h, which it builds on.
#include <wincrypt.h>

#include <cstring>

#include "aes_cipher_steps.h"

namespace lumoapi {
namespace cipher {

struct Engine {
  HCRYPTPROV provider = 0;
  HCRYPTKEY key = 0;
};

void EngineRelease::operator()(Engine* engine) const {
  if (engine->key != 0) CryptDestroyKey(engine->key);
  CryptReleaseContext(engine->provider, 0);
  delete engine;
}

namespace platform {

Context OpenEngine() {
  for (const wchar_t* name : {MS_ENH_RSA_AES_PROV_W, MS_ENH_RSA_AES_PROV_XP_W}) {
    HCRYPTPROV provider = 0;
    if (CryptAcquireContextW(&provider, nullptr, name, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
      return Context(new Engine{provider, 0});
    }
    // A failure that recorded no error is not one the other provider would mend.
    if (HRESULT_FROM_WIN32(GetLastError()) >= 0) break;
  }
  return nullptr;
}

bool LoadKey(Engine* engine, const std::string& key, const std::string& iv) {
  if (key.size() != kBlockSize || iv.size() != kBlockSize) return false;
  // The blob's header, the key's length and the key, then one zero byte, which the length handed
  // to CryptImportKey counts as well.
  struct {
    BLOBHEADER header;
    DWORD key_size;
    BYTE key[kBlockSize];
    BYTE trailing_zero;
  } blob = {};
  static_assert(sizeof(BLOBHEADER) + sizeof(DWORD) + kBlockSize + 1 == 29);
  blob.header.bType = PLAINTEXTKEYBLOB;
  blob.header.bVersion = CUR_BLOB_VERSION;
  blob.header.reserved = 0;
  blob.header.aiKeyAlg = CALG_AES_128;
  blob.key_size = kBlockSize;
  std::memcpy(blob.key, key.data(), kBlockSize);
  constexpr DWORD kBlobLength = 29;
  if (!CryptImportKey(engine->provider, reinterpret_cast<const BYTE*>(&blob), kBlobLength, 0, 0,
                      &engine->key)) {
    engine->key = 0;
    return false;
  }
  // CBC with PKCS#5 padding are the provider's defaults for AES; set all the same, with the IV.
  DWORD mode = CRYPT_MODE_CBC;
  DWORD padding = PKCS5_PADDING;
  CryptSetKeyParam(engine->key, KP_MODE, reinterpret_cast<const BYTE*>(&mode), 0);
  CryptSetKeyParam(engine->key, KP_PADDING, reinterpret_cast<const BYTE*>(&padding), 0);
  CryptSetKeyParam(engine->key, KP_IV, reinterpret_cast<const BYTE*>(iv.data()), 0);
  return true;
}

bool Encrypt(Engine* engine, const std::string& plain, std::vector<unsigned char>& buffer) {
  if (plain.size() >= buffer.size()) return false;
  // In place: the plain bytes at the start of the padded buffer, the final block padded.
  std::memcpy(buffer.data(), plain.data(), plain.size());
  DWORD length = static_cast<DWORD>(plain.size());
  return CryptEncrypt(engine->key, 0, TRUE, 0, buffer.data(), &length,
                      static_cast<DWORD>(buffer.size())) &&
         length == buffer.size();
}

}  // namespace platform
}  // namespace cipher
}  // namespace lumoapi
