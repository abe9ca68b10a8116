// The tool's subcommands, one family per file. Each family adds its subcommands to the command
// line; the one the user chose leaves its action in the Tool, which main runs once parsing is
// done.
#ifndef LUMO_CLI_COMMANDS_H_
#define LUMO_CLI_COMMANDS_H_

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>

#include "session.h"

namespace lumo::cli {

struct Tool {
  GlobalOptions options;
  // The chosen command: run with a session, or on its own (a command that is not a call to the
  // service, such as serving the sandbox).
  std::function<int(Session&)> action;
  std::function<int(const GlobalOptions&)> standalone_action;
};

// Adds a subcommand whose arguments live in an `Args` owned by the command line; choosing it
// sets `tool.action` to `run`.
template <class Args>
CLI::App* AddCommand(CLI::App& parent, Tool& tool, const std::string& name,
                     const std::string& description, std::shared_ptr<Args> args,
                     int (*run)(Session&, const Args&)) {
  CLI::App* command = parent.add_subcommand(name, description);
  command->callback([&tool, args, run] {
    tool.action = [args, run](Session& session) { return run(session, *args); };
  });
  return command;
}

// A subcommand whose only argument is one required text, such as a query or an id.
inline CLI::App* AddTextCommand(CLI::App& parent, Tool& tool, const std::string& name,
                                const std::string& description, const std::string& argument,
                                const std::string& argument_description,
                                int (*run)(Session&, const std::string&)) {
  auto text = std::make_shared<std::string>();
  CLI::App* command = AddCommand(parent, tool, name, description, text, run);
  command->add_option(argument, *text, argument_description)->required();
  return command;
}

// Runs `request` and prints what `describe` makes of its result.
template <class Request, class Describe>
int CallAndPrint(Session& session, Request& request, const std::string& operation,
                 Describe describe) {
  if (auto exit = session.Call(request, operation)) return *exit;
  return session.Print(describe(request));
}

// A group of subcommands ("radio", "cloud"): one of them must be chosen.
CLI::App* AddGroup(CLI::App& parent, const std::string& name, const std::string& description);

void AddCatalogueCommands(CLI::App& app, Tool& tool);  // song, search, artist, recommend, splash
void AddRadioCommands(CLI::App& app, Tool& tool);
void AddCloudCommands(CLI::App& app, Tool& tool);
void AddReportCommands(CLI::App& app, Tool& tool);
void AddSandboxCommands(CLI::App& app, Tool& tool);

}  // namespace lumo::cli

#endif  // LUMO_CLI_COMMANDS_H_
