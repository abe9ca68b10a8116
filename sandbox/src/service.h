// The sandbox as a function from HTTP request to reply: the REST endpoint (protocol checks,
// fault rules, handlers) and the object store, each exchange logged, and the /_sandbox/ API
// (sandbox_api.h) beside them. Knows nothing of sockets.
#ifndef SANDBOX_SRC_SERVICE_H_
#define SANDBOX_SRC_SERVICE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "event_feed.h"
#include "exchange.h"
#include "fault_rules.h"
#include "handlers.h"
#include "request_log.h"
#include "sandbox_api.h"
#include "store.h"

namespace lumo::sandbox {

// The most body bytes of a request other than an upload or a fault rule.
inline constexpr uint64_t kMaxRequestBody = uint64_t{1024} * 1024;

// Decided once a request's header has arrived, before any of its body is read.
struct BodyAdmission {
  std::optional<HttpReply> refusal;  // when set: answer this and read no body
  uint64_t body_limit = 0;           // otherwise: read at most this many body bytes
};

// Any thread: Handle may run on every worker thread at once.
class Service {
 public:
  // Opens (and on first use seeds) the database. Throws StoreError. `listen_address` is the
  // address the server listens on, one of the Host names the sandbox API answers.
  explicit Service(const std::string& db_path, std::string listen_address = "127.0.0.1");
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Whether to read the body of the request whose header is `head` (its body still empty), and
  // how much of it. Refuses (and logs) an upload its grant does not allow, so that no client
  // can make the server hold a body it will throw away.
  BodyAdmission AdmitBody(const HttpRequest& head);

  HttpReply Handle(const HttpRequest& request);

 private:
  // AdmitBody and Dispatch set `*logged` (when given) to the sequence number of the exchange
  // they logged, if they logged one.
  BodyAdmission Admit(const HttpRequest& head, uint64_t* logged);
  BodyAdmission AdmitUpload(const HttpRequest& head, std::string_view path, uint64_t* logged);
  HttpReply Dispatch(const HttpRequest& request, uint64_t* logged);
  HttpReply HandleApi(const HttpRequest& request, std::string_view query, LogRecord& record);
  // A refused call of a known method, as a rule for refused calls changes it.
  HttpReply FaultRefusal(HttpReply refusal, LogRecord& record);
  HttpReply HandleObject(const HttpRequest& request, std::string_view path, LogRecord& record);
  // Sends a request once more, as a new exchange: a replay.
  Resent SendAgain(HttpRequest request);
  Json RunHandler(Handler handler, const Call& call);
  // Adds the record to the log, keeps `request` (when given: the exchange's whole request, body
  // included) for a replay, and hands the record to the viewer's clients. Returns its sequence
  // number.
  uint64_t Log(LogRecord record, const HttpRequest* request);
  // The user whose token this is. Throws StoreError.
  std::optional<User> ResolveToken(std::string_view token);

  Store store_;
  const Router router_;
  RequestLog log_;
  KeptRequests kept_;
  FaultRules rules_;
  EventHub events_;
  EventBacklog backlog_;  // reads log_
  SandboxApi api_;        // reads and changes all of the above
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_SERVICE_H_
