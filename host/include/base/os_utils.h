// Hashing, machine identity and the system's tick count. Any thread.
#ifndef BASE_OS_UTILS_H_
#define BASE_OS_UTILS_H_

#include <cstdint>
#include <string>

#include "base/export.h"

namespace base::os_utils {

// The MD5 digest of the UTF-8 bytes of `text` as 32 hexadecimal digits: lower case when
// `upper_case` is false, upper case when it is true.
LUMOHOST_EXPORT std::wstring GetStringMD5(std::wstring text, bool upper_case);

// A stable identifier of this computer (32 upper-case hexadecimal digits), derived from the
// system's machine id by hashing; the raw id is never returned.
LUMOHOST_EXPORT std::wstring GetMachineID();

// Milliseconds since the system started, wrapping to 0 after about 49.7 days (the system's 32-bit
// tick count). Monotonic between wraps.
LUMOHOST_EXPORT uint32_t GetTickCount();

// Whether the process has begun to exit with the library still loaded. On Windows the system
// has then stopped every other thread, wherever it was, and runs the DLLs' static destructors:
// nothing may wait for the network thread any more. Elsewhere the static destructors run while
// the other threads still do: always false.
LUMOHOST_EXPORT bool IsProcessExiting();

}  // namespace base::os_utils

#endif  // BASE_OS_UTILS_H_
