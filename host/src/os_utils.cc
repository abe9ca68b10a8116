#include "base/os_utils.h"

#include <string_view>

#include "base/string_utils.h"
#include "os_utils_internal.h"

namespace base::os_utils {
namespace {

// Mixed into the machine id before hashing, so the identifier we send says nothing about ids
// other programs derive from the same source.
constexpr std::string_view kMachineIdSalt = "lumohost.machine-id:";

std::wstring Md5Hex(std::string_view bytes, bool upper_case) {
  const std::optional<internal::Md5Digest> digest = internal::Md5(bytes);
  if (!digest) return {};
  const char* digits = upper_case ? "0123456789ABCDEF" : "0123456789abcdef";
  std::wstring hex;
  hex.reserve(digest->size() * 2);
  for (unsigned char byte : *digest) {
    hex.push_back(static_cast<wchar_t>(digits[byte >> 4]));
    hex.push_back(static_cast<wchar_t>(digits[byte & 0x0F]));
  }
  return hex;
}

}  // namespace

std::wstring GetStringMD5(std::wstring text, bool upper_case) {
  return Md5Hex(string_utils::ToUtf8(text), upper_case);
}

std::wstring GetMachineID() {
  static const std::wstring id =
      Md5Hex(std::string(kMachineIdSalt) + internal::RawMachineId(), true);
  return id;
}

}  // namespace base::os_utils
