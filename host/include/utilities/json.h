// Lenient readers of JSON values: a missing, null or mistyped member gives the default, never an
// exception.
//
// ToString: strings as they are, integers in decimal, other numbers in their shortest form,
// booleans as "true"/"false", objects and arrays as their JSON text, null as empty.
// ToInt, ToInt64, ToDouble, ToBoolean: numbers, numeric strings and booleans; anything else gives
// the default, and so does a value out of the result's range (ToInt64 of a negative number
// included).
//
// The JSON and URI library's own text, utility::string_t, is UTF-8 in a std::string on POSIX and
// UTF-16 in a std::wstring on Windows. WideOf, Utf8Of and StringTOf move a text between that form
// and the two the code works in, so that one spelling is right on both.
// Any thread.
#ifndef UTILITIES_JSON_H_
#define UTILITIES_JSON_H_

#include <cpprest/json.h>

#include <cstdint>
#include <string>

#include "base/export.h"
#include "base/string_utils.h"

namespace utilities::json {

// The value as text, as told above.
LUMOHOST_EXPORT std::wstring ToString(const web::json::value& value);
// As a 32-bit number; the default when not numeric or out of range.
LUMOHOST_EXPORT int32_t ToInt(const web::json::value& value, int32_t default_value);
// As an unsigned 64-bit number; the default when not numeric, negative or out of range.
LUMOHOST_EXPORT uint64_t ToInt64(const web::json::value& value, uint64_t default_value);
// As a boolean (a number is true unless 0); the default when not numeric or boolean.
LUMOHOST_EXPORT bool ToBoolean(const web::json::value& value, bool default_value);
// As a double; the default when not numeric.
LUMOHOST_EXPORT double ToDouble(const web::json::value& value, double default_value);

// Parses the JSON text `utf8` (UTF-8 bytes, as they come from the network). Where the library's
// form is wide the text goes through the host's conversion first, so a malformed sequence inside
// a string reaches ToString as U+FFFD on every platform. Throws web::json::json_exception as
// web::json::value::parse does.
LUMOHOST_EXPORT web::json::value Parse(const std::string& utf8);

// A UTF-8 or wide text in the form `Text`: std::string for UTF-8, std::wstring for wide text.
// Converting repairs malformed text as base::string_utils does. UTF-8 to UTF-8 is a plain copy (it
// is repaired where it is read as wide text); wide to wide repairs as well, so that a lone
// surrogate which the library's parser leaves in wide text (from a "\udc00" escape) reads as
// U+FFFD, as it does where the parser writes UTF-8.
template <class Text>
Text TextIn(const std::string& utf8);
// The wide text `wide` in the form `Text`, as told above.
template <class Text>
Text TextIn(const std::wstring& wide);

// UTF-8 as UTF-8: a plain copy.
template <>
inline std::string TextIn<std::string>(const std::string& utf8) {
  return utf8;
}
// Wide text as UTF-8.
template <>
inline std::string TextIn<std::string>(const std::wstring& wide) {
  return base::string_utils::ToUtf8(wide);
}
// UTF-8 as wide text.
template <>
inline std::wstring TextIn<std::wstring>(const std::string& utf8) {
  return base::string_utils::ToUtf16(utf8);
}
// Wide text as wide text, a lone surrogate repaired.
template <>
inline std::wstring TextIn<std::wstring>(const std::wstring& wide) {
  // Anything the round trip could change is a surrogate unit (paired or not) or, where wchar_t is
  // 32-bit, a value beyond U+10FFFF; other texts are copied.
  for (wchar_t unit : wide) {
    const uint32_t value = std::char_traits<wchar_t>::to_int_type(unit);
    if ((value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
      return base::string_utils::ToUtf16(base::string_utils::ToUtf8(wide));
    }
  }
  return wide;
}

// A text of the library (a string's value, a member name, a serialized value, an address) as
// wide text.
inline std::wstring WideOf(const utility::string_t& text) { return TextIn<std::wstring>(text); }
// A text of the library as UTF-8.
inline std::string Utf8Of(const utility::string_t& text) { return TextIn<std::string>(text); }

// A UTF-8 text in the library's form, for its constructors and setters.
inline utility::string_t StringTOf(const std::string& utf8) {
  return TextIn<utility::string_t>(utf8);
}
// A wide text in the library's form, for its constructors and setters.
inline utility::string_t StringTOf(const std::wstring& wide) {
  return TextIn<utility::string_t>(wide);
}

}  // namespace utilities::json

#endif  // UTILITIES_JSON_H_
