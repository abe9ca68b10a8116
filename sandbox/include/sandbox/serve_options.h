// The command-line options of a standalone sandbox server, shared by `lumo-sandbox` and
// `lumo sandbox serve` so that both take the same options and say the same thing at start-up.
#ifndef SANDBOX_SERVE_OPTIONS_H_
#define SANDBOX_SERVE_OPTIONS_H_

#include <cstdint>
#include <string>

#include "sandbox/server.h"

namespace CLI {  // NOLINT(readability-identifier-naming): CLI11's name
class App;
}

namespace lumo::sandbox {

// Adds --port, --db, --threads and --bind to `app`, bound to the fields of `options` (which must
// outlive the parse). The current field values are the defaults.
void AddServeOptions(CLI::App& app, Options& options);

// The line printed once the server listens, ending with the port.
std::string StartupLine(const Options& options, uint16_t port);
// The line after it: where a browser on this machine finds the viewer.
std::string ViewerLine(uint16_t port);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SERVE_OPTIONS_H_
