// What base::os_utils takes from the platform: an MD5 implementation and the system's own machine
// id (os_utils_linux.cc, os_utils_win.cc). The hex digits and the hashing of the machine id are
// the same everywhere (os_utils.cc).
#ifndef HOST_SRC_OS_UTILS_INTERNAL_H_
#define HOST_SRC_OS_UTILS_INTERNAL_H_

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace base::os_utils::internal {

using Md5Digest = std::array<unsigned char, 16>;

// The MD5 digest of `bytes`; nothing when the platform's hash is unavailable.
std::optional<Md5Digest> Md5(std::string_view bytes);

// The system's identifier of this machine as the system stores it (not hashed); empty when it
// has none.
std::string RawMachineId();

}  // namespace base::os_utils::internal

#endif  // HOST_SRC_OS_UTILS_INTERNAL_H_
