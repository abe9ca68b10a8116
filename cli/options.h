// What every command shares from the command line: the global options, read once by
// AddGlobalOptions, and the tool's exit statuses.
#ifndef LUMO_CLI_OPTIONS_H_
#define LUMO_CLI_OPTIONS_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace CLI {  // NOLINT(readability-identifier-naming): CLI11's name
class App;
class Validator;
}  // namespace CLI

namespace lumo::cli {

// The tool's exit statuses.
enum ExitStatus : int {
  kExitOk = 0,
  kExitServiceError = 1,    // the service answered with an error code
  kExitUsageError = 2,      // the command line (or a file it names) is wrong
  kExitTransportError = 3,  // no usable answer: connection, timeout, HTTP error, unreadable body
};

struct GlobalOptions {
  std::string connect_to;  // "HOST:PORT"; empty: the built-in sandbox
  std::string token;
  bool token_given = false;  // --token or LUMO_TOKEN was given (possibly empty)
  std::string db_path;       // the built-in sandbox's state; empty: the default file
  int timeout_seconds = 30;  // how long the tool waits for an answer
  bool json = false;
  bool dry_run = false;
  bool show_token = false;  // --dry-run and --verbose print the token instead of "***"
  int verbose = 0;          // 1: headers and the library's log; 2: also answer bodies
  bool quiet = false;       // no notices

  bool uses_built_in_sandbox() const { return connect_to.empty(); }
  std::chrono::seconds timeout() const { return std::chrono::seconds(timeout_seconds); }
};

// A "HOST:PORT" text taken apart: a host of 1 to 253 characters without ':' or white space,
// and a decimal port of 1 to 5 digits up to 65535. Nothing for anything else, however long (it
// is read once, left to right).
struct HostPort {
  std::string host;
  uint16_t port = 0;
};
std::optional<HostPort> ParseHostPort(std::string_view text);

// True for "127.a.b.c:PORT" with every part a decimal number up to 255.
bool IsLoopbackHostPort(std::string_view text);

// A whole number from `min` to `max`, checked on the text before it is converted (a "-5" must
// not wrap around).
CLI::Validator Within(int64_t min, int64_t max);

// The longest --timeout accepted.
inline constexpr std::chrono::seconds kMaxTimeout{600};

// Adds the global options to `app` (they may also follow a subcommand), bound to `options`, and
// returns the note that every subcommand's help ends with, which names them. LUMO_TOKEN and
// LUMO_CONNECT_TO stand in for --token and --connect-to. Call FinishGlobalOptions after parsing.
std::string AddGlobalOptions(CLI::App& app, GlobalOptions& options);
void FinishGlobalOptions(const CLI::App& app, GlobalOptions& options);

}  // namespace lumo::cli

#endif  // LUMO_CLI_OPTIONS_H_
