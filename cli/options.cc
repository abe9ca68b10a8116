#include "options.h"

#include <CLI/CLI.hpp>

#include <regex>

namespace lumo::cli {
namespace {

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

}  // namespace

std::string AddGlobalOptions(CLI::App& app, GlobalOptions& options) {
  app.add_option("--connect-to", options.connect_to,
                 "Send requests to the server at HOST:PORT instead of the built-in sandbox")
      ->check(kHostPort)
      ->type_name("HOST:PORT")
      ->envname("LUMO_CONNECT_TO");
  app.add_option("--token", options.token,
                 "The session token (default with the built-in sandbox: its ordinary user's)")
      ->type_name("TOKEN")
      ->envname("LUMO_TOKEN");
  app.add_option("--db", options.db_path,
                 "The sandbox's state file, for the built-in sandbox and `sandbox serve`")
      ->type_name("FILE");
  app.add_option("--timeout", options.timeout_seconds,
                 "Give up waiting for an answer after this many seconds (1 to 600)")
      ->check(CLI::Range(1, static_cast<int>(kMaxTimeout.count())))
      ->type_name("SECONDS")
      ->capture_default_str();
  app.add_flag("--json", options.json, "Print results as one JSON object");
  app.add_flag("--dry-run", options.dry_run,
               "Print what would be sent (address, headers, a curl command) without sending");
  app.add_flag("--show-token", options.show_token,
               "Show the session token in --dry-run and --verbose output instead of ***");
  app.add_flag("-v,--verbose", options.verbose,
               "Show each exchange's headers and the library's log; twice: also the answers");
  app.add_flag("-q,--quiet", options.quiet, "Leave out notices such as the built-in sandbox's");

  std::string names;
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_name() == "--help" || option->get_name() == "--version") continue;
    names += (names.empty() ? "" : ", ") + option->get_name(false, true);
  }
  return "Global options (" + names + ") may come before or after the subcommand; see lumo --help.";
}

void FinishGlobalOptions(const CLI::App& app, GlobalOptions& options) {
  options.token_given = app.get_option("--token")->count() > 0;
}

}  // namespace lumo::cli
