// lumo: every operation of the music service's API from the command line, through the same
// library the player loads. Without --connect-to it runs the sandbox service inside the process.
#include <CLI/CLI.hpp>

#include <clocale>
#include <regex>
#include <string>

#include "base/thread/ui_loop.h"
#include "commands.h"
#include "session.h"

namespace lumo::cli {

CLI::App* AddGroup(CLI::App& parent, const std::string& name, const std::string& description) {
  CLI::App* group = parent.add_subcommand(name, description);
  group->require_subcommand(1);
  return group;
}

namespace {

constexpr char kFooter[] = R"(Where requests go:
  Without --connect-to, lumo starts the sandbox service inside the process, with its state in
  --db (default $XDG_STATE_HOME/lumo/sandbox.db, or ~/.local/state/lumo/sandbox.db), so what one
  command stores the next one sees. The session token then defaults to the sandbox's ordinary
  user. `lumo sandbox serve` runs the same service on its own for --connect-to.

Output:
  Aligned text, or one JSON object with --json (the result's members, "status" and
  "succeeded"). Errors are one line on standard error.

Exit status:
  0 success, 1 the service answered with an error code, 2 wrong command line or input file,
  3 no usable answer (connection, timeout, HTTP error, unreadable answer).

Examples:
  lumo search suggest neon
  lumo song link 100001
  lumo --json radio channel "Jazz Café"
  lumo cloud upload ~/Music/song.mp3 --artist "Someone"
  lumo --dry-run search lyrics "Title" "Artist"
)";

constexpr char kGlobalOptionsNote[] =
    "Global options (--connect-to, --token, --db, --json, --dry-run, --verbose) may come "
    "before or after the subcommand; see lumo --help.";

// Every subcommand's help ends with the note about the global options.
void AddGlobalOptionsNote(CLI::App& command) {
  for (CLI::App* sub : command.get_subcommands([](CLI::App*) { return true; })) {
    const std::string details = sub->get_footer();
    sub->footer(details.empty() ? kGlobalOptionsNote : details + "\n\n" + kGlobalOptionsNote);
    AddGlobalOptionsNote(*sub);
  }
}

std::string FailureMessage(const CLI::App* app, const CLI::Error& error) {
  return "lumo: " + std::string(error.what()) + "\nRun `" + app->get_name() +
         " --help` for more information.\n";
}

const CLI::Validator kHostPort(
    [](const std::string& text) -> std::string {
      static const std::regex kPattern(R"(^[^:\s]+:([0-9]{1,5})$)");
      std::smatch match;
      if (!std::regex_match(text, match, kPattern) || std::stoi(match[1]) > 65535) {
        return "expected HOST:PORT, such as 127.0.0.1:8080";
      }
      return std::string();
    },
    "");

int Main(int argc, char** argv) {
  // Tables measure CJK text by the cells a terminal gives it.
  std::setlocale(LC_CTYPE, "C.UTF-8");
  base::thread::UiLoop::Instance().BindToCurrentThread();

  CLI::App app(
      "Drive the music service's API: search, song links, lyrics, radio, cloud "
      "uploads, reports.",
      "lumo");
  app.require_subcommand(1);
  // Global options may also follow the subcommand.
  app.fallthrough();

  Tool tool;
  GlobalOptions& options = tool.options;
  app.add_option("--connect-to", options.connect_to,
                 "Send requests to the server at HOST:PORT instead of the built-in sandbox")
      ->check(kHostPort)
      ->type_name("HOST:PORT");
  CLI::Option* token =
      app.add_option("--token", options.token,
                     "The session token (default with the built-in sandbox: its ordinary user's)")
          ->type_name("TOKEN");
  app.add_option("--db", options.db_path,
                 "The sandbox's state file, for the built-in sandbox and `sandbox serve`")
      ->type_name("FILE");
  app.add_flag("--json", options.json, "Print results as one JSON object");
  app.add_flag("--dry-run", options.dry_run,
               "Print the address that would be sent (and its decrypted part) without sending");
  app.add_flag("-v,--verbose", options.verbose,
               "Also show each exchange's headers and timing, and the library's log");

  AddCatalogueCommands(app, tool);
  AddRadioCommands(app, tool);
  AddCloudCommands(app, tool);
  AddReportCommands(app, tool);
  AddSandboxCommands(app, tool);
  AddGlobalOptionsNote(app);
  // Set last: subcommands would inherit it.
  app.footer(kFooter);
  app.failure_message(FailureMessage);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help is a success; every other parse error is a usage error.
    return app.exit(error) == 0 ? kExitOk : kExitUsageError;
  }
  options.token_given = token->count() > 0;
  if (tool.standalone_action) return tool.standalone_action(options);
  Session session(options);
  return tool.action(session);
}

}  // namespace
}  // namespace lumo::cli

int main(int argc, char** argv) { return lumo::cli::Main(argc, argv); }
