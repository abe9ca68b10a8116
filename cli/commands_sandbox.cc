// The sandbox service: running it in the foreground for other programs (or other runs of the
// tool with --connect-to), its seed users, and its inspection and fault endpoints under
// /_sandbox/ (reset, the request log, fault rules).
#include <cpprest/base_uri.h>
#include <cpprest/json.h>

#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "direct_http.h"
#include "exchange_watch.h"
#include "report.h"
#include "sandbox/serve_options.h"
#include "sandbox/server.h"
#include "sandbox/stop_request.h"
#include "sandbox_seed.h"
#include "service_codes.h"

namespace lumo::cli {
namespace {

using web::json::value;

int RunServe(const GlobalOptions& options, const sandbox::Options& args) {
  // Before the server's threads start (see StopRequest).
  sandbox::StopRequest stop;

  sandbox::Options server_options = args;
  if (server_options.db_path.empty()) server_options.db_path = SandboxStatePath(options.db_path);
  sandbox::Server server(server_options);
  std::string error;
  if (!server.Start(&error)) {
    std::cerr << "lumo: sandbox serve failed: " << error << "\n";
    return kExitTransportError;
  }
  std::cout << sandbox::StartupLine(server_options, server.port()) << "\n"
            << sandbox::ViewerLine(server.port()) << std::endl;
  Output(options).Notice("state in " + server_options.db_path +
                         "; use it with: lumo --connect-to " + server_options.bind_address + ":" +
                         std::to_string(server.port()) + " COMMAND; stop with Ctrl-C");
  stop.Wait();
  server.Stop();
  Output(options).Notice("sandbox stopped");
  return kExitOk;
}

int RunUsers(const GlobalOptions& options, const NoArgs&) {
  value rows = value::array();
  size_t i = 0;
  for (const SeedUser& user : SeedUsers()) {
    value row = OrderedObject();
    row[U("role")] = JsonText(user.role);
    row[U("name")] = JsonText(user.name);
    row[U("id")] = JsonText(user.id);
    row[U("token")] = JsonText(user.token);
    rows[i++] = std::move(row);
  }
  Report report;
  report.Table("users", std::move(rows), {"role", "name", "id", "token"});
  return Output(options).Print(report);
}

// Sends `verb` `path` to the sandbox and hands back its answer, or the exit status after an
// error line.
std::optional<int> AskSandbox(Session& session, const std::string& operation,
                              const std::string& verb, const std::string& path,
                              const std::string& body, value* answer) {
  const Output& output = session.output();
  Route& route = session.route();
  if (!session.options().dry_run && !route.Connect(operation)) return kExitTransportError;
  if (!route.target().empty() && !IsLoopbackHostPort(route.target())) {
    return output.Fail(operation,
                       "the sandbox's endpoints answer on loopback only; give --connect-to "
                       "127.0.0.1:PORT",
                       kExitUsageError);
  }
  DirectRequest request;
  request.method = verb;
  request.url = "http://" + (route.target().empty() ? "127.0.0.1:PORT" : route.target()) + path;
  request.body = body;
  // The sandbox takes a POST to /_sandbox/ only with a type that no other page can send.
  if (verb == "POST") request.headers.emplace_back("Content-Type", "application/json");
  request.timeout = session.options().timeout();
  request.verbose = session.options().verbose > 0;
  if (session.options().dry_run) {
    Report report;
    report.Text("operation", operation).Text("method", verb).Text("url", request.url);
    report.Text("body", body);
    return output.Print(report);
  }
  if (route.uses_built_in_sandbox() && verb != "POST") {
    output.Notice(
        "the built-in sandbox lives only as long as this command; its log and rules start "
        "empty (run `lumo sandbox serve` and use --connect-to to keep them)");
  }
  const DirectResult result = SendDirect(request);
  if (!result.answered) {
    return output.Fail(
        operation,
        DescribeTransportFailure(result.error_code, result.error, route.target(), request.timeout),
        kExitTransportError);
  }
  try {
    *answer = value::parse(result.body);
  } catch (const std::exception&) {
    return output.Fail(operation,
                       "HTTP " + std::to_string(result.http_status) + " (not a sandbox answer)",
                       kExitTransportError);
  }
  const int code = answer->has_number_field(U("error_code"))
                       ? answer->at(U("error_code")).as_integer()
                       : static_cast<int>(result.http_status);
  if (code != kSuccessCode) {
    return output.Fail(operation, DescribeServiceError(code, result.body), kExitServiceError);
  }
  return std::nullopt;
}

const std::vector<std::string> kRuleColumns = {"id",         "method", "action", "delay_ms",
                                               "error_code", "skip",   "count",  "refused"};

int RunReset(Session& session, const NoArgs&) {
  value answer;
  if (auto exit = AskSandbox(session, "sandbox reset", "POST", "/_sandbox/reset", "", &answer)) {
    return *exit;
  }
  Report report;
  report.Text("reset", std::string("the state is the seed again; rules and log are empty"));
  return session.output().Print(report);
}

struct LogArgs {
  uint64_t since = 0;
  std::string method;
};

int RunLog(Session& session, const LogArgs& args) {
  std::string path = "/_sandbox/log?since=" + std::to_string(args.since);
  if (!args.method.empty()) {
    path += "&method=" + Utf8(web::uri::encode_data_string(JsonString(args.method)));
  }
  value answer;
  if (auto exit = AskSandbox(session, "sandbox log", "GET", path, "", &answer)) return *exit;
  Report report;
  report.Int("last_seq", answer.at(U("last_seq")).as_number().to_int64())
      .Table("entries", answer.at(U("entries")),
             {"seq", "verb", "method", "form", "user_id", "http_status", "error_code", "fault"});
  return session.output().Print(report);
}

int RunRules(Session& session, const NoArgs&) {
  value answer;
  if (auto exit = AskSandbox(session, "sandbox rules", "GET", "/_sandbox/rules", "", &answer)) {
    return *exit;
  }
  Report report;
  report.Table("rules", answer.at(U("rules")), kRuleColumns);
  return session.output().Print(report);
}

struct RuleArgs {
  std::string method = "*";
  std::string action;
  int error_code = 0;
  int delay_ms = 0;
  int count = -1;
  int skip = 0;
  bool refused = false;
  std::string body;
};

int RunAddRule(Session& session, const RuleArgs& args) {
  value rule = OrderedObject();
  rule[U("method")] = JsonText(args.method);
  rule[U("action")] = JsonText(args.action);
  if (args.action == "error_code") rule[U("error_code")] = value::number(args.error_code);
  rule[U("delay_ms")] = value::number(args.delay_ms);
  rule[U("count")] = value::number(args.count);
  rule[U("skip")] = value::number(args.skip);
  rule[U("refused")] = value::boolean(args.refused);
  if (args.action == "verbatim") rule[U("body")] = JsonText(args.body);
  value answer;
  if (auto exit = AskSandbox(session, "sandbox rules add", "POST", "/_sandbox/rules",
                             Serialized(rule), &answer)) {
    return *exit;
  }
  value rows = value::array(1);
  rows[0] = answer.at(U("rule"));
  Report report;
  report.Table("rules", rows, kRuleColumns);
  return session.output().Print(report);
}

int RunRemoveRule(Session& session, const std::string& id) {
  const std::string path = id == "all" ? "/_sandbox/rules" : "/_sandbox/rules/" + id;
  value answer;
  if (auto exit = AskSandbox(session, "sandbox rules remove", "DELETE", path, "", &answer)) {
    return *exit;
  }
  Report report;
  report.Text("removed", id == "all" ? std::string("every rule") : "rule " + id);
  return session.output().Print(report);
}

void AddRuleCommands(CLI::App& sandbox, Tool& tool) {
  CLI::App* rules = AddGroup(sandbox, "rules", "Fault rules that make methods misbehave");
  AddCommand(*rules, tool, "list", "The rules in force", std::make_shared<NoArgs>(), &RunRules);

  auto args = std::make_shared<RuleArgs>();
  CLI::App* add = AddCommand(*rules, tool, "add", "Add a fault rule", args, &RunAddRule);
  add->add_option("--method", args->method,
                  "The service method, such as norda.lumo.song.getSongLink, or * for all")
      ->capture_default_str();
  Choices(
      add->add_option("--action", args->action, "What the method does instead"),
      {"delay", "close", "truncate", "html502", "not_json", "error_code", "verbatim", "oversize"})
      ->required();
  add->add_option("--error-code", args->error_code, "The code to answer, with --action error_code");
  add->add_option("--delay-ms", args->delay_ms, "Wait this long before acting (0 to 60000)")
      ->check(Within(0, 60000));
  add->add_option("--count", args->count, "How many calls it applies to (-1: until removed)")
      ->capture_default_str();
  add->add_option("--skip", args->skip, "Let this many matching calls through first")
      ->check(Within(0, 1000000))
      ->capture_default_str();
  add->add_flag("--refused", args->refused,
                "Also apply to calls the sandbox's checks refuse (an unknown token, say)");
  add->add_option("--body", args->body, "The whole answer, with --action verbatim (up to 64 KiB)");
  add->footer(
      "Actions: delay (answer late), close (drop the connection), truncate (cut the body short), "
      "html502 (an HTML error page), not_json (a body that is not JSON), error_code (answer "
      "--error-code), verbatim (answer --body as it is), oversize (a body beyond the library's "
      "32 MiB cap).");

  AddTextCommand(*rules, tool, "remove", "Remove a rule, or every rule", "ID",
                 "The rule's id (see rules list), or all", &RunRemoveRule);
}

}  // namespace

void AddSandboxCommands(CLI::App& app, Tool& tool) {
  CLI::App* sandbox = AddGroup(app, "sandbox", "The sandbox service");
  auto serve_args = std::make_shared<sandbox::Options>();
  serve_args->db_path.clear();
  CLI::App* serve = AddStandaloneCommand(
      *sandbox, tool, "serve",
      "Run the sandbox on 127.0.0.1 in the foreground until interrupted, and print its address",
      serve_args, &RunServe);
  sandbox::AddServeOptions(*serve, *serve_args);
  serve->footer("Without --db the state is the built-in sandbox's file (see lumo --help).");

  AddStandaloneCommand(*sandbox, tool, "users", "The sandbox's seed users and their tokens",
                       std::make_shared<NoArgs>(), &RunUsers);

  AddCommand(*sandbox, tool, "reset",
             "Put the sandbox's state back to the seed, remove its rules and empty its log",
             std::make_shared<NoArgs>(), &RunReset);

  auto log_args = std::make_shared<LogArgs>();
  CLI::App* log = AddCommand(*sandbox, tool, "log", "The requests the sandbox received, decoded",
                             log_args, &RunLog);
  log->add_option("--since", log_args->since, "Only entries after this sequence number");
  log->add_option("--method", log_args->method, "Only this service method");

  AddRuleCommands(*sandbox, tool);
}

}  // namespace lumo::cli
