#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cwchar>

#include "platform.h"

namespace lumo::cli {

const char kStateHomeVariable[] = "XDG_STATE_HOME";

std::filesystem::path StateHome() {
  const char* state_home = std::getenv(kStateHomeVariable);
  if (state_home && *state_home) return state_home;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".local" / "state";
}

const char kStateFileHelp[] =
    "$XDG_STATE_HOME/lumo/sandbox.db, or\n  ~/.local/state/lumo/sandbox.db";

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

// Terminals take the bytes as they are; wcwidth below needs a UTF-8 locale.
void UseUtf8Output() { std::setlocale(LC_CTYPE, "C.UTF-8"); }

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int CharacterCells(char32_t c) {
  const int cells = ::wcwidth(static_cast<wchar_t>(c));
  return cells < 0 ? 1 : cells;
}

}  // namespace lumo::cli
