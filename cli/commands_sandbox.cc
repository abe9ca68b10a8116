// Running the sandbox service in the foreground, for other programs (or other runs of the tool
// with --connect-to) to use.
#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "report.h"
#include "sandbox/server.h"

namespace lumo::cli {
namespace {

struct ServeArgs {
  uint16_t port = 0;
  int threads = 2;
};

int RunServe(const GlobalOptions& options, const ServeArgs& args) {
  // Blocked before the server's threads start, so that they inherit the mask and the signals
  // wait for sigwait below.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  sandbox::Options server_options;
  server_options.port = args.port;
  server_options.threads = args.threads;
  server_options.db_path = SandboxStatePath(options.db_path);
  sandbox::Server server(server_options);
  std::string error;
  if (!server.Start(&error)) {
    std::cerr << "lumo: sandbox serve failed: " << error << "\n";
    return kExitTransportError;
  }
  const std::string address = "127.0.0.1:" + std::to_string(server.port());
  Report report;
  report.Text("address", address)
      .Int("port", server.port())
      .Text("db", server_options.db_path)
      .Text("use", "lumo --connect-to " + address + " <command>")
      .Text("stop", std::string("Ctrl-C (SIGINT) or SIGTERM"));
  PrintReport(report, options.json);
  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  server.Stop();
  std::cerr << "lumo: sandbox stopped\n";
  return kExitOk;
}

}  // namespace

void AddSandboxCommands(CLI::App& app, Tool& tool) {
  CLI::App* sandbox = AddGroup(app, "sandbox", "The sandbox service");
  auto args = std::make_shared<ServeArgs>();
  CLI::App* serve = sandbox->add_subcommand(
      "serve",
      "Run the sandbox on 127.0.0.1 in the foreground until interrupted, with its state in the "
      "--db file (default: the built-in sandbox's file), and print its address");
  serve->add_option("--port", args->port, "The port to listen on (0: any free port)");
  serve->add_option("--threads", args->threads, "Worker threads")->check(CLI::Range(1, 64));
  serve->callback([&tool, args] {
    tool.standalone_action = [args](const GlobalOptions& options) {
      return RunServe(options, *args);
    };
  });
}

}  // namespace lumo::cli
