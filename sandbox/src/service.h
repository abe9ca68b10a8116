// The sandbox as a function from HTTP request to reply: the REST endpoint (protocol checks,
// fault rules, handlers), the object store, and the /_sandbox/ inspection endpoints. Knows
// nothing of sockets.
#ifndef SANDBOX_SRC_SERVICE_H_
#define SANDBOX_SRC_SERVICE_H_

#include <optional>
#include <string>
#include <string_view>

#include "exchange.h"
#include "handlers.h"
#include "log_and_faults.h"
#include "store.h"

namespace lumo::sandbox {

// Any thread: Handle may run on every worker thread at once.
class Service {
 public:
  // Opens (and on first use seeds) the database. Throws StoreError.
  explicit Service(const std::string& db_path);

  HttpReply Handle(const HttpRequest& request);

 private:
  HttpReply Dispatch(const HttpRequest& request);
  HttpReply HandleApi(const HttpRequest& request, std::string_view query, LogRecord& record);
  HttpReply HandleObject(const HttpRequest& request, std::string_view path, LogRecord& record);
  HttpReply HandleSandbox(const HttpRequest& request, std::string_view path,
                          std::string_view query);
  Json RunHandler(Handler handler, const Call& call);
  // The user whose token this is. Throws StoreError.
  std::optional<User> ResolveToken(std::string_view token);

  Store store_;
  const Router router_;
  RequestLog log_;
  FaultRules rules_;
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_SERVICE_H_
