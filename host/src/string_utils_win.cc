// Text conversions on Windows, where wchar_t is UTF-16: the system's MultiByteToWideChar and
// WideCharToMultiByte with UTF-8 and code page 936 (GBK).
//
// Valid text takes one call of the system's function. Text that the system rejects in strict mode
// is converted again piece by piece, so that malformed input comes out as it does on Linux,
// whatever the system's own replacement rules are: a byte that cannot start a UTF-8 sequence
// becomes one U+FFFD, and so does a sequence that is cut short, overlong, a surrogate or beyond
// U+10FFFF, together with the continuation bytes that follow its first byte; a lone surrogate
// becomes U+FFFD (UTF-8) or "?" (GBK), and in GBK so does a whole character beyond the BMP.
#include <windows.h>

#include <climits>
#include <cstddef>
#include <string>

#include "base/string_utils.h"

namespace base::string_utils {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr UINT kGbkCodePage = 936;
// Longer texts skip the one-call conversion, whose lengths are ints, and go piece by piece.
constexpr size_t kMaxWholeLength = INT_MAX / 4;

bool IsAscii(const std::wstring& text) {
  wchar_t bits = 0;
  for (wchar_t unit : text) bits |= unit;
  return bits < 0x80;
}

bool IsAscii(const std::string& text) {
  unsigned char bits = 0;
  for (char c : text) bits |= static_cast<unsigned char>(c);
  return bits < 0x80;
}

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

bool HasSurrogate(const std::wstring& text) {
  for (wchar_t unit : text) {
    if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) return true;
  }
  return false;
}

// Converts `size` units at `wide` into `out` (room for `room` bytes); the bytes written, or 0
// when the system rejects the input (UTF-8: a lone surrogate).
int FromWide(UINT code_page, const wchar_t* wide, size_t size, char* out, size_t room) {
  const bool utf8 = code_page == CP_UTF8;
  // GBK: characters the code page lacks become "?", never a look-alike ("best fit").
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  return WideCharToMultiByte(code_page, flags, wide, static_cast<int>(size), out,
                             static_cast<int>(room), utf8 ? nullptr : "?", nullptr);
}

// Converts `size` bytes at `bytes` into `out` (room for `room` units); the units written, or 0
// when the system rejects any of them.
int ToWide(UINT code_page, const char* bytes, size_t size, wchar_t* out, size_t room) {
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), out,
                             static_cast<int>(room));
}

// Wide text to `code_page`, with `per_unit` bytes at most per UTF-16 unit; `invalid` stands for a
// lone surrogate and, in GBK, for a whole surrogate pair.
std::string Narrow(const std::wstring& text, UINT code_page, size_t per_unit,
                   const std::string& invalid) {
  if (IsAscii(text)) return std::string(text.begin(), text.end());
  std::string out(text.size() * per_unit, '\0');
  // GBK has no form for characters beyond the BMP, and the system would write a "?" for each half
  // of a pair: such text goes one code point at a time.
  if (text.size() <= kMaxWholeLength && (code_page == CP_UTF8 || !HasSurrogate(text))) {
    const int written = FromWide(code_page, text.data(), text.size(), out.data(), out.size());
    if (written > 0) {
      out.resize(static_cast<size_t>(written));
      return out;
    }
  }
  size_t length = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool pair =
        IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
    const bool lone = !pair && (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i]));
    int written = 0;
    if (!lone && (!pair || code_page == CP_UTF8)) {
      written = FromWide(code_page, text.data() + i, pair ? 2 : 1, out.data() + length,
                         out.size() - length);
    }
    if (written > 0) {
      length += static_cast<size_t>(written);
    } else {
      length += invalid.copy(out.data() + length, invalid.size());
    }
    if (pair) ++i;
  }
  out.resize(length);
  return out;
}

