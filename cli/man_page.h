// Man pages made from the command tree: lumo(1) with the global options and the tool's notes,
// and one page per command group (lumo-list(1), ...) with each command's usage and options.
// The `sandbox` group's page is lumo-sandbox-commands(1): lumo-sandbox(1) is the server's.
#ifndef LUMO_CLI_MAN_PAGE_H_
#define LUMO_CLI_MAN_PAGE_H_

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace lumo::cli {

struct ManPage {
  std::string name;  // "lumo" or "lumo-list"; the file is name + ".1"
  std::string text;  // roff, ASCII only
};

// lumo(1) first, then one page per command that has subcommands of its own, in the tree's
// order.
std::vector<ManPage> ManPages(const CLI::App& app, const std::string& version);

// `text` for roff: backslashes and dashes escaped, a line's leading dot or quote guarded, and
// each character beyond ASCII written as \[uXXXX], so that man shows it whatever the locale.
std::string RoffText(const std::string& text);

}  // namespace lumo::cli

#endif  // LUMO_CLI_MAN_PAGE_H_
