// The whole command line: the global options, every command family, and what the tool does with
// a wrong command line (a usage error in the tool's words, with the closest command or option
// when a name is mistyped, or the list of what may follow when a command is missing). The tree
// built here is the one table that help, the man pages and the shell completions are made from.
#ifndef LUMO_CLI_COMMAND_LINE_H_
#define LUMO_CLI_COMMAND_LINE_H_

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace lumo::cli {

struct Tool;

// Parses the command line and runs the chosen command; returns the exit status.
int RunCommandLine(int argc, char** argv);

// Builds the tool's command tree on `app` (named "lumo"); choosing a command leaves its action
// in `tool`. Both must outlive parsing and the action.
void BuildCommandLine(CLI::App& app, Tool& tool);

// The edit distance between two words (insertions, deletions and substitutions).
size_t EditDistance(const std::string& a, const std::string& b);

// The candidate closest to `word`, when it is close enough to be a likely typo.
std::optional<std::string> ClosestWord(const std::string& word,
                                       const std::vector<std::string>& candidates);

// What the words after the program name say, followed down the command tree of `app`.
struct WordsCheck {
  const CLI::App* command = nullptr;   // the deepest command they name
  std::optional<std::string> problem;  // a wrong word, said for the error line
  bool asks_for_help = false;          // --help, -h, --version or -V is among them
};
WordsCheck CheckWords(const CLI::App& app, const std::vector<std::string>& words);

// The commands that may follow `command`, one line each, and how to learn more.
std::string CommandList(const CLI::App& command);

}  // namespace lumo::cli

#endif  // LUMO_CLI_COMMAND_LINE_H_
