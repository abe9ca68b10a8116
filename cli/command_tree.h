// Reading the command tree that BuildCommandLine (command_line.h) makes: its commands, the options
// that may follow each one and their paths. Help, the man pages and the shell completions all
// describe the tool from it.
#ifndef LUMO_CLI_COMMAND_TREE_H_
#define LUMO_CLI_COMMAND_TREE_H_

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace lumo::cli {

// Named subcommands of `app` (option groups are nameless subcommands to CLI11).
std::vector<const CLI::App*> Subcommands(const CLI::App& app);
// The options that may follow `app`: its own, its option groups' and, when `inherited`, those of
// the commands above it (which fall through).
std::vector<const CLI::Option*> OptionsOf(const CLI::App& app, bool inherited = true);
// "list show" for that command; empty for the tool itself.
std::string CommandPath(const CLI::App& command);

}  // namespace lumo::cli

#endif  // LUMO_CLI_COMMAND_TREE_H_
