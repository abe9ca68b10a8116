// The sandbox's own API under /_sandbox/, beside the service it stands in for: the request log and
// one exchange of it, the event stream that follows the log, the fault rules, the seed users'
// state, replay and reset, the service's methods and codes, and the viewer's page. It answers
// loopback peers only, and only requests that no other page in a browser could send
// (viewer_guard.h). Knows nothing of the service itself: a replay goes through the function the
// service hands in.
#ifndef SANDBOX_SRC_SANDBOX_API_H_
#define SANDBOX_SRC_SANDBOX_API_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "event_feed.h"
#include "exchange.h"
#include "fault_rules.h"
#include "request_log.h"
#include "store.h"

namespace lumo::sandbox {

// Every path of the API starts with this.
inline constexpr std::string_view kApiPrefix = "/_sandbox/";
// Where fault rules are posted, and the most body bytes a rule takes: room for a verbatim body of
// kMaxVerbatimBody even when every byte of it is written as a \u escape.
inline constexpr std::string_view kRulesPath = "/_sandbox/rules";
inline constexpr uint64_t kMaxRuleBody = 6 * kMaxVerbatimBody + 4096;

// What sending a kept request again gave: what a client would have been answered, and the
// sequence number of the exchange it was logged as (0 when it was not logged).
struct Resent {
  HttpReply reply;
  uint64_t seq = 0;
};
// Sends `request` through the service once more, as a new exchange.
using SendAgain = std::function<Resent(HttpRequest request)>;

// What the API reads and changes.
struct ApiState {
  Store& store;
  RequestLog& log;
  KeptRequests& kept;
  FaultRules& rules;
  EventHub& events;
  EventBacklog& backlog;  // the frames a new follower of `events` starts with
};

// Every path the API knows is a row of one table: the path (or what it starts with), the verb and
// the handler. Any thread: Handle may run on every worker thread at once. Its state must outlive
// the SandboxApi.
class SandboxApi {
 public:
  // `listen_address` is the address the server listens on, one of the Host names the API answers.
  SandboxApi(ApiState state, std::string listen_address, SendAgain send_again);
  SandboxApi(const SandboxApi&) = delete;
  SandboxApi& operator=(const SandboxApi&) = delete;

  static bool IsApiPath(std::string_view path) {
    return path.substr(0, kApiPrefix.size()) == kApiPrefix;
  }

  // Answers a request whose path IsApiPath, with the headers that keep a browser from
  // misreading or framing the answer. Refusals and storage failures become answers here.
  HttpReply Handle(const HttpRequest& request);

 private:
  // One request as a handler reads it.
  struct Asked {
    const HttpRequest& request;
    std::string_view path;  // after kApiPrefix, without the query
    std::string_view query;
  };
  enum class Match {
    kExact,       // the path is the route's
    kPrefix,      // the path starts with the route's
    kViewerFile,  // the path names one of the viewer's files
  };
  struct Route {
    Match match;
    std::string_view path;
    std::string_view verb;
    HttpReply (SandboxApi::*handle)(const Asked& asked);
  };
  static const Route kRoutes[];

  HttpReply Respond(const HttpRequest& request);
  static bool Matches(const Route& route, std::string_view path);
  // The route for the path and verb. Throws Refusal: kNotFound for a path no route has,
  // kVerbNotAllowed for another verb.
  static const Route& FindRoute(std::string_view path, std::string_view verb);

  HttpReply ViewerFile(const Asked& asked);
  // The service's methods and the codes the sandbox answers with, for the viewer.
  HttpReply Protocol(const Asked& asked);
  HttpReply State(const Asked& asked);
  HttpReply Exchange(const Asked& asked);
  HttpReply Events(const Asked& asked);
  HttpReply ReadLog(const Asked& asked);
  HttpReply ClearLog(const Asked& asked);
  HttpReply ListRules(const Asked& asked);
  HttpReply AddRule(const Asked& asked);
  HttpReply ClearRules(const Asked& asked);
  HttpReply RemoveRule(const Asked& asked);
  // Sends the kept request of the exchange the body names once more, as a new exchange.
  HttpReply Replay(const Asked& asked);
  HttpReply Reset(const Asked& asked);

  // Puts the log back to empty (the kept requests with it) and tells the followers.
  void EmptyLog();

  const ApiState state_;
  const std::string listen_address_;
  const SendAgain send_again_;
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_SANDBOX_API_H_
