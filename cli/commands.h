// The tool's subcommands, one family per file. Each family adds its subcommands to the command
// line; the one the user chose leaves its action in the Tool, which main runs once parsing is
// done.
#ifndef LUMO_CLI_COMMANDS_H_
#define LUMO_CLI_COMMANDS_H_

#include <cpprest/json.h>
#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "output.h"
#include "report.h"
#include "session.h"

namespace lumo::cli {

struct Tool {
  GlobalOptions options;
  // The chosen command: run with a session, or on its own (a command that sends nothing to the
  // service, such as serving the sandbox or printing a table the tool knows).
  std::function<int(Session&)> action;
  std::function<int(const GlobalOptions&)> standalone_action;
};

// Ids the service sends as decimal texts: song, artist, scene and user ids.
extern const CLI::Validator kNumericId;

// Limits `option` to `choices`: its help shows them as {a,b,c} (where completion finds them),
// and another value is refused with the closest choice named.
CLI::Option* Choices(CLI::Option* option, const std::vector<std::string>& choices);

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

// The same for a command that needs no session; `run` gets the global options.
template <class Args>
CLI::App* AddStandaloneCommand(CLI::App& parent, Tool& tool, const std::string& name,
                               const std::string& description, std::shared_ptr<Args> args,
                               int (*run)(const GlobalOptions&, const Args&)) {
  CLI::App* command = parent.add_subcommand(name, description);
  command->callback([&tool, args, run] {
    tool.standalone_action = [args, run](const GlobalOptions& options) {
      return run(options, *args);
    };
  });
  return command;
}

// A subcommand whose only argument is one required text, such as a query or an id.
CLI::App* AddTextCommand(CLI::App& parent, Tool& tool, const std::string& name,
                         const std::string& description, const std::string& argument,
                         const std::string& argument_description,
                         int (*run)(Session&, const std::string&));

// A group of subcommands ("radio", "cloud"): one of them must be chosen.
CLI::App* AddGroup(CLI::App& parent, const std::string& name, const std::string& description);

// Runs `request` and prints what `describe` makes of it. `accept`: the codes besides 22000 that
// the command's help documents as answers.
template <class Request, class Describe>
int CallAndPrint(Session& session, Request& request, const std::string& operation,
                 Describe describe, const Session::Accept& accept = {}) {
  if (auto exit = session.Call(request, operation, accept)) return *exit;
  return session.output().Print(describe(request));
}

// Runs a task that ends with `end` (see Session::RunTask) and judges how it ended by its last
// request, `task.request`, as Call does. `items` counts what it gathered, for the progress line;
// empty for a task of one call, which draws none.
template <class Task, class EndSignal>
std::optional<int> RunTaskAndJudge(Session& session, Task& task, EndSignal& end,
                                   const std::string& operation,
                                   const std::function<size_t()>& items = {},
                                   const Session::Explain& explain = {},
                                   const Session::Accept& accept = {}) {
  const Session::Mark mark = session.MarkNow();
  if (auto exit = session.RunTask(task, end, operation, items)) return *exit;
  return session.Judge(operation, Session::EndingOf(*task.request), mark, accept, explain);
}

// Where a gathering run goes on after a failed page: the option that starts there (--page or
// --offset) and its value.
struct ResumePoint {
  std::string option;
  uint64_t value = 0;
};

// A gathering run (--all) of `task` that ends with `end`, printed by `describe`. When a page
// after the first fails, its error line is followed by what the earlier pages brought (in JSON
// too, with "next_page" or "next_offset") and by a line that says how to go on from the failed
// page (`resume`); the exit status is the failure's.
template <class Task, class EndSignal>
int RunGathering(Session& session, Task& task, EndSignal& end, const std::string& operation,
                 const std::function<size_t()>& items, const std::function<Report()>& describe,
                 const std::function<ResumePoint()>& resume, const Session::Accept& accept = {}) {
  const Session::Mark mark = session.MarkNow();
  if (auto exit = session.RunTask(task, end, operation, items)) return *exit;
  const std::optional<int> failed =
      session.Judge(operation, Session::EndingOf(*task.request), mark, accept);
  const size_t gathered = items();
  if (failed && gathered == 0) return *failed;
  Report report = describe();
  if (!failed) return session.output().Print(report);
  const ResumePoint from = resume();
  report.JsonOnly("next_" + from.option.substr(2), web::json::value::number(from.value));
  const int printed = session.output().Print(report);
  session.output().Note(operation, "the " + std::to_string(gathered) +
                                       " items of the pages before are printed; to go on from "
                                       "the failed page, run it again with --all " +
                                       from.option + " " + std::to_string(from.value));
  return printed == kExitOk ? *failed : printed;
}

// The ids as the library takes them.
std::vector<std::wstring> WideTexts(const std::vector<std::string>& texts);

// Adds the required positional SONG_ID... of commands that act on songs.
void AddSongIds(CLI::App& command, std::vector<std::string>& song_ids);

struct NoArgs {};

void AddCatalogueCommands(CLI::App& app, Tool& tool);  // song, search, artist, recommend, splash
void AddRadioCommands(CLI::App& app, Tool& tool);
void AddCloudCommands(CLI::App& app, Tool& tool);
void AddReportCommands(CLI::App& app, Tool& tool);
void AddSandboxCommands(CLI::App& app, Tool& tool);
void AddListCommands(CLI::App& app, Tool& tool);      // lists, list, channels, comments, album
void AddFavoriteCommands(CLI::App& app, Tool& tool);  // fav, collect

}  // namespace lumo::cli

#endif  // LUMO_CLI_COMMANDS_H_
