// MD5 through OpenSSL, the machine id from systemd's (or D-Bus's) file, the tick count from the
// monotonic clock.
#include <openssl/evp.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "base/os_utils.h"
#include "os_utils_internal.h"

namespace base::os_utils {
namespace internal {
namespace {

// Fetched once: with EVP_md5() OpenSSL 3 looks the implementation up again on every digest, which
// cost more than hashing a short text.
const EVP_MD* Md5Implementation() {
  static EVP_MD* const md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  return md5;
}

std::string FirstLineOf(const char* path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

std::optional<Md5Digest> Md5(std::string_view bytes) {
  Md5Digest digest;
  unsigned int length = 0;
  if (Md5Implementation() == nullptr ||
      EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, Md5Implementation(),
                 nullptr) != 1 ||
      length != digest.size()) {
    return std::nullopt;
  }
  return digest;
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

}  // namespace internal

uint32_t GetTickCount() {
  // steady_clock is CLOCK_MONOTONIC here: time since boot, not counting suspend.
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}

bool IsProcessExiting() { return false; }

}  // namespace base::os_utils
