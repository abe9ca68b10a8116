// The transport as the tool installs it: in front of the real one, it traces exchanges for
// --verbose, remembers how the last one ended (for the error line), and for --dry-run keeps
// them instead of sending them. Any thread.
#ifndef LUMO_CLI_EXCHANGE_WATCH_H_
#define LUMO_CLI_EXCHANGE_WATCH_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/http/transport.h"
#include "base/thread/mutex.h"

namespace lumo::cli {

// How one exchange ended.
struct ExchangeOutcome {
  uint64_t sequence = 0;  // 1 for the first exchange started; 0: none yet
  bool answered = false;
  int http_status = 0;
  bool json_body = false;  // the body looks like JSON (a service answer)
  int error_code = 0;      // the transport's code when not answered (see FailureKindOf)
  std::string error_text;
};

// A transport failure in plain words: `error_code` and `error_text` are the transport's, `target`
// the "HOST:PORT" that was asked, `timeout` the limit in force.
std::string DescribeTransportFailure(int error_code, const std::string& error_text,
                                     const std::string& target, std::chrono::seconds timeout);

// Make with std::make_shared: exchanges in flight keep it alive.
class ExchangeWatch : public base::http::Transport,
                      public std::enable_shared_from_this<ExchangeWatch> {
 public:
  struct Settings {
    int verbose = 0;  // 1: requests and outcomes; 2: also the start of the body
    bool show_token = false;
    bool hold = false;  // --dry-run: keep exchanges, never send or end them
  };
  ExchangeWatch(std::shared_ptr<Transport> inner, Settings settings);

  ExchangeId Start(base::http::TransportRequest request,
                   base::http::TransportCallback done) override;
  void Cancel(ExchangeId id) override;

  // Exchanges started so far.
  uint64_t started() const;
  // The outcome of the last exchange that ended.
  ExchangeOutcome last() const;
  // With `hold`: the first exchange started, if any.
  std::optional<base::http::TransportRequest> held() const;

  // Calls `hook` after each answer, on the thread that handled it, once the library's handling
  // has returned: a paging task has then taken in the page, and nothing writes its results
  // until the next answer. An empty hook ends the calls; once this returns, no call of the
  // previous hook is still running.
  void SetAfterAnswer(std::function<void()> hook);

 private:
  void Ended(ExchangeOutcome outcome);
  void AfterAnswer();

  const std::shared_ptr<Transport> inner_;
  const Settings settings_;
  mutable base::thread::Mutex mutex_;
  uint64_t started_ GUARDED_BY(mutex_) = 0;
  ExchangeOutcome last_ GUARDED_BY(mutex_);
  std::optional<base::http::TransportRequest> held_ GUARDED_BY(mutex_);
  // Its own mutex: the hook may take a while, and must not hold up the other members.
  base::thread::Mutex hook_mutex_;
  std::function<void()> after_answer_ GUARDED_BY(hook_mutex_);
};

}  // namespace lumo::cli

#endif  // LUMO_CLI_EXCHANGE_WATCH_H_
