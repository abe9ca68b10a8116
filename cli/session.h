// Running the library's requests for a command and judging how they ended: one call (Call), a
// request someone else starts (Watch, WaitForCompletion, Judge), or a multi-page task (RunTask);
// and the exit status with the error line when the outcome is not usable.
#ifndef LUMO_CLI_SESSION_H_
#define LUMO_CLI_SESSION_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/thread/mutex.h"
#include "options.h"
#include "output.h"
#include "route.h"
#include "sigslot/sigslot.h"

namespace lumoapi {
class RequestBase;
class RequestRoot;
}  // namespace lumoapi

namespace lumo::cli {

class ExchangeWatch;

// One per run of the tool, made on the UI thread after the command line is parsed. It connects
// itself to the `completed` of every request it runs or watches, so those requests must be
// destroyed before it. It installs the tool's transport and log sink for its lifetime. UI thread
// only.
class Session : public sigslot::has_slots<sigslot::single_threaded> {
 public:
  explicit Session(const GlobalOptions& options);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const GlobalOptions& options() const { return options_; }
  const Output& output() const { return output_; }
  Route& route() { return route_; }
  const std::wstring& token() const { return route_.token(); }

  // For commands whose method needs a session: nothing when there is a token, otherwise the
  // exit status after an error line naming where a token comes from.
  std::optional<int> RequireToken(const std::string& operation) const;

  // The answers a command can use: 22000, and the codes its help documents as normal answers
  // (a song link's 22469 and 24003). Any other code, even one the library takes in, ends in an
  // error line: a refusal is not shown as a success.
  struct Accept {
    std::vector<int> codes;
  };

  // What a command adds to the error line of a refusal (such as a purchase link), or empty.
  using Explain = std::function<std::string()>;

  // Sends `request` and waits for it to end. Nothing when its answer is in and usable (the
  // caller prints it); otherwise the exit status to end with: kExitOk after --dry-run printed
  // what would be sent, an error status after printing the error line, which ends with what
  // `explain` says when the service refused. `operation` names the command in those lines
  // ("song link").
  std::optional<int> Call(lumoapi::RequestBase& request, const std::string& operation,
                          const Accept& accept = {}, const Explain& explain = {});

  // Starts a multi-page `task` (anything with BeginRequest()) and waits until `end` fires: the
  // signal the task emits once when it ends, its `completed` (a signal0) or its `task_completed`
  // (a signal2<int, int>). Meanwhile draws "pages N, items M" on a progress line: N the answers
  // handled, M what `items` says, asked on the thread that handled each answer right after the
  // task took it in (so the task's results are never read while they are written); no line
  // when `items` is empty (a task of one call). Gives up
  // after --timeout without progress. Nothing when the task has ended (the caller reads its
  // outcome); otherwise the exit status as for Call.
  template <class Task, class EndSignal>
  std::optional<int> RunTask(Task& task, EndSignal& end, const std::string& operation,
                             const std::function<size_t()>& items) {
    WatchEnd(end);
    return RunWatched([&task] { task.BeginRequest(); }, operation, items);
  }
  std::optional<int> RunTask(lumoapi::RequestRoot& task, const std::string& operation,
                             const std::function<size_t()>& items);

  // How a request ended, copied while it still exists.
  struct Ending {
    int32_t status = 0;
    bool succeeded = false;
    std::wstring response_text;
    std::wstring failure;  // the library's own words for why it failed (Failure().text)
  };
  static Ending EndingOf(const lumoapi::RequestBase& request);

  // For requests started by someone else (the report pool): Watch before the request starts,
  // then WaitForCompletion (false after a timeout's error line), then Judge its ending as Call
  // does. `mark` is Mark() from before the start.
  struct Mark {
    size_t log_lines = 0;
    uint64_t exchanges = 0;
  };
  Mark MarkNow() const;
  void Watch(lumoapi::RequestRoot& request);
  void WatchEnd(sigslot::signal0<sigslot::single_threaded>& end);
  void WatchEnd(sigslot::signal2<int, int, sigslot::single_threaded>& end);
  bool WaitForCompletion(const std::string& operation);
  std::optional<int> Judge(const std::string& operation, const Ending& ending, const Mark& mark,
                           const Accept& accept = {}, const Explain& explain = {}) const;

 private:
  void OnCompleted();
  void OnTaskCompleted(int, int) { OnCompleted(); }
  bool done() const { return completions_ >= awaited_; }
  // The error line's problem, and the exit status, for a request that ended without success.
  // `body` is the answer in UTF-8; `code` its own "error_code", when it has a numeric one.
  std::pair<std::string, int> Diagnose(const Ending& ending, const std::string& body,
                                       const std::optional<int64_t>& code, const Mark& mark) const;
  // The problem in plain words when the last exchange since `mark` is what went wrong.
  std::optional<std::string> TransportProblem(const Mark& mark) const;
  // Runs what `begin` starts, once its end is watched, as RunTask says.
  std::optional<int> RunWatched(const std::function<void()>& begin, const std::string& operation,
                                const std::function<size_t()>& items);
  // --dry-run: prints the exchange that `begin` started and that was held. REQUIRES: its end is
  // watched.
  int PrintHeld(const std::function<void()>& begin, const std::string& operation);
  // Library log lines since `first`; the last one.
  std::string LastLogLineSince(size_t first) const;

  GlobalOptions options_;
  Output output_;
  Route route_;
  std::shared_ptr<ExchangeWatch> watch_;

  std::atomic<uint64_t> completions_{0};
  uint64_t awaited_ = 0;

  mutable base::thread::Mutex log_mutex_;
  std::vector<std::string> log_lines_ GUARDED_BY(log_mutex_);
};

}  // namespace lumo::cli

#endif  // LUMO_CLI_SESSION_H_
