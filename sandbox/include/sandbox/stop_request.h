// How a server run in the foreground learns that it is to stop: SIGINT or SIGTERM on Linux;
// Ctrl-C, Ctrl-Break or the closing of its console on Windows. Shared by `lumo-sandbox` and
// `lumo sandbox serve`.
#ifndef SANDBOX_STOP_REQUEST_H_
#define SANDBOX_STOP_REQUEST_H_

#include <string>

namespace lumo::sandbox {

// One per process, made on the main thread before any other thread starts: on Linux it blocks the
// stop signals there, so that the threads started afterwards inherit the mask and only Wait
// receives them. Not copyable.
class StopRequest {
 public:
  StopRequest();
  StopRequest(const StopRequest&) = delete;
  StopRequest& operator=(const StopRequest&) = delete;

  // Blocks until a stop is asked for; returns what asked, such as "signal 15" or "Ctrl-C".
  std::string Wait();
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_STOP_REQUEST_H_
