#include "encrypt_lumoapi_param.h"

#include <glog/logging.h>

#include <ctime>
#include <exception>

#include "aes_cipher.h"
#include "base/os_utils.h"
#include "base/string_utils.h"
#include "log_masking.h"

namespace lumoapi {
namespace {

const std::wstring kSigningSalt = L"velmar_quint_hush";
const std::wstring kKeySalt = L"qorvel_amber_tune_signer_key";

uint64_t NowSeconds() {
  // Plain Unix time. The service's other clients go through local time and back, which is the
  // identity; mktime re-reads the time zone file on every call, a third of building an encrypted
  // address.
  return static_cast<uint64_t>(std::time(nullptr));
}

}  // namespace

LumoAPIParamEncryption::LumoAPIParamEncryption() : LumoAPIParamEncryption(NowSeconds()) {}

LumoAPIParamEncryption::LumoAPIParamEncryption(uint64_t seconds_since_epoch)
    : timestamp(std::to_wstring(seconds_since_epoch)) {}

std::wstring LumoAPIParamEncryption::Encrypt(std::wstring text) {
  try {
    // Key and IV alike: 16 characters from the middle of the digest of salt and timestamp.
    const std::string key = base::string_utils::Utf16ToUtf8(
        base::os_utils::GetStringMD5(kKeySalt + timestamp, false).substr(8, 16));
    std::wstring encrypted = EncryptAes128CbcBase64(key, key, text);
    param = encrypted;
    return encrypted;
  } catch (const std::exception&) {
    google::LogMessage("src\\encrypt_lumoapi_param", 84, google::GLOG_ERROR).stream()
        << "encrpt api param failed, the param is:"
        << base::string_utils::ToUtf8(MaskSecrets(std::move(text)));
    return std::wstring();
  }
}

std::wstring LumoAPIParamEncryption::Sign() const {
  return base::os_utils::GetStringMD5(kSigningSalt + param + timestamp, false);
}

}  // namespace lumoapi
