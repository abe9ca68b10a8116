#include "query_builder.h"

#include <cassert>

namespace lumoapi {

std::string EncodeQueryComponent(const std::string& utf8) {
  std::string encoded = web::uri::encode_uri(utf8, web::uri::components::query);
  if (encoded.find_first_of("&=") == std::string::npos) return encoded;
  std::string out;
  out.reserve(encoded.size() + 8);
  for (char c : encoded) {
    if (c == '&') {
      out += "%26";
    } else if (c == '=') {
      out += "%3D";
    } else {
      out += c;
    }
  }
  return out;
}

void AppendPairText(web::uri_builder& builder, const std::wstring& name,
                    const std::wstring& value) {
  assert(!name.empty());
  std::string pair = EncodeQueryComponent(base::string_utils::ToUtf8(name));
  pair += '=';
  pair += EncodeQueryComponent(base::string_utils::ToUtf8(value));
  builder.append_query(pair, /*do_encoding=*/false);
}

void AppendEncodedParams(web::uri_builder& builder, const std::wstring& params) {
  if (params.empty()) return;
  builder.append_query(base::string_utils::ToUtf8(params), /*do_encoding=*/false);
}

std::wstring QueryText(const web::uri_builder& builder) {
  return base::string_utils::ToUtf16(builder.query());
}

}  // namespace lumoapi