// The number of bytes of the UTF-8 sequence that `lead` starts, 0 for a byte that starts none.
size_t Utf8SequenceLength(char lead) {
  const auto byte = static_cast<unsigned char>(lead);
  if (byte < 0x80) return 1;
  if ((byte >> 5) == 0x6) return 2;
  if ((byte >> 4) == 0xE) return 3;
  if ((byte >> 3) == 0x1E) return 4;
  return 0;
}

// Decodes the UTF-8 text that the system rejected as a whole, one sequence at a time.
void DecodeUtf8Repairing(const std::string& utf8, std::wstring& text) {
  text.assign(utf8.size(), L'\0');
  wchar_t* out = text.data();
  for (size_t i = 0; i < utf8.size();) {
    const size_t length = Utf8SequenceLength(utf8[i]);
    if (length == 1) {
      *out++ = static_cast<wchar_t>(utf8[i++]);
      continue;
    }
    const int units = length > 0 && i + length <= utf8.size()
                          ? ToWide(CP_UTF8, utf8.data() + i, length, out, 2)
                          : 0;
    if (units > 0) {
      out += units;
      i += length;
      continue;
    }
    *out++ = kReplacement;
    ++i;
    // A sequence that went wrong after its first byte takes its continuation bytes with it.
    if (length > 1) {
      while (i < utf8.size() && IsContinuation(utf8[i])) ++i;
    }
  }
  text.resize(static_cast<size_t>(out - text.data()));
}

// Decodes the GBK text that the system rejected as a whole, one character at a time: a byte that
// does not start a character the code page has becomes U+FFFD, and decoding goes on at the next
// byte.
void DecodeGbkRepairing(const std::string& gbk, std::wstring& text) {
  text.assign(gbk.size(), L'\0');
  wchar_t* out = text.data();
  for (size_t i = 0; i < gbk.size(); ++i) {
    const auto byte = static_cast<unsigned char>(gbk[i]);
    if (byte < 0x80) {
      *out++ = static_cast<wchar_t>(byte);
      continue;
    }
    const bool lead = byte >= 0x81 && byte <= 0xFE;
    if (lead && i + 1 < gbk.size() && ToWide(kGbkCodePage, gbk.data() + i, 2, out, 1) == 1) {
      ++out;
      ++i;
      continue;
    }
    if (!lead && ToWide(kGbkCodePage, gbk.data() + i, 1, out, 1) == 1) {
      ++out;
      continue;
    }
    *out++ = kReplacement;
  }
  text.resize(static_cast<size_t>(out - text.data()));
}

// `code_page` bytes to wide text; `repair` decodes what the system rejects.
std::wstring Widen(const std::string& bytes, UINT code_page,
                   void (*repair)(const std::string&, std::wstring&)) {
  if (IsAscii(bytes)) return std::wstring(bytes.begin(), bytes.end());
  // Never more units than bytes: a four-byte UTF-8 sequence makes two.
  std::wstring text(bytes.size(), L'\0');
  if (bytes.size() <= kMaxWholeLength) {
    const int units = ToWide(code_page, bytes.data(), bytes.size(), text.data(), text.size());
    if (units > 0) {
      text.resize(static_cast<size_t>(units));
      return text;
    }
  }
  repair(bytes, text);
  return text;
}

}  // namespace

std::string ToUtf8(const std::wstring& text) { return Narrow(text, CP_UTF8, 3, "\xEF\xBF\xBD"); }

std::string Utf16ToUtf8(const std::wstring& text) { return ToUtf8(text); }

std::wstring ToUtf16(const std::string& utf8) { return Widen(utf8, CP_UTF8, &DecodeUtf8Repairing); }

std::string Utf16ToGBK(const std::wstring& text) { return Narrow(text, kGbkCodePage, 2, "?"); }

std::wstring GBKToUtf16(const std::string& gbk) {
  return Widen(gbk, kGbkCodePage, &DecodeGbkRepairing);
}

}  // namespace base::string_utils
