#include "lumoapi/encryption.h"

#include <exception>

#include "aes_cipher.h"
#include "base/logging.h"
#include "base/os_utils.h"
#include "base/string_utils.h"
#include "log_masking.h"
#include "query_builder.h"

namespace lumoapi::encryption {
namespace {

const std::wstring kKeyText = L"4817305926148350";
const std::wstring kIvText = L"7390261548103726";

// The second half of the key text's MD5 digest. Empty, with an error in the log, when the system
// cannot hash (the digest is empty then): every encryption then fails, which EncryptText reports.
std::string KeyOf(const std::wstring& text) {
  const std::wstring digest = base::os_utils::GetStringMD5(text, true);
  if (digest.size() != 32) {
    base::logging::LogMessage(L"lumoapi::encryption::LumoAPIEncryption::LumoAPIEncryption",
                              __LINE__, base::logging::LoggingSeverity::kError,
                              L"no MD5 digest of the key text: encrypted calls will fail");
    return {};
  }
  return base::string_utils::Utf16ToUtf8(digest.substr(16));
}

}  // namespace

LumoAPIEncryption& LumoAPIEncryption::Instance() {
  static LumoAPIEncryption instance;
  return instance;
}

LumoAPIEncryption::LumoAPIEncryption()
    : key(KeyOf(kKeyText)), iv(base::string_utils::Utf16ToUtf8(kIvText)) {}

std::wstring LumoAPIEncryption::EncryptText(std::wstring text) const {
  try {
    // Kept narrow until the end: a round trip of the Base64 text through the wide form would
    // only copy it twice.
    const std::string base64 =
        Base64Text(EncryptAes128Cbc(key, iv, base::string_utils::Utf16ToUtf8(text)));
    return base::string_utils::ToUtf16(EncodeDataBytes(base64));
  } catch (const std::exception& e) {
    base::logging::LogMessage(L"lumoapi::encryption::LumoAPIEncryption::EncryptText", 97,
                              base::logging::LoggingSeverity::kError,
                              L"encrypt " + MaskSecrets(std::move(text)) + L" failed: " +
                                  base::string_utils::ToUtf16(e.what()));
    return std::wstring();
  }
}

}  // namespace lumoapi::encryption
