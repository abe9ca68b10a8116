// What the tool asks of the system beyond standard C++, on Linux (platform_linux.cc) and on
// Windows (platform_win.cc): where programs keep their state, the command line and the console
// in UTF-8, whether standard error is a terminal, and how many cells a terminal gives a
// character.
#ifndef LUMO_CLI_PLATFORM_H_
#define LUMO_CLI_PLATFORM_H_

#include <filesystem>
#include <string>
#include <vector>

namespace lumo::cli {

// The folder where programs keep their state: $XDG_STATE_HOME, else ~/.local/state, on Linux;
// %LOCALAPPDATA% on Windows.
std::filesystem::path StateHome();
// The environment variable that names it, and where the built-in sandbox's state file is in the
// words of the tool's help.
extern const char kStateHomeVariable[];
extern const char kStateFileHelp[];

// The words of the command line after the program's name, in UTF-8 (on Windows from the wide
// command line: `argv` there is in the ANSI code page, which cannot hold every character).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// The tool writes UTF-8 with lines ended by LF alone on every system, so that scripts read one
// form; this makes the system's console and standard streams take it so.
void UseUtf8Output();

bool StandardErrorIsTerminal();

// The cells a terminal gives the character `c`: 0 for a combining mark, 2 for a wide East Asian
// character, 1 otherwise (also for what cannot be printed).
int CharacterCells(char32_t c);

}  // namespace lumo::cli

#endif  // LUMO_CLI_PLATFORM_H_
