#include "utilities/json.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>

#include "base/string_utils.h"

namespace utilities::json {
namespace {

// A JSON number, or a number read from a string or a boolean, in the widest form that holds it.
struct Numeric {
  enum class Kind { kSigned, kUnsigned, kReal };
  Kind kind = Kind::kSigned;
  int64_t signed_value = 0;
  uint64_t unsigned_value = 0;  // kUnsigned: beyond the range of int64_t
  double real_value = 0;
};

Numeric Signed(int64_t value) { return {Numeric::Kind::kSigned, value, 0, 0}; }
Numeric Unsigned(uint64_t value) { return {Numeric::Kind::kUnsigned, 0, value, 0}; }
Numeric Real(double value) { return {Numeric::Kind::kReal, 0, 0, value}; }

template <class Char>
std::basic_string_view<Char> TrimWhitespace(std::basic_string_view<Char> text) {
  static constexpr Char kWhitespace[] = {' ', '\t', '\r', '\n', '\f', '\v'};
  const std::basic_string_view<Char> whitespace(kWhitespace, std::size(kWhitespace));
  const size_t begin = text.find_first_not_of(whitespace);
  if (begin == std::basic_string_view<Char>::npos) return {};
  return text.substr(begin, text.find_last_not_of(whitespace) - begin + 1);
}

// A string's value less surrounding whitespace, as narrow characters: what a number or "true" and
// "false" are read from. They are ASCII, so a wide text (the library's form on Windows) holding
// anything else reads as an empty text, which is neither; it is copied into `buffer` otherwise.
// One of the two overloads is the library's form, the other is unused.
[[maybe_unused]] std::string_view TrimmedAscii(const std::string& text, std::string& /*buffer*/) {
  return TrimWhitespace(std::string_view(text));
}

[[maybe_unused]] std::string_view TrimmedAscii(const std::wstring& text, std::string& buffer) {
  const std::wstring_view trimmed = TrimWhitespace(std::wstring_view(text));
  buffer.resize(trimmed.size());
  for (size_t i = 0; i < trimmed.size(); ++i) {
    if (static_cast<uint32_t>(trimmed[i]) >= 0x80) return {};
    buffer[i] = static_cast<char>(trimmed[i]);
  }
  return buffer;
}

template <class T>
bool ParseWhole(std::string_view text, T& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// The whole text (TrimmedAscii's) as a finite decimal number.
std::optional<Numeric> ParseNumber(std::string_view text) {
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
  int64_t signed_value = 0;
  if (ParseWhole(text, signed_value)) return Signed(signed_value);
  uint64_t unsigned_value = 0;
  if (ParseWhole(text, unsigned_value)) return Unsigned(unsigned_value);
  double real_value = 0;
  // from_chars also reads "inf" and "nan", which are not numbers to a JSON reader.
  if (ParseWhole(text, real_value) && std::isfinite(real_value)) return Real(real_value);
  return std::nullopt;
}

std::optional<Numeric> NumericOf(const web::json::value& value) {
  switch (value.type()) {
    case web::json::value::Number: {
      const web::json::number& number = value.as_number();
      if (!number.is_integral()) return Real(number.to_double());
      if (number.is_int64()) return Signed(number.to_int64());
      return Unsigned(number.to_uint64());
    }
    case web::json::value::Boolean:
      return Signed(value.as_bool() ? 1 : 0);
    case web::json::value::String: {
      std::string buffer;
      return ParseNumber(TrimmedAscii(value.as_string(), buffer));
    }
    default:
      return std::nullopt;
  }
}

// `value` truncated toward zero, if the result lies in [low, high_exclusive).
template <class T>
std::optional<T> TruncateInto(double value, double low, double high_exclusive) {
  if (!std::isfinite(value)) return std::nullopt;
  const double whole = std::trunc(value);
  if (whole < low || whole >= high_exclusive) return std::nullopt;
  return static_cast<T>(whole);
}

std::string ShortestText(double value) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof(text), value);
  if (error != std::errc()) return {};
  return std::string(text, end);
}

// Parses `utf8` in the form `Text`: as it is where that is UTF-8, converted where it is wide.
template <class Text>
web::json::value ParseIn(const std::string& utf8) {
  if constexpr (std::is_same_v<Text, std::string>) {
    return web::json::value::parse(utf8);
  } else {
    return web::json::value::parse(TextIn<Text>(utf8));
  }
}

}  // namespace

