#include "token_mask.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "query.h"
#include "sandbox/seed_users.h"

namespace lumo::sandbox {
namespace {

constexpr std::string_view kTokenName = "kwtok";
// A value shorter than this is not looked for elsewhere in an entry: it would hide ordinary text.
constexpr size_t kShortestHiddenValue = 4;

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// Ends a token's value as written (not decoded): the separators of a query, a cookie and a
// header list, blanks, quotes and a JSON escape.
bool EndsValue(char c) {
  return c == '&' || c == ';' || c == ',' || c == ' ' || c == '\t' || c == '"' || c == '\'' ||
         c == '\\' || c == '\r' || c == '\n';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The character at `i` as the service reads it (a %XX escape decoded), and where the next begins.
struct Decoded {
  char c;
  size_t next;
};
Decoded DecodeAt(std::string_view text, size_t i) {
  if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
      HexValue(text[i + 2]) >= 0) {
    return {static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])), i + 3};
  }
  return {text[i], i + 1};
}

// The decoded character that ends just before `i`, or '&' at the start (a boundary either way).
char DecodedBefore(std::string_view text, size_t i) {
  if (i == 0) return '&';
  if (i >= 3 && DecodeAt(text, i - 3).next == i) return DecodeAt(text, i - 3).c;
  return text[i - 1];
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// When a token's name, read decoded and in any case, starts at `i` and is followed (blanks
// allowed around it) by '=': where its value starts. Otherwise npos.
size_t ValueStart(std::string_view text, size_t i) {
  if (IsNameChar(DecodedBefore(text, i))) return std::string_view::npos;
  for (char want : kTokenName) {
    if (i >= text.size()) return std::string_view::npos;
    Decoded got = DecodeAt(text, i);
    if (std::tolower(static_cast<unsigned char>(got.c)) != want) return std::string_view::npos;
    i = got.next;
  }
  while (i < text.size() && IsBlank(DecodeAt(text, i).c)) i = DecodeAt(text, i).next;
  if (i >= text.size() || DecodeAt(text, i).c != '=') return std::string_view::npos;
  i = DecodeAt(text, i).next;
  while (i < text.size() && IsBlank(DecodeAt(text, i).c)) i = DecodeAt(text, i).next;
  return i;
}

// Where the next token name at or after `from` starts, or npos. A name starts with its 'k',
// written as it is or escaped; most texts hold few of either, so most of a text is skipped.
size_t NextName(std::string_view text, size_t from) {
  for (size_t i = from; i < text.size(); ++i) {
    char c = text[i];
    if ((c == 'k' || c == 'K' || c == '%') && ValueStart(text, i) != std::string_view::npos) {
      return i;
    }
  }
  return std::string_view::npos;
}

bool IsTokenName(std::string_view name) {
  std::string decoded;  // only a name with an escape is copied
  if (name.find('%') != std::string_view::npos) {
    decoded = PercentDecode(name).value_or(std::string(name));
    name = decoded;
  }
  std::string_view trimmed = name;
  while (!trimmed.empty() && IsBlank(trimmed.front())) trimmed.remove_prefix(1);
  while (!trimmed.empty() && IsBlank(trimmed.back())) trimmed.remove_suffix(1);
  if (trimmed.size() != kTokenName.size()) return false;
  for (size_t i = 0; i < trimmed.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(trimmed[i])) != kTokenName[i]) return false;
  }
  return true;
}

bool IsSeedToken(std::string_view value) {
  std::string decoded = PercentDecode(value).value_or(std::string(value));
  return std::find(std::begin(kSeedUserTokens), std::end(kSeedUserTokens), decoded) !=
         std::end(kSeedUserTokens);
}

// `text` percent-encoded as a client writes it, in upper- or lower-case hex digits.
std::string Encoded(std::string_view text, bool lower_case) {
  const char* hex = lower_case ? "0123456789abcdef" : "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.' ||
        c == '~') {
      encoded += c;
    } else {
      encoded += '%';
      encoded += hex[static_cast<unsigned char>(c) >> 4];
      encoded += hex[static_cast<unsigned char>(c) & 15];
    }
  }
  return encoded;
}

