// What every command shares: where the service is (the built-in sandbox or another server),
// the session token, how results are printed, and running one request to its end.
#ifndef LUMO_CLI_SESSION_H_
#define LUMO_CLI_SESSION_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sigslot/sigslot.h"

namespace lumoapi {
class RequestBase;
class RequestRoot;
}  // namespace lumoapi

namespace lumo::sandbox {
class Server;
}

namespace lumo::cli {

class Report;

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
  bool token_given = false;  // --token was given (possibly empty)
  std::string db_path;       // the built-in sandbox's state; empty: the default file
  bool json = false;
  bool dry_run = false;
  bool verbose = false;
};

// The sandbox's state file: `db_option` when given, else $XDG_STATE_HOME/lumo/sandbox.db (or
// ~/.local/state/lumo/sandbox.db). Its folder is created if need be.
std::string SandboxStatePath(const std::string& db_option);

// One per run of the tool, made on the UI thread after the command line is parsed. It connects
// itself to the `completed` of every request it runs or watches, so those requests must be
// destroyed before it. UI thread only.
class Session : public sigslot::has_slots<sigslot::single_threaded> {
 public:
  explicit Session(GlobalOptions options);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const GlobalOptions& options() const { return options_; }
  bool uses_built_in_sandbox() const { return options_.connect_to.empty(); }
  // --token, or the sandbox's ordinary user with the built-in sandbox, or empty.
  const std::wstring& token() const { return token_; }
  // `value` unless empty; otherwise `sandbox_default` with the built-in sandbox.
  std::wstring OrSandboxDefault(const std::wstring& value, const char* sandbox_default) const;

  // Which answers a command can use.
  enum class Accept {
    kParsed,       // every answer the request parsed (a song link's 22469 and 24003 included)
    kSuccessOnly,  // only 22000 (for requests that parse every code, such as the upload check)
  };

  // Sends `request` and waits for it to end. Nothing when its answer is in and usable (the
  // caller prints it); otherwise the exit status to end with: kExitOk after --dry-run printed the
  // address, an error status after printing the error line. `operation` names the command in
  // those lines ("song link").
  std::optional<int> Call(lumoapi::RequestBase& request, const std::string& operation,
                          Accept accept = Accept::kParsed);

  // How a request ended, copied while it still exists.
  struct Ending {
    int32_t status = 0;
    bool succeeded = false;
    std::wstring response_text;
  };
  static Ending EndingOf(const lumoapi::RequestBase& request);

  // For requests started by someone else (the report pool): Watch before the request starts,
  // then WaitForCompletion (false after a timeout's error line), then Judge its ending as Call
  // does. `log_mark` is LogMark() from before the start.
  void Watch(lumoapi::RequestRoot& request);
  bool WaitForCompletion(const std::string& operation);
  size_t LogMark() const;
  std::optional<int> Judge(const std::string& operation, const Ending& ending, size_t log_mark,
                           Accept accept = Accept::kParsed) const;

  // Routes the service's address to the built-in sandbox, started here, or to --connect-to.
  // Idempotent. False after printing an error line.
  bool Connect();
  // libcurl's CONNECT_TO route for `host` (port 80) to where the service is; empty before
  // Connect.
  std::string RouteFor(const std::string& host) const;

  // Prints the report on standard output and returns kExitOk.
  int Print(const Report& report) const;
  // Prints "lumo: <operation> failed: <problem>" on standard error and returns `status`.
  int Fail(const std::string& operation, const std::string& problem, int status) const;

 private:
  void OnCompleted();
  // The error line's problem, and the exit status, for a request that ended without success.
  std::pair<std::string, int> Diagnose(const Ending& ending, size_t log_mark) const;
  int PrintDryRun(lumoapi::RequestBase& request, const std::string& operation) const;
  // Library log lines since `first`; the last one.
  std::string LastLogLineSince(size_t first) const;

  GlobalOptions options_;
  std::wstring token_;
  std::unique_ptr<sandbox::Server> sandbox_;
  std::string target_;  // "HOST:PORT" the service is routed to, once connected

  std::atomic<uint64_t> completions_{0};
  uint64_t awaited_ = 0;

  mutable std::mutex log_mutex_;
  std::vector<std::string> log_lines_;  // guarded by log_mutex_
};

}  // namespace lumo::cli

#endif  // LUMO_CLI_SESSION_H_
