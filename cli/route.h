// Where requests go: the built-in sandbox, started inside the process on first use with its
// state in a file, or the server named by --connect-to; and the session token that goes with it.
#ifndef LUMO_CLI_ROUTE_H_
#define LUMO_CLI_ROUTE_H_

#include <memory>
#include <string>

#include "options.h"

namespace lumo::sandbox {
class Server;
}

namespace lumo::cli {

class Output;

// The sandbox's state file: `db_option` when given, else lumo/sandbox.db in the folder where
// programs keep their state (StateHome). Its folder is created if need be. UTF-8.
std::string SandboxStatePath(const std::string& db_option);

// The library addresses the service by this name and port; routing decides where it goes.
extern const char kServiceHostPort[];

// One per run of the tool. Routes are process-wide (the transport's), so there is one Route.
// UI thread only; `output` must outlive it.
class Route {
 public:
  Route(const GlobalOptions& options, const Output& output);
  ~Route();  // stops the built-in sandbox
  Route(const Route&) = delete;
  Route& operator=(const Route&) = delete;

  bool uses_built_in_sandbox() const { return options_.uses_built_in_sandbox(); }
  // --token (or LUMO_TOKEN), else the sandbox's ordinary user with the built-in sandbox, else
  // empty.
  const std::wstring& token() const { return token_; }
  // `value` unless empty; otherwise `sandbox_default` with the built-in sandbox.
  std::wstring OrSandboxDefault(const std::wstring& value, const char* sandbox_default) const;

  // Routes the service's address to the built-in sandbox, started here, or to --connect-to.
  // Idempotent. False after printing an error line for `operation`.
  bool Connect(const std::string& operation);
  // "HOST:PORT" the service is routed to: --connect-to, or the built-in sandbox once connected;
  // empty before that.
  const std::string& target() const { return target_; }
  // libcurl's CONNECT_TO route of `host` (port 80) to the target; empty when there is none.
  std::string RouteFor(const std::string& host) const;

 private:
  GlobalOptions options_;
  const Output& output_;
  std::wstring token_;
  std::unique_ptr<sandbox::Server> sandbox_;
  std::string target_;
};

}  // namespace lumo::cli

#endif  // LUMO_CLI_ROUTE_H_
