#include "base/string_utils.h"

#include <errno.h>
#include <iconv.h>
#include <utf8.h>

#include <iterator>
#include <string_view>
#include <type_traits>

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

// Writes `c` at `out` and advances it. REQUIRES: IsValidCodePoint(c).
void AppendCodePoint(wchar_t*& out, char32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      *out++ = static_cast<wchar_t>(0xD800 + (c >> 10));
      *out++ = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  *out++ = static_cast<wchar_t>(c);
}

bool IsAscii(const std::wstring& text) {
  std::make_unsigned_t<wchar_t> bits = 0;
  for (wchar_t unit : text) bits |= static_cast<std::make_unsigned_t<wchar_t>>(unit);
  return bits < 0x80;
}

bool IsAscii(const std::string& text) {
  unsigned char bits = 0;
  for (char c : text) bits |= static_cast<unsigned char>(c);
  return bits < 0x80;
}

// Both directions write through a pointer into a string sized beforehand: appending unit by unit
// costs several times the conversion itself. Most texts (addresses, Base64, JSON keys and
// numbers) are ASCII and take a plain copy.
std::string WideToUtf8(const std::wstring& text) {
  if (IsAscii(text)) return std::string(text.begin(), text.end());
  // A code unit becomes at most 4 bytes (UTF-32), or 3 (UTF-16, where a pair makes 4).
  std::string utf8(text.size() * (sizeof(wchar_t) == 2 ? 3 : 4), '\0');
  char* out = utf8.data();
  ForEachCodePoint(text, kReplacement, [&](char32_t c) {
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
    } else {
      out = utf8::unchecked::append(c, out);
    }
  });
  utf8.resize(static_cast<size_t>(out - utf8.data()));
  return utf8;
}

// Decodes `utf8` into `text` and returns true, or returns false at the first malformed sequence.
bool DecodeValidUtf8(const std::string& utf8, std::wstring& text) {
  // One code unit per sequence (two for a four-byte sequence when wchar_t is 16-bit): count the
  // bytes that start a sequence.
  size_t units = 0;
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    units += (byte & 0xC0) != 0x80;
    if constexpr (sizeof(wchar_t) == 2) units += byte >= 0xF0;
  }
  text.assign(units, L'\0');
  wchar_t* out = text.data();
  try {
    for (auto it = utf8.begin(); it != utf8.end();) {
      const auto byte = static_cast<unsigned char>(*it);
      if (byte < 0x80) {
        *out++ = static_cast<wchar_t>(byte);
        ++it;
        continue;
      }
      AppendCodePoint(out, utf8::next(it, utf8.end()));
    }
  } catch (const utf8::exception&) {
    return false;
  }
  return true;
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
  if (IsAscii(utf8)) return std::wstring(utf8.begin(), utf8.end());
  std::wstring text;
  if (DecodeValidUtf8(utf8, text)) return text;
  std::string valid;
  valid.reserve(utf8.size());
  utf8::replace_invalid(utf8.begin(), utf8.end(), std::back_inserter(valid), kReplacement);
  DecodeValidUtf8(valid, text);  // cannot fail: `valid` is well formed
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
  // Two units for each code point at most (UTF-16).
  std::wstring text(utf32.size() / 4 * (sizeof(wchar_t) == 2 ? 2 : 1), L'\0');
  wchar_t* out = text.data();
  for (size_t i = 0; i + 4 <= utf32.size(); i += 4) {
    const char32_t c = ReadUtf32Le(utf32.data() + i);
    AppendCodePoint(out, IsValidCodePoint(c) ? c : kReplacement);
  }
  text.resize(static_cast<size_t>(out - text.data()));
  return text;
}

}  // namespace base::string_utils
