// Text conversions between wide strings, UTF-8 and GBK. Invalid input never throws: a malformed
// sequence becomes U+FFFD (or "?" in GBK). Any thread.
#ifndef BASE_STRING_UTILS_H_
#define BASE_STRING_UTILS_H_

#include <sstream>
#include <string>

#include "base/export.h"

namespace base::string_utils {

LUMOHOST_EXPORT std::string ToUtf8(const std::wstring& text);
LUMOHOST_EXPORT std::wstring ToUtf16(const std::string& utf8);
LUMOHOST_EXPORT std::string Utf16ToUtf8(const std::wstring& text);
// Characters that GBK lacks become "?".
LUMOHOST_EXPORT std::string Utf16ToGBK(const std::wstring& text);
LUMOHOST_EXPORT std::wstring GBKToUtf16(const std::string& gbk);

// A wide text stream: write with <<, read the text so far with utf16_str(). Thread-compatible.
class LUMOHOST_EXPORT Formatter {
 public:
  template <class T>
  Formatter& operator<<(const T& value) {
    stream_ << value;
    return *this;
  }
  Formatter& operator<<(const std::string& utf8) {
    stream_ << ToUtf16(utf8);
    return *this;
  }
  Formatter& operator<<(const char* utf8) {
    stream_ << ToUtf16(utf8);
    return *this;
  }

  std::wstring utf16_str() const { return stream_.str(); }

 private:
  std::wostringstream stream_;
};

}  // namespace base::string_utils

#endif  // BASE_STRING_UTILS_H_
