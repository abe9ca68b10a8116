// The whole command line: the global options, every command family, and what the tool does with
// a wrong command line (a usage error, with the closest command when a name is mistyped).
#ifndef LUMO_CLI_COMMAND_LINE_H_
#define LUMO_CLI_COMMAND_LINE_H_

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace lumo::cli {

// Parses the command line and runs the chosen command; returns the exit status.
int RunCommandLine(int argc, char** argv);

// The edit distance between two words (insertions, deletions and substitutions).
size_t EditDistance(const std::string& a, const std::string& b);

// The candidate closest to `word`, when it is close enough to be a likely typo.
std::optional<std::string> ClosestWord(const std::string& word,
                                       const std::vector<std::string>& candidates);

// Follows `words` (the arguments after the program name) down the command tree of `app`. When a
// word stands where a subcommand must be chosen and names none, the error line for it
// ("unknown command \"sgn\"; did you mean \"song\"?"); nothing otherwise.
std::optional<std::string> UnknownCommand(const CLI::App& app,
                                          const std::vector<std::string>& words);

// A shell completion script for `shell` ("bash" or "zsh") made from the command tree of `app`;
// empty for another shell.
std::string CompletionScript(const CLI::App& app, const std::string& shell);

}  // namespace lumo::cli

#endif  // LUMO_CLI_COMMAND_LINE_H_