using TextPairs = std::vector<std::pair<std::string, std::string>>;

// Hides the tokens of one exchange: first by name in each text (remembering the values), then
// every remembered value in every text.
class TokenMask {
 public:
  explicit TokenMask(SeedTokens seed) : seed_(seed) {}

  // Replaces the value after every token name in `text` with kMaskedToken. Leaves the text as
  // it is (no copy) when it names no token.
  void ByName(std::string& text) {
    size_t name = NextName(text, 0);
    if (name == std::string_view::npos) return;
    std::string masked;
    masked.reserve(text.size());
    size_t copied = 0;
    while (name != std::string_view::npos) {
      size_t value = ValueStart(text, name);
      bool quoted = value < text.size() && text[value] == '"';
      size_t begin = quoted ? value + 1 : value;
      size_t end = begin;
      while (end < text.size() && (quoted ? text[end] != '"' : !EndsValue(text[end]))) ++end;
      std::string_view found = std::string_view(text).substr(begin, end - begin);
      masked.append(text, copied, begin - copied);
      if (found.empty() || Shown(found)) {
        masked.append(found);
      } else {
        masked += kMaskedToken;
        Remember(found);
      }
      copied = end;
      name = NextName(text, end);
    }
    masked.append(text, copied);
    text = std::move(masked);
  }

  // Masks each pair by name; a pair named as the token has its whole value hidden.
  void ByName(TextPairs& pairs) {
    for (auto& [name, value] : pairs) {
      if (IsTokenName(name) && !value.empty() && !Shown(value)) {
        Remember(value);
        value = kMaskedToken;
      } else {
        ByName(value);
      }
      ByName(name);
    }
  }

  // Replaces every remembered value in `text` with kMaskedToken.
  void Everywhere(std::string& text) const {
    for (const std::string& value : values_) {
      for (size_t at = text.find(value); at != std::string::npos;
           at = text.find(value, at + kMaskedToken.size())) {
        text.replace(at, value.size(), kMaskedToken);
      }
    }
  }

  void Everywhere(TextPairs& pairs) const {
    for (auto& [name, value] : pairs) {
      Everywhere(name);
      Everywhere(value);
    }
  }

  bool found_any() const { return !values_.empty(); }

 private:
  bool Shown(std::string_view value) const {
    return seed_ == SeedTokens::kShown && IsSeedToken(value);
  }

  void Remember(std::string_view value) {
    if (value.size() < kShortestHiddenValue || value == kMaskedToken) return;
    std::string decoded = PercentDecode(value).value_or(std::string(value));
    for (std::string form :
         {std::string(value), decoded, Encoded(decoded, false), Encoded(decoded, true)}) {
      if (form.size() < kShortestHiddenValue) continue;
      if (std::find(values_.begin(), values_.end(), form) == values_.end())
        values_.push_back(std::move(form));
    }
  }

  const SeedTokens seed_;
  std::vector<std::string> values_;
};

}  // namespace

std::string MaskTokens(std::string_view text, SeedTokens seed) {
  TokenMask mask(seed);
  std::string masked(text);
  mask.ByName(masked);
  mask.Everywhere(masked);
  return masked;
}

void MaskRecord(LogRecord& record, SeedTokens seed) {
  TokenMask mask(seed);
  // Every text is masked by name first, so that each value found anywhere is known before any
  // text is searched for it.
  std::string* const texts[] = {&record.verb, &record.target, &record.method, &record.inner_text,
                                &record.answer};
  for (std::string* text : texts) mask.ByName(*text);
  mask.ByName(record.params);
  mask.ByName(record.headers);
  if (!mask.found_any()) return;
  for (std::string* text : texts) mask.Everywhere(*text);
  mask.Everywhere(record.params);
  mask.Everywhere(record.headers);
}

}  // namespace lumo::sandbox
