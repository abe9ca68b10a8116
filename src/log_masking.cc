#include "log_masking.h"

#include <cwctype>

namespace lumoapi {
namespace {

constexpr wchar_t kName[] = L"kwtok=";
constexpr size_t kNameLength = sizeof(kName) / sizeof(kName[0]) - 1;

bool NameAt(const std::wstring& text, size_t pos) {
  if (pos + kNameLength > text.size()) return false;
  for (size_t i = 0; i < kNameLength; ++i) {
    if (static_cast<wchar_t>(std::towlower(text[pos + i])) != kName[i]) return false;
  }
  // Only a whole name counts: "xkwtok=" is some other parameter.
  return pos == 0 || !std::iswalnum(text[pos - 1]);
}

bool EndsValue(wchar_t c) {
  return c == L'&' || c == L';' || c == L'"' || c == L'\'' || std::iswspace(c);
}

}  // namespace

std::wstring MaskSecrets(std::wstring text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (!NameAt(text, i)) {
      out += text[i++];
      continue;
    }
    out.append(text, i, kNameLength);
    i += kNameLength;
    size_t end = i;
    while (end < text.size() && !EndsValue(text[end])) ++end;
    if (end > i) out += L"***";
    i = end;
  }
  return out;
}

}  // namespace lumoapi
