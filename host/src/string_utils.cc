#include "base/string_utils.h"

#include <errno.h>
#include <iconv.h>
#include <utf8.h>

#include <iterator>
#include <string_view>

namespace base::string_utils {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsValidCodePoint(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Calls `visit` with each code point of a wide string (UTF-16 or UTF-32, whichever wchar_t
// holds); lone surrogates and values beyond U+10FFFF arrive as `invalid`.
template <class Visit>
void ForEachCodePoint(const std::wstring& text, char32_t invalid, Visit visit) {
  if constexpr (sizeof(wchar_t) == 2) {
    for (size_t i = 0; i < text.size(); ++i) {
      const char32_t unit = static_cast<char16_t>(text[i]);
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
        const char32_t low = static_cast<char16_t>(text[i + 1]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          visit(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
          ++i;
          continue;
        }
      }
      visit(IsValidCodePoint(unit) ? unit : invalid);
    }
  } else {
    for (wchar_t unit : text) {
      const auto c = static_cast<char32_t>(unit);
      visit(IsValidCodePoint(c) ? c : invalid);
    }
  }
}

// REQUIRES: IsValidCodePoint(c).
void AppendCodePoint(std::wstring& text, char32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      text.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      text.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
      return;
    }
  }
  text.push_back(static_cast<wchar_t>(c));
}

std::string WideToUtf8(const std::wstring& text) {
  std::string utf8;
  utf8.reserve(text.size());
  ForEachCodePoint(text, kReplacement,
                   [&](char32_t c) { utf8::append(c, std::back_inserter(utf8)); });
  return utf8;
}

void AppendUtf32Le(std::string& bytes, char32_t c) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(static_cast<char>((c >> shift) & 0xFF));
}

char32_t ReadUtf32Le(const char* p) {
  char32_t c = 0;
  for (int i = 3; i >= 0; --i) c = (c << 8) | static_cast<unsigned char>(p[i]);
  return c;
}

// Converts `input` with iconv from `from` to `to`. An input sequence that cannot be converted is
// skipped (`skip` bytes, or the rest for an incomplete one at the end) and `substitute` written
// in its place.
std::string Iconv(const char* to, const char* from, std::string_view input, size_t skip,
                  std::string_view substitute) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string output;
  char buffer[4096];
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  while (in_left > 0) {
    char* out = buffer;
    size_t out_left = sizeof(buffer);
    const size_t result = iconv(cd, &in, &in_left, &out, &out_left);
    output.append(buffer, out - buffer);
    if (result != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    output.append(substitute);
    const size_t skipped = errno == EILSEQ ? std::min(skip, in_left) : in_left;
    in += skipped;
    in_left -= skipped;
  }
  iconv_close(cd);
  return output;
}

}  // namespace

std::string ToUtf8(const std::wstring& text) { return WideToUtf8(text); }

std::string Utf16ToUtf8(const std::wstring& text) { return WideToUtf8(text); }

std::wstring ToUtf16(const std::string& utf8) {
  std::string valid;
  valid.reserve(utf8.size());
  utf8::replace_invalid(utf8.begin(), utf8.end(), std::back_inserter(valid), kReplacement);
  std::wstring text;
  text.reserve(valid.size());
  for (auto it = valid.begin(); it != valid.end();)
    AppendCodePoint(text, utf8::unchecked::next(it));
  return text;
}

std::string Utf16ToGBK(const std::wstring& text) {
  std::string utf32;
  utf32.reserve(text.size() * 4);
  // Invalid code points become "?" as well: the replacement character has no GBK form.
  ForEachCodePoint(text, U'?', [&](char32_t c) { AppendUtf32Le(utf32, c); });
  return Iconv("GBK", "UTF-32LE", utf32, 4, "?");
}

std::wstring GBKToUtf16(const std::string& gbk) {
  std::string replacement;
  AppendUtf32Le(replacement, kReplacement);
  const std::string utf32 = Iconv("UTF-32LE", "GBK", gbk, 1, replacement);
  std::wstring text;
  text.reserve(utf32.size() / 4);
  for (size_t i = 0; i + 4 <= utf32.size(); i += 4) {
    const char32_t c = ReadUtf32Le(utf32.data() + i);
    AppendCodePoint(text, IsValidCodePoint(c) ? c : kReplacement);
  }
  return text;
}

}  // namespace base::string_utils
