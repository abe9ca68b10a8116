#include "query.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "refusal.h"

namespace lumo::sandbox {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What a query-component encoder leaves unescaped: the unreserved characters, the sub-delimiters
// and ":@/?", plus '%' as the escape character itself.
bool IsQueryChar(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return c != 0 && std::strchr("-._~!$&'()*+,;=:@/?%", c) != nullptr;
}

std::string DecodeOrRefuse(std::string_view text, std::string_view what) {
  std::optional<std::string> decoded = PercentDecode(text);
  if (!decoded) throw Refusal(code::kMalformedQuery, "bad percent escape in " + std::string(what));
  if (!IsUtf8(*decoded)) throw Refusal(code::kMalformedQuery, std::string(what) + " is not UTF-8");
  return std::move(*decoded);
}

// Decodes %XX escapes. An escape that is not one fails the whole text, or with `keep_bad` stays
// as it is.
std::optional<std::string> DecodeEscapes(std::string_view text, bool keep_bad) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low >= 0) {
      out.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else if (text[i] != '%' || keep_bad) {
      out.push_back(text[i]);
    } else {
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
  return DecodeEscapes(text, /*keep_bad=*/false);
}

std::string_view QueryOf(std::string_view address) {
  const size_t start = address.find('?');
  return start == std::string_view::npos ? std::string_view() : address.substr(start + 1);
}

Pairs ReadQuery(std::string_view query) {
  Pairs pairs;
  size_t start = 0;
  while (start < query.size()) {
    const size_t end = std::min(query.find('&', start), query.size());
    const std::string_view pair = query.substr(start, end - start);
    start = end + 1;
    if (pair.empty()) continue;
    const size_t eq = std::min(pair.find('='), pair.size());
    pairs.emplace_back(*DecodeEscapes(pair.substr(0, eq), /*keep_bad=*/true),
                       *DecodeEscapes(pair.substr(std::min(eq + 1, pair.size())), true));
  }
  return pairs;
}

bool IsUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

Pairs ParseQuery(std::string_view query) {
  Pairs pairs;
  if (query.empty()) return pairs;
  for (char c : query) {
    if (!IsQueryChar(static_cast<unsigned char>(c))) {
      throw Refusal(code::kMalformedQuery, "character the client always escapes in the query");
    }
  }
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    std::string_view pair = query.substr(start, end - start);
    if (pair.empty()) throw Refusal(code::kMalformedQuery, "empty pair in the query");
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos) {
      throw Refusal(code::kMalformedQuery, "pair without '=': " + std::string(pair));
    }
    std::string_view value = pair.substr(eq + 1);
    if (value.find('=') != std::string_view::npos) {
      throw Refusal(code::kMalformedQuery,
                    "unescaped '=' in the value of " + std::string(pair.substr(0, eq)));
    }
    std::string name = DecodeOrRefuse(pair.substr(0, eq), "a parameter name");
    pairs.emplace_back(name, DecodeOrRefuse(value, "the value of " + name));
    start = end + 1;
  }
  return pairs;
}

const std::string* FindPair(const Pairs& pairs, std::string_view name) {
  for (const auto& [key, value] : pairs) {
    if (key == name) return &value;
  }
  return nullptr;
}

}  // namespace lumo::sandbox
