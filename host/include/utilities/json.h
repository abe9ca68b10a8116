// Lenient readers of JSON values: a missing, null or mistyped member gives the default, never an
// exception.
//
// ToString: strings as they are, integers in decimal, other numbers in their shortest form,
// booleans as "true"/"false", objects and arrays as their JSON text, null as empty.
// ToInt, ToInt64, ToDouble, ToBoolean: numbers, numeric strings and booleans; anything else gives
// the default, and so does a value out of the result's range (ToInt64 of a negative number
// included).
// Any thread.
#ifndef UTILITIES_JSON_H_
#define UTILITIES_JSON_H_

#include <cpprest/json.h>

#include <cstdint>
#include <string>

#include "base/export.h"

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

}  // namespace utilities::json

#endif  // UTILITIES_JSON_H_
