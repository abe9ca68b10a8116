// lumo-sandbox: runs the sandbox service until SIGINT or SIGTERM.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <string>

#include "sandbox/server.h"

int main(int argc, char** argv) {
  lumo::sandbox::Options options;
  CLI::App app{"A stand-in for the music service on loopback."};
  app.add_option("--port", options.port, "port to listen on; 0 picks a free one");
  app.add_option("--db", options.db_path, "SQLite file for the state, or :memory:");
  app.add_option("--threads", options.threads, "worker threads")->check(CLI::Range(1, 64));
  app.add_option("--bind", options.bind_address, "address to listen on");
  CLI11_PARSE(app, argc, argv);

  // Block the stop signals before the workers start, so only sigwait below receives them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  lumo::sandbox::Server server(options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "lumo-sandbox: %s\n", error.c_str());
    return 1;
  }
  std::printf("lumo-sandbox listening on http://%s:%u\n", options.bind_address.c_str(),
              static_cast<unsigned>(server.port()));
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  server.Stop();
  std::printf("lumo-sandbox stopped (signal %d)\n", received);
  return 0;
}
