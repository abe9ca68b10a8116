#include "options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>

namespace lumo::cli {
namespace {

// The longest host name there can be.
constexpr size_t kMaxHostLength = 253;

// A decimal number of 1 to `max_digits` digits, or nothing.
std::optional<uint32_t> DecimalNumber(std::string_view text, size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  uint32_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  return number;
}

const CLI::Validator kHostPort(
    [](const std::string& text) -> std::string {
      return ParseHostPort(text) ? std::string() : "expected HOST:PORT, such as 127.0.0.1:8080";
    },
    "");

}  // namespace

CLI::Validator Within(int64_t min, int64_t max) {
  return CLI::Validator(
      [min, max](const std::string& text) -> std::string {
        std::string expected = "expected a whole number from " + std::to_string(min) + " to " +
                               std::to_string(max) + ", not \"" + text + "\"";
        const bool negative = !text.empty() && text[0] == '-';
        const std::string digits = negative ? text.substr(1) : text;
        if (digits.empty() || digits.size() > 18 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
          return expected;
        }
        const int64_t number = negative ? -std::stoll(digits) : std::stoll(digits);
        return number < min || number > max ? expected : std::string();
      },
      "");
}

std::optional<HostPort> ParseHostPort(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > kMaxHostLength) {
    return std::nullopt;
  }
  const std::string_view host = text.substr(0, colon);
  for (char c : host) {
    if (std::isspace(static_cast<unsigned char>(c))) return std::nullopt;
  }
  const std::optional<uint32_t> port = DecimalNumber(text.substr(colon + 1), 5);
  if (!port || *port > 65535) return std::nullopt;
  return HostPort{std::string(host), static_cast<uint16_t>(*port)};
}

bool IsLoopbackHostPort(std::string_view text) {
  const std::optional<HostPort> target = ParseHostPort(text);
  if (!target) return false;
  std::string_view host = target->host;
  for (int part = 0; part < 4; ++part) {
    const size_t dot = part < 3 ? host.find('.') : host.size();
    if (dot == std::string_view::npos) return false;
    const std::optional<uint32_t> number = DecimalNumber(host.substr(0, dot), 3);
    if (!number || *number > 255 || (part == 0 && *number != 127)) return false;
    host.remove_prefix(std::min(dot + 1, host.size()));
  }
  return true;
}

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
      ->check(Within(1, kMaxTimeout.count()))
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
