// What the integration tests share: one sandbox per test program with the service's address
// routed to it, running requests through the real transport, and reading the sandbox's own view
// (its request log) over HTTP.
//
// The sandbox is started in-process before the first test, or is one already running that
// LUMO_TEST_SANDBOX names ("127.0.0.1:40123": a loopback IPv4 literal and a port), which is then
// reset to its seed first. On Windows it is always one running outside: the service is built for
// Linux only, and scripts/with-sandbox.sh starts one there. Programs that share one must not run
// at the same time (ctest keeps them apart with a resource lock).
#ifndef TESTS_INTEGRATION_SANDBOX_ENVIRONMENT_H_
#define TESTS_INTEGRATION_SANDBOX_ENVIRONMENT_H_

#include <cpprest/json.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lumoapi/request_base.h"
#include "sandbox/seed_users.h"
#include "test_client.h"

namespace lumo::integration {

// The environment variable that names a running sandbox.
inline constexpr char kSandboxVariable[] = "LUMO_TEST_SANDBOX";

// Where a sandbox listens.
struct SandboxAddress {
  std::string ip;  // dotted IPv4, in 127.0.0.0/8
  uint16_t port = 0;
  std::string host_port() const { return ip + ":" + std::to_string(port); }
};

// "127.0.0.1:40123" read as an address; nothing for anything else: host names, other networks,
// IPv6, octets with leading zeros, a port of 0 or out of range, spaces.
std::optional<SandboxAddress> ParseSandboxAddress(std::string_view text);

// Starts or finds the sandbox (see the file comment) and routes the service's host name to it;
// undoes that at the end.
class SandboxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  // REQUIRES: SetUp succeeded.
  static const SandboxAddress& address();
};

// Counts a request's `completed`. Declare it before the request it watches, so that the request
// (whose destructor waits out an emission in progress) is destroyed first. UI thread, apart from
// the emissions it counts.
class Completion : public sigslot::has_slots<sigslot::single_threaded> {
 public:
  // Any request or task with a `completed` signal.
  template <class Request>
  void Watch(Request& request) {
    request.completed.connect(this, &Completion::OnCompleted);
  }
  // Watch, BeginRequest, and WaitFor(1).
  template <class Request>
  bool Run(Request& request) {
    Watch(request);
    request.BeginRequest();
    return WaitFor(1);
  }
  // Runs the UI loop until `count` emissions have been seen; false when none came in time.
  bool WaitFor(int count);
  int count() const { return count_; }

 private:
  void OnCompleted() { ++count_; }
  std::atomic<int> count_{0};
};

// Runs a request to its one completion and expects it to have succeeded.
template <class Request>
void RunOk(Request& request) {
  Completion done;
  ASSERT_TRUE(done.Run(request));
  EXPECT_TRUE(request.succeeded) << request.status;
}

// A client of the sandbox tests' own, for the sandbox in use.
sandbox::testing::Client SandboxClient();

// One exchange with the sandbox on its own port, through the sandbox tests' client: its
// inspection endpoints ("/_sandbox/log", ...) or an upload as the object store receives it.
sandbox::testing::Response ToSandbox(const std::string& verb, const std::string& target,
                                     const std::vector<std::string>& headers = {},
                                     const std::string& body = "");

// The sandbox's log entries of `method`, oldest first.
std::vector<web::json::value> Logged(const std::string& method);

// Puts the sandbox back to its seed, without rules and with an empty log.
void ResetSandbox();

}  // namespace lumo::integration

#endif  // TESTS_INTEGRATION_SANDBOX_ENVIRONMENT_H_
