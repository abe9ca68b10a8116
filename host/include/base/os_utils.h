// Hashing and machine identity. Any thread.
#ifndef BASE_OS_UTILS_H_
#define BASE_OS_UTILS_H_

#include <string>

#include "base/export.h"

namespace base::os_utils {

// The MD5 digest of the UTF-8 bytes of `text` as 32 hexadecimal digits: lower case when
// `upper_case` is false, upper case when it is true.
LUMOHOST_EXPORT std::wstring GetStringMD5(std::wstring text, bool upper_case);

// A stable identifier of this computer (32 upper-case hexadecimal digits), derived from the
// system's machine id by hashing; the raw id is never returned.
LUMOHOST_EXPORT std::wstring GetMachineID();

}  // namespace base::os_utils

#endif  // BASE_OS_UTILS_H_
