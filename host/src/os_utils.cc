#include "base/os_utils.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <fstream>
#include <string_view>

#include "base/string_utils.h"

namespace base::os_utils {
namespace {

// Mixed into the machine id before hashing, so the identifier we send says nothing about ids
// other programs derive from the same file.
constexpr std::string_view kMachineIdSalt = "lumohost.machine-id:";

// Fetched once: with EVP_md5() OpenSSL 3 looks the implementation up again on every digest, which
// cost more than hashing a short text.
const EVP_MD* Md5() {
  static EVP_MD* const md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  return md5;
}

std::wstring Md5Hex(std::string_view bytes, bool upper_case) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (Md5() == nullptr ||
      EVP_Digest(bytes.data(), bytes.size(), digest, &length, Md5(), nullptr) != 1) {
    return {};
  }
  const char* digits = upper_case ? "0123456789ABCDEF" : "0123456789abcdef";
  std::wstring hex;
  hex.reserve(size_t{length} * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(static_cast<wchar_t>(digits[digest[i] >> 4]));
    hex.push_back(static_cast<wchar_t>(digits[digest[i] & 0x0F]));
  }
  return hex;
}

std::string FirstLineOf(const char* path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

std::string RawMachineId() {
  for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::string id = FirstLineOf(path);
    if (!id.empty()) return id;
  }
  char host[256] = {};
  if (gethostname(host, sizeof(host) - 1) == 0) return host;
  return {};
}

}  // namespace

std::wstring GetStringMD5(std::wstring text, bool upper_case) {
  return Md5Hex(string_utils::ToUtf8(text), upper_case);
}

std::wstring GetMachineID() {
  static const std::wstring id = Md5Hex(std::string(kMachineIdSalt) + RawMachineId(), true);
  return id;
}

}  // namespace base::os_utils
