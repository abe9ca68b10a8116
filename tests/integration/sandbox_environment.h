// What the integration tests share: one sandbox per test program, started in-process before the
// first test with the service's address routed to it, running requests through the real
// transport, and reading the sandbox's own view (its request log) over HTTP.
#ifndef TESTS_INTEGRATION_SANDBOX_ENVIRONMENT_H_
#define TESTS_INTEGRATION_SANDBOX_ENVIRONMENT_H_

#include <cpprest/json.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lumoapi/request_base.h"
#include "sandbox/server.h"
#include "test_client.h"

namespace lumo::integration {

// Starts the sandbox (state in memory) and routes the service's host name to it; undoes that at
// the end.
class SandboxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  static uint16_t port();
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
