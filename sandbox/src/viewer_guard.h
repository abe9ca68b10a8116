// Who may use the viewer's endpoints under /_sandbox/: the request comes from a loopback peer,
// names this server in its Host header (a page whose host name was pointed at 127.0.0.1 names its
// own), does not come from a page of another site, and, for a POST, carries a JSON body or the
// viewer's own header: a page of another site could send neither without the sandbox's consent,
// which it never gives.
#ifndef SANDBOX_SRC_VIEWER_GUARD_H_
#define SANDBOX_SRC_VIEWER_GUARD_H_

#include <optional>
#include <string>
#include <string_view>

#include "exchange.h"

namespace lumo::sandbox {

// The header the viewer's page adds to what it posts; it names its sender.
inline constexpr std::string_view kViewerHeader = "X-Sandbox-Viewer";

struct GuardRefusal {
  int error_code;  // answered with the HTTP status RefusalStatus gives it
  std::string message;
};

// Why `request` for the viewer's path `what` (what follows /_sandbox/) is refused, or
// nothing when it may go on. `listen_address` is the address the server was told to listen on;
// request.local_port the port the request arrived on.
std::optional<GuardRefusal> GuardApi(const HttpRequest& request, std::string_view what,
                                     std::string_view listen_address);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_VIEWER_GUARD_H_
