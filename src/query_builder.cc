#include "query_builder.h"

#include <array>
#include <cassert>

namespace lumoapi {
namespace {

// Letters, digits and the bytes of `extra`.
constexpr std::array<bool, 256> AlphanumericAnd(std::string_view extra) {
  std::array<bool, 256> kept{};
  for (int c = '0'; c <= '9'; ++c) kept[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) kept[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) kept[c] = true;
  for (unsigned char c : extra) kept[c] = true;
  return kept;
}

// Bytes written as they are: what the URI library leaves alone in a query component, less "&"
// and "=". Everything else becomes %XX with upper-case hex digits.
constexpr std::array<bool, 256> kKept = AlphanumericAnd("-._~!$'()*,;:@/?");

// What the URI library's data-string encoding leaves alone: the unreserved bytes.
constexpr std::array<bool, 256> kUnreserved = AlphanumericAnd("-._~");

// Bytes the URI library accepts in a query when it checks a whole address.
constexpr std::array<bool, 256> MakeValidBytes() {
  std::array<bool, 256> valid{};
  for (int c = 0x21; c < 0x7f; ++c) valid[c] = true;
  for (unsigned char c : std::string_view("\"<>[\\]^`{|}")) valid[c] = false;
  return valid;
}
constexpr std::array<bool, 256> kValid = MakeValidBytes();

// Appends `c`, or %XX when `kept` does not hold it.
void AppendEncodedByte(std::string& out, unsigned char c, const std::array<bool, 256>& kept) {
  constexpr char kHex[] = "0123456789ABCDEF";
  if (kept[c]) {
    out += static_cast<char>(c);
  } else {
    const char escaped[3] = {'%', kHex[c >> 4], kHex[c & 0xF]};
    out.append(escaped, 3);
  }
}

void AppendEncodedUtf8(std::string& out, std::string_view utf8, const std::array<bool, 256>& kept) {
  for (char c : utf8) AppendEncodedByte(out, static_cast<unsigned char>(c), kept);
}

// Wide text straight into the query; any character beyond ASCII sends the whole text through the
// host's UTF-8 conversion, so malformed text is repaired exactly as everywhere else.
void AppendEncodedWide(std::string& out, std::wstring_view text) {
  for (wchar_t c : text) {
    if (static_cast<uint32_t>(c) >= 0x80) {
      AppendEncodedUtf8(out, base::string_utils::ToUtf8(std::wstring(text)), kKept);
      return;
    }
  }
  for (wchar_t c : text) AppendEncodedByte(out, static_cast<unsigned char>(c), kKept);
}

}  // namespace

std::string EncodeQueryComponent(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  AppendEncodedUtf8(out, utf8, kKept);
  return out;
}

std::string EncodeDataBytes(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  AppendEncodedUtf8(out, utf8, kUnreserved);
  return out;
}

std::wstring EncodeDataString(const std::wstring& text) {
  return base::string_utils::ToUtf16(EncodeDataBytes(base::string_utils::ToUtf8(text)));
}

void QueryBuilder::AppendPairText(std::wstring_view name, std::wstring_view value) {
  assert(!name.empty());
  // A pair neither starts nor ends with "&", so it always joins with one.
  if (!query_.empty()) query_ += '&';
  AppendEncodedWide(query_, name);
  query_ += '=';
  AppendEncodedWide(query_, value);
}

void QueryBuilder::AppendEncoded(std::string_view text) {
  if (text.empty()) return;
  for (char c : text) {
    if (!kValid[static_cast<unsigned char>(c)]) all_bytes_valid_ = false;
  }
  // The URI library's joining: one "&" between the two, whichever side brings it.
  if (!query_.empty()) {
    const bool ends = query_.back() == '&';
    const bool starts = text.front() == '&';
    if (ends && starts) {
      query_.pop_back();
    } else if (!ends && !starts) {
      query_ += '&';
    }
  }
  query_ += text;
}

void AppendEncodedParams(QueryBuilder& builder, const std::wstring& params) {
  if (params.empty()) return;
  builder.AppendEncoded(base::string_utils::ToUtf8(params));
}

std::wstring QueryText(const QueryBuilder& builder) {
  return base::string_utils::ToUtf16(builder.query());
}

}  // namespace lumoapi
