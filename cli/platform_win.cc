#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "base/string_utils.h"
#include "platform.h"

namespace lumo::cli {

const char kStateHomeVariable[] = "LOCALAPPDATA";

std::filesystem::path StateHome() {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  return std::filesystem::path(local && *local ? local : L".");
}

const char kStateFileHelp[] =
    "%LOCALAPPDATA%\\lumo\\sandbox.db,\n  where Windows programs keep their state";

std::vector<std::string> Utf8Arguments(int, char**) {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(base::string_utils::ToUtf8(words[i]));
  LocalFree(words);
  return arguments;
}

// The C runtime would write each LF as CR LF in its text mode.
void UseUtf8Output() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

namespace {

// Marks that take no cell of their own: the combining marks of Latin, Greek, Cyrillic, Hebrew,
// Arabic and Thai text, of kana, the variation selectors and the zero-width spaces and joiners.
// (The system's character types will not do: they call a precomposed letter such as "ö"
// nonspacing because its decomposition carries a mark.)
constexpr std::pair<char32_t, char32_t> kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x20D0, 0x20FF}, {0x302A, 0x302D}, {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
};

bool InRanges(char32_t c, const std::pair<char32_t, char32_t>* begin,
              const std::pair<char32_t, char32_t>* end) {
  return std::any_of(begin, end,
                     [c](const auto& range) { return c >= range.first && c <= range.second; });
}

}  // namespace

int CharacterCells(char32_t c) {
  if (InRanges(c, std::begin(kZeroWidth), std::end(kZeroWidth))) return 0;
  // Beyond the first plane: the ideographs of CJK extension B and later, and the pictographs
  // that terminals draw wide.
  if (c > 0xFFFF) {
    return (c >= 0x20000 && c <= 0x3FFFD) || (c >= 0x1F300 && c <= 0x1F64F) ||
                   (c >= 0x1F900 && c <= 0x1F9FF)
               ? 2
               : 1;
  }
  const auto unit = static_cast<wchar_t>(c);
  WORD type = 0;
  if (!GetStringTypeW(CT_CTYPE3, &unit, 1, &type)) return 1;
  if (type & C3_HALFWIDTH) return 1;
  const bool hangul = c >= 0xAC00 && c <= 0xD7A3;
  return hangul || (type & (C3_FULLWIDTH | C3_IDEOGRAPH | C3_HIRAGANA | C3_KATAKANA)) ? 2 : 1;
}

}  // namespace lumo::cli
