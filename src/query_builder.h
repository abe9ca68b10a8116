// Building the query of a request address.
//
// The pair writer encodes a name and a value the way the URI library encodes a query and then also
// writes "&" as %26 and "=" as %3D inside them, so that a value such as "Simon & Garfunkel" stays
// one value. Every other byte is sent exactly as the URI library writes it.
#ifndef LUMOAPI_QUERY_BUILDER_H_
#define LUMOAPI_QUERY_BUILDER_H_

#include <cpprest/uri_builder.h>

#include <string>
#include <string_view>
#include <type_traits>

#include "base/string_utils.h"
#include "lumoapi/export.h"

namespace lumoapi {

// The query-component encoding of the URI library with "&" and "=" escaped as well (UTF-8 in,
// UTF-8 out).
LUMOAPI_EXPORT_PRIVATE std::string EncodeQueryComponent(const std::string& utf8);

// Appends "name=value" as one pair. REQUIRES: `name` is not empty.
LUMOAPI_EXPORT_PRIVATE void AppendPairText(web::uri_builder& builder, const std::wstring& name,
                                           const std::wstring& value);

// Appends one pair; integers are written in decimal, texts as their characters.
template <class T>
void AppendPair(web::uri_builder& builder, const std::wstring& name, const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    AppendPairText(builder, name, value ? L"1" : L"0");
  } else if constexpr (std::is_arithmetic_v<T>) {
    AppendPairText(builder, name, std::to_wstring(value));
  } else if constexpr (std::is_same_v<T, std::wstring>) {
    AppendPairText(builder, name, value);
  } else if constexpr (std::is_convertible_v<const T&, std::wstring_view>) {
    // Wide text needs no formatting; setting up a stream for it cost more than the pair itself.
    AppendPairText(builder, name, std::wstring(std::wstring_view(value)));
  } else {
    base::string_utils::Formatter text;
    text << value;
    AppendPairText(builder, name, text.utf16_str());
  }
}

// Appends an already encoded parameter text unchanged ("a=1&b=2"); an empty text adds nothing.
LUMOAPI_EXPORT_PRIVATE void AppendEncodedParams(web::uri_builder& builder,
                                                const std::wstring& params);

// The query of `builder` without a leading "?", as a wide string: what BuildParams returns.
LUMOAPI_EXPORT_PRIVATE std::wstring QueryText(const web::uri_builder& builder);

}  // namespace lumoapi

#endif  // LUMOAPI_QUERY_BUILDER_H_
