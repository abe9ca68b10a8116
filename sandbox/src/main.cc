// lumo-sandbox: runs the sandbox service until it is asked to stop (sandbox/stop_request.h).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "sandbox/serve_options.h"
#include "sandbox/server.h"
#include "sandbox/stop_request.h"

int main(int argc, char** argv) {
  lumo::sandbox::Options options;
  CLI::App app{"A stand-in for the music service on loopback."};
  lumo::sandbox::AddServeOptions(app, options);
  CLI11_PARSE(app, argc, argv);

  // Before the workers start (see StopRequest).
  lumo::sandbox::StopRequest stop;

  lumo::sandbox::Server server(options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "lumo-sandbox: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n%s\n", lumo::sandbox::StartupLine(options, server.port()).c_str(),
              lumo::sandbox::ViewerLine(server.port()).c_str());
  std::fflush(stdout);

  const std::string asked_by = stop.Wait();
  server.Stop();
  std::printf("lumo-sandbox stopped (%s)\n", asked_by.c_str());
  return 0;
}
