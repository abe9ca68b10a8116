#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

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

int CharacterCells(char32_t c) {
  // The ideographs of the supplementary planes (CJK extensions B and later).
  if (c > 0xFFFF) return c >= 0x20000 && c <= 0x3FFFD ? 2 : 1;
  const auto unit = static_cast<wchar_t>(c);
  WORD type = 0;
  if (!GetStringTypeW(CT_CTYPE3, &unit, 1, &type)) return 1;
  if (type & C3_NONSPACING) return 0;
  if (type & C3_HALFWIDTH) return 1;
  const bool hangul = c >= 0xAC00 && c <= 0xD7A3;
  return hangul || (type & (C3_FULLWIDTH | C3_IDEOGRAPH | C3_HIRAGANA | C3_KATAKANA)) ? 2 : 1;
}

}  // namespace lumo::cli