std::wstring ToString(const web::json::value& value) {
  switch (value.type()) {
    case web::json::value::String:
      return WideOf(value.as_string());
    case web::json::value::Number: {
      const web::json::number& number = value.as_number();
      if (!number.is_integral())
        return base::string_utils::ToUtf16(ShortestText(number.to_double()));
      if (number.is_int64()) return std::to_wstring(number.to_int64());
      return std::to_wstring(number.to_uint64());
    }
    case web::json::value::Boolean:
      return value.as_bool() ? L"true" : L"false";
    case web::json::value::Object:
    case web::json::value::Array:
      return WideOf(value.serialize());
    default:
      return {};
  }
}

int32_t ToInt(const web::json::value& value, int32_t default_value) {
  const std::optional<Numeric> number = NumericOf(value);
  if (!number) return default_value;
  switch (number->kind) {
    case Numeric::Kind::kSigned:
      if (number->signed_value < std::numeric_limits<int32_t>::min() ||
          number->signed_value > std::numeric_limits<int32_t>::max()) {
        return default_value;
      }
      return static_cast<int32_t>(number->signed_value);
    case Numeric::Kind::kUnsigned:
      return default_value;
    case Numeric::Kind::kReal:
      return TruncateInto<int32_t>(number->real_value, -2147483648.0, 2147483648.0)
          .value_or(default_value);
  }
  return default_value;
}

uint64_t ToInt64(const web::json::value& value, uint64_t default_value) {
  const std::optional<Numeric> number = NumericOf(value);
  if (!number) return default_value;
  switch (number->kind) {
    case Numeric::Kind::kSigned:
      return number->signed_value < 0 ? default_value : static_cast<uint64_t>(number->signed_value);
    case Numeric::Kind::kUnsigned:
      return number->unsigned_value;
    case Numeric::Kind::kReal:
      // A negative fraction truncates to 0 but is still a negative number.
      if (number->real_value < 0) return default_value;
      return TruncateInto<uint64_t>(number->real_value, 0.0, 18446744073709551616.0)
          .value_or(default_value);
  }
  return default_value;
}

double ToDouble(const web::json::value& value, double default_value) {
  const std::optional<Numeric> number = NumericOf(value);
  if (!number) return default_value;
  switch (number->kind) {
    case Numeric::Kind::kSigned:
      return static_cast<double>(number->signed_value);
    case Numeric::Kind::kUnsigned:
      return static_cast<double>(number->unsigned_value);
    case Numeric::Kind::kReal:
      return number->real_value;
  }
  return default_value;
}

bool ToBoolean(const web::json::value& value, bool default_value) {
  if (value.is_boolean()) return value.as_bool();
  if (value.is_string()) {
    std::string buffer;
    const std::string_view text = TrimmedAscii(value.as_string(), buffer);
    if (text == "true") return true;
    if (text == "false") return false;
  }
  const std::optional<Numeric> number = NumericOf(value);
  if (!number) return default_value;
  switch (number->kind) {
    case Numeric::Kind::kSigned:
      return number->signed_value != 0;
    case Numeric::Kind::kUnsigned:
      return true;
    case Numeric::Kind::kReal:
      return number->real_value != 0;
  }
  return default_value;
}

web::json::value Parse(const std::string& utf8) { return ParseIn<utility::string_t>(utf8); }

}  // namespace utilities::json
