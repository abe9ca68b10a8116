// Building the query of a request address.
//
// The pair writer encodes a name and a value the way the URI library encodes a query
// (web::uri::encode_uri with components::query) and then also writes "&" as %26 and "=" as %3D
// inside them, so that a value such as "Simon & Garfunkel" stays one value. Every other byte is
// sent exactly as the URI library writes it. Texts are joined with "&" the way
// web::uri_builder::append_query joins them, into one string that grows in place.
#ifndef LUMOAPI_QUERY_BUILDER_H_
#define LUMOAPI_QUERY_BUILDER_H_

#include <string>
#include <string_view>
#include <type_traits>

#include "base/string_utils.h"
#include "lumoapi/export.h"

namespace lumoapi {

// The query-component encoding of the URI library with "&" and "=" escaped as well (UTF-8 in,
// UTF-8 out).
LUMOAPI_EXPORT_PRIVATE std::string EncodeQueryComponent(std::string_view utf8);

// The URI library's data-string encoding (web::uri::encode_data_string): every byte but the
// unreserved ones (letters, digits, "-._~") as %XX. UTF-8 in, ASCII out. Written here because the
// library's own takes its wide form on Windows, where it converts with rules of its own.
LUMOAPI_EXPORT_PRIVATE std::string EncodeDataBytes(std::string_view utf8);
// The same over the UTF-8 bytes of a wide text (malformed text repaired as the host repairs it):
// how the service expects list titles and descriptions, and the lyrics search's queries.
LUMOAPI_EXPORT_PRIVATE std::wstring EncodeDataString(const std::wstring& text);

// A query under construction. Thread-compatible.
class LUMOAPI_EXPORT_PRIVATE QueryBuilder {
 public:
  // Appends "name=value" as one pair. REQUIRES: `name` is not empty.
  void AppendPairText(std::wstring_view name, std::wstring_view value);
  // Appends an already encoded text unchanged ("a=1&b=2"); an empty text adds nothing.
  void AppendEncoded(std::string_view text);

  // The query without a leading "?".
  const std::string& query() const { return query_; }
  // False when an appended encoded text holds a byte that the URI library refuses in a query
  // (a space, a control character, raw UTF-8...); pairs written here never do.
  bool all_bytes_valid() const { return all_bytes_valid_; }

 private:
  std::string query_;
  bool all_bytes_valid_ = true;
};

// Appends one pair; integers are written in decimal, texts as their characters.
template <class T>
void AppendPair(QueryBuilder& builder, std::wstring_view name, const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    builder.AppendPairText(name, value ? L"1" : L"0");
  } else if constexpr (std::is_arithmetic_v<T>) {
    builder.AppendPairText(name, std::to_wstring(value));
  } else if constexpr (std::is_convertible_v<const T&, std::wstring_view>) {
    builder.AppendPairText(name, std::wstring_view(value));
  } else {
    base::string_utils::Formatter text;
    text << value;
    builder.AppendPairText(name, text.utf16_str());
  }
}

// Appends an already encoded parameter text unchanged ("a=1&b=2"); an empty text adds nothing.
LUMOAPI_EXPORT_PRIVATE void AppendEncodedParams(QueryBuilder& builder, const std::wstring& params);

// The query of `builder` as a wide string: what BuildParams returns.
LUMOAPI_EXPORT_PRIVATE std::wstring QueryText(const QueryBuilder& builder);

}  // namespace lumoapi

#endif  // LUMOAPI_QUERY_BUILDER_H_
