// The host layer's text conversions (UTF-8, UTF-16, GBK) and JSON readers on arbitrary input: the
// bytes as UTF-8 and GBK, as wide characters, and as a JSON document whose values are read with
// every reader.
#include <cpprest/json.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/string_utils.h"
#include "fuzz_input.h"
#include "utilities/json.h"

namespace {

namespace su = base::string_utils;

// Reads `value` and everything inside it, at most `budget` values.
void ReadAll(const web::json::value& value, int& budget) {
  if (--budget < 0) return;
  (void)utilities::json::ToString(value);
  (void)utilities::json::ToInt(value, -1);
  (void)utilities::json::ToInt64(value, 7);
  (void)utilities::json::ToBoolean(value, true);
  (void)utilities::json::ToDouble(value, 0.5);
  if (value.is_array()) {
    for (const auto& item : value.as_array()) ReadAll(item, budget);
  } else if (value.is_object()) {
    for (const auto& [name, item] : value.as_object()) {
      (void)su::ToUtf16(name);
      ReadAll(item, budget);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = lumo::fuzz::BytesFrom(data, size);
  const std::wstring wide = lumo::fuzz::WideFrom(data, size);

  const std::wstring from_utf8 = su::ToUtf16(bytes);
  (void)su::ToUtf8(from_utf8);
  (void)su::ToUtf8(wide);
  (void)su::Utf16ToUtf8(wide);
  (void)su::Utf16ToGBK(wide);
  (void)su::Utf16ToGBK(from_utf8);
  (void)su::GBKToUtf16(bytes);

  try {
    const web::json::value document = web::json::value::parse(bytes);
    int budget = 4096;
    ReadAll(document, budget);
  } catch (const std::exception&) {
  }
  return 0;
}
