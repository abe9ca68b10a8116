#include "lumoapi/encryption.h"

#include <exception>

#include "aes_cipher.h"
#include "base/logging.h"
#include "base/os_utils.h"
#include "base/string_utils.h"
#include "log_masking.h"

namespace lumoapi::encryption {
namespace {

const std::wstring kKeyText = L"4817305926148350";
const std::wstring kIvText = L"7390261548103726";

// `base64` percent-encoded as a query value, as the URI library's encode_data_string writes it:
// "+", "/" and "=" are the only characters of a Base64 text outside the unreserved set. The
// general routine appends one character at a time and took half of EncryptText's time.
std::wstring QueryValueOfBase64(const std::string& base64) {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  // Bitwise, not short-circuit: the counting loop stays free of branches.
  auto reserved = [](char c) { return (c == '+') | (c == '/') | (c == '='); };
  size_t length = base64.size();
  for (char c : base64) length += reserved(c) ? 2 : 0;
  std::wstring value(length, L'\0');
  wchar_t* out = value.data();
  for (char c : base64) {
    if (!reserved(c)) {
      *out++ = static_cast<wchar_t>(c);
      continue;
    }
    *out++ = L'%';
    *out++ = static_cast<wchar_t>(kHexDigits[(c >> 4) & 0x0F]);
    *out++ = static_cast<wchar_t>(kHexDigits[c & 0x0F]);
  }
  return value;
}

}  // namespace

LumoAPIEncryption& LumoAPIEncryption::Instance() {
  static LumoAPIEncryption instance;
  return instance;
}

LumoAPIEncryption::LumoAPIEncryption()
    : key(base::string_utils::Utf16ToUtf8(base::os_utils::GetStringMD5(kKeyText, true).substr(16))),
      iv(base::string_utils::Utf16ToUtf8(kIvText)) {}

std::wstring LumoAPIEncryption::EncryptText(std::wstring text) const {
  try {
    // Kept narrow until the end: a round trip of the Base64 text through the wide form would
    // only copy it twice.
    return QueryValueOfBase64(
        Base64Text(EncryptAes128Cbc(key, iv, base::string_utils::Utf16ToUtf8(text))));
  } catch (const std::exception& e) {
    base::logging::LogMessage(L"lumoapi::encryption::LumoAPIEncryption::EncryptText", 97,
                              base::logging::LoggingSeverity::kError,
                              L"encrypt " + MaskSecrets(std::move(text)) + L" failed: " +
                                  base::string_utils::ToUtf16(e.what()));
    return std::wstring();
  }
}

}  // namespace lumoapi::encryption
