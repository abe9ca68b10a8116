// Who may use the inspection endpoints under /_sandbox/: besides a loopback peer, the request
// must name this server in its Host header (a page whose host name was rebound to 127.0.0.1 names
// its own), must not come from a page of another origin, and a POST must carry something that a
// page of another origin can only send after asking the sandbox first, which it never allows.
#ifndef SANDBOX_SRC_INSPECTION_GUARD_H_
#define SANDBOX_SRC_INSPECTION_GUARD_H_

#include <optional>
#include <string>
#include <string_view>

#include "exchange.h"

namespace lumo::sandbox {

// The header the viewer's page adds to what it posts. Any header that a browser lets a page of
// another origin send only after asking the server would do as well; this one names its sender.
inline constexpr std::string_view kViewerHeader = "X-Sandbox-Viewer";

struct GuardRefusal {
  int status;
  int error_code;
  std::string message;
};

// Why `request` for the inspection path `what` (the part after /_sandbox/) is refused, or
// nothing when it may go on. `listen_address` is the address the server was told to listen on;
// request.local_port the port the request arrived on.
std::optional<GuardRefusal> GuardInspection(const HttpRequest& request, std::string_view what,
                                            std::string_view listen_address);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_INSPECTION_GUARD_H_
