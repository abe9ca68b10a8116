// lumo-sandbox: runs the sandbox service until SIGINT or SIGTERM.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <string>

#include "sandbox/serve_options.h"
#include "sandbox/server.h"

int main(int argc, char** argv) {
  lumo::sandbox::Options options;
  CLI::App app{"A stand-in for the music service on loopback."};
  lumo::sandbox::AddServeOptions(app, options);
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
  std::printf("%s\n%s\n", lumo::sandbox::StartupLine(options, server.port()).c_str(),
              lumo::sandbox::ViewerLine(server.port()).c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  server.Stop();
  std::printf("lumo-sandbox stopped (signal %d)\n", received);
  return 0;
}
