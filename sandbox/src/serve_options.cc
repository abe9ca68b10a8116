#include "sandbox/serve_options.h"

#include <CLI/CLI.hpp>

namespace lumo::sandbox {

void AddServeOptions(CLI::App& app, Options& options) {
  app.add_option("--port", options.port, "Port to listen on; 0 picks a free one")
      ->capture_default_str();
  app.add_option("--db", options.db_path, "SQLite file for the state, or :memory:")
      ->type_name("FILE");
  app.add_option("--threads", options.threads, "Worker threads")
      ->check(CLI::Range(1, 64))
      ->capture_default_str();
  app.add_option("--bind", options.bind_address, "Address to listen on (an IP literal)")
      ->check(CLI::ValidIPV4)
      ->capture_default_str();
}

// Scripts read the port as the digits that end the line.
std::string StartupLine(const Options& options, uint16_t port) {
  return "lumo-sandbox listening on http://" + options.bind_address + ":" + std::to_string(port);
}

// The viewer answers loopback peers only, whatever the listening address.
std::string ViewerLine(uint16_t port) {
  return "viewer: http://127.0.0.1:" + std::to_string(port) + "/_sandbox/";
}

}  // namespace lumo::sandbox
