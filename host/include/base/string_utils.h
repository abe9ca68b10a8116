// Text conversions between wide strings, UTF-8 and GBK. Invalid input never throws: a malformed
// sequence becomes U+FFFD (or "?" in GBK). Any thread.
#ifndef BASE_STRING_UTILS_H_
#define BASE_STRING_UTILS_H_

#include <sstream>
#include <string>

#include "base/export.h"

namespace base::string_utils {

LUMOHOST_EXPORT std::string ToUtf8(const std::wstring& text);       // UTF-16 (wide) text to UTF-8
LUMOHOST_EXPORT std::wstring ToUtf16(const std::string& utf8);      // UTF-8 to UTF-16 (wide) text
LUMOHOST_EXPORT std::string Utf16ToUtf8(const std::wstring& text);  // same as ToUtf8
// Characters that GBK lacks become "?".
LUMOHOST_EXPORT std::string Utf16ToGBK(const std::wstring& text);
LUMOHOST_EXPORT std::wstring GBKToUtf16(const std::string& gbk);  // GBK bytes to wide text

// A wide text stream: write with <<, read the text so far with utf16_str(). Thread-compatible.
class LUMOHOST_EXPORT Formatter {
 public:
  template <class T>
  // Writes `value` as a wide stream would.
  Formatter& operator<<(const T& value) {
    stream_ << value;
    return *this;
  }
  // Writes UTF-8 text.
  Formatter& operator<<(const std::string& utf8) {
    stream_ << ToUtf16(utf8);
    return *this;
  }
  // Writes UTF-8 text.
  Formatter& operator<<(const char* utf8) {
    stream_ << ToUtf16(utf8);
    return *this;
  }

  std::wstring utf16_str() const { return stream_.str(); }  // the text so far

 private:
  std::wostringstream stream_;
};

}  // namespace base::string_utils

#endif  // BASE_STRING_UTILS_H_
