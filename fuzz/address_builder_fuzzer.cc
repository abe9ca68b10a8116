// The address builder on arbitrary wide texts: the pair writer and query encoding on their own,
// checked byte for byte against the URI library's own query encoding, then whole addresses, plain
// (a search) and encrypted and signed (a new song list), each read back by the sandbox's decoder.
#include <cpprest/base_uri.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "base/string_utils.h"
#include "fuzz_input.h"
#include "lumoapi/diy/add_list.h"
#include "lumoapi/search/catalog_sug.h"
#include "query_builder.h"
#include "sandbox/address_form.h"

namespace {

// What the pair writer must produce: the URI library's query encoding, then "&" and "=" escaped.
std::string ReferenceEncoding(const std::string& utf8) {
  const std::string encoded = web::uri::encode_uri(utf8, web::uri::components::query);
  std::string out;
  out.reserve(encoded.size());
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

void ReadBack(const std::wstring& url) {
  const std::string text = base::string_utils::ToUtf8(url);
  const auto pairs = lumo::sandbox::ReadQuery(lumo::sandbox::QueryOf(text));
  (void)lumo::sandbox::DecryptEncryptedPart(pairs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::wstring text = lumo::fuzz::WideFrom(data + 1, size - 1);
  try {
    switch (data[0] % 3) {
      case 0: {
        lumoapi::QueryBuilder builder;
        builder.AppendPairText(L"query", text);
        lumoapi::AppendPair(builder, L"n", static_cast<int>(size));
        lumoapi::AppendEncodedParams(builder, L"a=1");
        const std::string utf8 = base::string_utils::ToUtf8(text);
        const std::string reference = ReferenceEncoding(utf8);
        const std::string expected =
            "query=" + reference + "&n=" + std::to_string(static_cast<int>(size)) + "&a=1";
        if (builder.query() != expected || lumoapi::EncodeQueryComponent(utf8) != reference) {
          std::abort();
        }
        (void)lumoapi::QueryText(builder);
        break;
      }
      case 1: {
        lumoapi::search::CatalogSug request(text);
        ReadBack(request.BuildUrl());
        break;
      }
      default: {
        lumoapi::diy::AddList request(L"tok", text, 0);
        ReadBack(request.BuildUrl());
        break;
      }
    }
  } catch (const std::exception&) {
    // The request path turns a throw while building into a failed call.
  }
  return 0;
}
