// Shell completion scripts made from the command tree: commands, options and the values an
// option or argument takes (its choices, or file names).
#ifndef LUMO_CLI_COMPLETION_H_
#define LUMO_CLI_COMPLETION_H_

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace lumo::cli {

// The shells there are scripts for.
extern const std::vector<std::string> kCompletionShells;  // bash, zsh, fish

// The completion script of the tree of `app` for `shell` (one of kCompletionShells); empty for
// another shell.
std::string CompletionScript(const CLI::App& app, const std::string& shell);

// The values an option or positional argument takes: its choices ("{a,b}" as its type name).
std::vector<std::string> ChoicesOf(const CLI::Option& option);
// Whether it names a file.
bool TakesFile(const CLI::Option& option);

}  // namespace lumo::cli

#endif  // LUMO_CLI_COMPLETION_H_
