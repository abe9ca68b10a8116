#include "session.h"

#include <algorithm>
#include <utility>

#include "address.h"
#include "base/http/transport.h"
#include "base/logging.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "exchange_watch.h"
#include "lumoapi/request_base.h"
#include "report.h"
#include "service_codes.h"
#include "trace.h"

namespace lumo::cli {
namespace {

using base::string_utils::ToUtf8;

// The transport normally ends a call by itself at --timeout; the tool's own wait is a backstop.
constexpr std::chrono::seconds kWaitGrace{5};
// How often a task's progress line is redrawn.
constexpr std::chrono::milliseconds kProgressInterval{100};
// The transport's own connect limit, when --timeout is not shorter.
constexpr std::chrono::seconds kConnectTimeout{10};

// The library's failure lines end with ": <address>"; the error line does not repeat it.
std::string WithoutAddress(const std::string& line) {
  const size_t at = line.rfind(": http");
  return at == std::string::npos ? line : line.substr(0, at);
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string NoAnswerWithin(std::chrono::seconds timeout) {
  return "no answer within " + std::to_string(timeout.count()) + " s";
}

}  // namespace

Session::Session(const GlobalOptions& options)
    : options_(options), output_(options_), route_(options_, output_) {
  base::http::TransportLimits limits;
  limits.connect_timeout_ms =
      std::chrono::milliseconds(std::min(kConnectTimeout, options_.timeout())).count();
  limits.total_timeout_ms = std::chrono::milliseconds(options_.timeout()).count();
  base::http::SetTransportLimits(limits);
  watch_ = std::make_shared<ExchangeWatch>(
      base::http::GetTransport(),
      ExchangeWatch::Settings{options_.verbose, options_.show_token, options_.dry_run});
  base::http::SetTransport(watch_);
  const bool verbose = options_.verbose > 0;
  const bool show_token = options_.show_token;
  base::logging::SetLogSink([this, verbose, show_token](const base::logging::LogRecord& record) {
    std::string line = ToUtf8(record.message);
    if (verbose) TraceLine(Shown("log: " + ToUtf8(record.location) + ": " + line, show_token));
    base::thread::MutexLock lock(&log_mutex_);
    log_lines_.push_back(std::move(line));
  });
}

Session::~Session() {
  // Whatever the library still logs after the command (at exit) is not for the user.
  base::logging::SetLogSink([](const base::logging::LogRecord&) {});
  base::http::SetTransport(nullptr);
}

std::optional<int> Session::RequireToken(const std::string& operation) const {
  if (!token().empty() || options_.dry_run) return std::nullopt;
  return output_.Fail(operation, "this needs a session token: give --token TOKEN or set LUMO_TOKEN",
                      kExitUsageError);
}

void Session::OnCompleted() { ++completions_; }

void Session::Watch(lumoapi::RequestRoot& request) { WatchEnd(request.completed); }

void Session::WatchEnd(sigslot::signal0<sigslot::single_threaded>& end) {
  awaited_ = completions_ + 1;
  end.connect(this, &Session::OnCompleted);
}

void Session::WatchEnd(sigslot::signal2<int, int, sigslot::single_threaded>& end) {
  awaited_ = completions_ + 1;
  end.connect(this, &Session::OnTaskCompleted);
}

bool Session::WaitForCompletion(const std::string& operation) {
  if (base::thread::UiLoop::Instance().RunUntil([this] { return done(); },
                                                options_.timeout() + kWaitGrace)) {
    return true;
  }
  output_.Fail(operation, NoAnswerWithin(options_.timeout()), kExitTransportError);
  return false;
}

Session::Mark Session::MarkNow() const {
  base::thread::MutexLock lock(&log_mutex_);
  return {log_lines_.size(), watch_->started()};
}

Session::Ending Session::EndingOf(const lumoapi::RequestBase& request) {
  return {request.status, request.succeeded, request.response_text, request.Failure().text};
}

std::optional<int> Session::Call(lumoapi::RequestBase& request, const std::string& operation,
                                 const Accept& accept, const Explain& explain) {
  Watch(request);
  if (options_.dry_run) return PrintHeld([&request] { request.BeginRequest(); }, operation);
  if (!route_.Connect(operation)) return kExitTransportError;
  const Mark mark = MarkNow();
  request.BeginRequest();
  if (!WaitForCompletion(operation)) return kExitTransportError;
  return Judge(operation, EndingOf(request), mark, accept, explain);
}

std::optional<int> Session::RunTask(lumoapi::RequestRoot& task, const std::string& operation,
                                    const std::function<size_t()>& items) {
  return RunTask(task, task.completed, operation, items);
}

std::optional<int> Session::RunWatched(const std::function<void()>& begin,
                                       const std::string& operation,
                                       const std::function<size_t()>& items) {
  if (options_.dry_run) return PrintHeld(begin, operation);
  if (!route_.Connect(operation)) return kExitTransportError;
  struct {
    base::thread::Mutex mutex;
    size_t pages GUARDED_BY(mutex) = 0;
    size_t items_so_far GUARDED_BY(mutex) = 0;
  } progress;
  watch_->SetAfterAnswer([&] {
    const size_t now = items ? items() : 0;
    base::thread::MutexLock lock(&progress.mutex);
    ++progress.pages;
    progress.items_so_far = now;
  });
  begin();
  bool stalled = false;
  {
    ProgressLine line(output_, static_cast<bool>(items));  // cleared before an error line
    size_t last_pages = 0;
    auto last_change = std::chrono::steady_clock::now();
    while (!done() && !stalled) {
      base::thread::UiLoop::Instance().RunUntil([this] { return done(); }, kProgressInterval);
      base::thread::MutexLock lock(&progress.mutex);
      const size_t now_pages = progress.pages;
      const size_t now_items = progress.items_so_far;
      lock.Unlock();
      const auto time = std::chrono::steady_clock::now();
      if (now_pages != last_pages) {
        last_pages = now_pages;
        last_change = time;
        line.Show("pages " + std::to_string(now_pages) + ", items " + std::to_string(now_items));
      }
      stalled = !done() && time - last_change > options_.timeout() + kWaitGrace;
    }
  }
  // The hook reads the task, which the caller may destroy once this returns.
  watch_->SetAfterAnswer(nullptr);
  if (stalled)
    return output_.Fail(operation, NoAnswerWithin(options_.timeout()), kExitTransportError);
  return std::nullopt;
}

std::optional<int> Session::Judge(const std::string& operation, const Ending& ending,
                                  const Mark& mark, const Accept& accept,
                                  const Explain& explain) const {
  // The library reads a code it cannot hold (beyond 32 bits) as success; the answer's own code
  // decides.
  const std::string body = ToUtf8(ending.response_text);
  const std::optional<int64_t> code = AnswerCode(body);
  const bool usable_code =
      ending.status == kSuccessCode ||
      std::find(accept.codes.begin(), accept.codes.end(), ending.status) != accept.codes.end();
  if (ending.succeeded && usable_code && (!code || *code == ending.status)) return std::nullopt;
  auto [problem, status] = Diagnose(ending, body, code, mark);
  if (status == kExitServiceError && explain) {
    const std::string more = explain();
    if (!more.empty()) problem += ": " + more;
  }
  return output_.Fail(operation, problem, status);
}

std::pair<std::string, int> Session::Diagnose(const Ending& ending, const std::string& body,
                                              const std::optional<int64_t>& code,
                                              const Mark& mark) const {
  if (code && *code != kSuccessCode) return {DescribeServiceError(*code, body), kExitServiceError};
  // Where the tool knows no more than the library, it says what the library says.
  const std::string library_says = ToUtf8(ending.failure);
  if (code) {
    // 22000 in the answer, yet the request failed: its result could not be read.
    if (!library_says.empty()) return {library_says, kExitTransportError};
    const std::string logged = LastLogLineSince(mark.log_lines);
    return {"the answer could not be read" + (logged.empty() ? "" : ": " + logged),
            kExitTransportError};
  }
  if (std::optional<std::string> problem = TransportProblem(mark)) {
    return {*problem, kExitTransportError};
  }
  if (!library_says.empty()) return {library_says, kExitTransportError};
  const std::string logged = LastLogLineSince(mark.log_lines);
  if (ending.status != 0) {
    std::string problem = "HTTP " + std::to_string(ending.status);
    if (!logged.empty()) problem += ": " + logged;
    return {problem, kExitTransportError};
  }
  return {logged.empty() ? "no usable answer" : logged, kExitTransportError};
}

std::optional<std::string> Session::TransportProblem(const Mark& mark) const {
  const ExchangeOutcome last = watch_->last();
  if (last.sequence <= mark.exchanges) return std::nullopt;
  if (last.answered) {
    if (last.json_body) return std::nullopt;
    if (last.http_status >= 200 && last.http_status <= 299) {
      return "the answer is not JSON (not a service answer)";
    }
    return "HTTP " + std::to_string(last.http_status) + " (not a service answer)";
  }
  return DescribeTransportFailure(last.error_code, last.error_text, route_.target(),
                                  options_.timeout());
}

std::string Session::LastLogLineSince(size_t first) const {
  base::thread::MutexLock lock(&log_mutex_);
  if (log_lines_.size() <= first) return std::string();
  return WithoutAddress(log_lines_.back());
}

int Session::PrintHeld(const std::function<void()>& begin, const std::string& operation) {
  const Mark mark = MarkNow();
  begin();
  std::optional<base::http::TransportRequest> held = watch_->held();
  if (!held) {
    // The address could not be built; the library reports that on the UI loop.
    base::thread::UiLoop::Instance().RunUntil([this] { return done(); }, kWaitGrace);
    return output_.Fail(operation, "cannot build the address: " + LastLogLineSince(mark.log_lines),
                        kExitUsageError);
  }
  const bool show = options_.show_token;
  Report report;
  report.Text("operation", operation)
      .Text("method", held->method)
      .Text("url", Shown(held->url, show));
  Report headers;
  std::string curl = "curl -sS";
  if (held->method != "GET") curl += " -X " + held->method;
  for (const auto& [name, value] : held->headers) {
    headers.Text(name, Shown(value, show));
    curl += " -H " + ShellQuoted(name + ": " + Shown(value, show));
  }
  const std::string route = route_.RouteFor(LUMOAPI_SERVICE_HOST);
  if (!route.empty()) curl += " --connect-to " + ShellQuoted(route);
  curl += " " + ShellQuoted(Shown(held->url, show));
  report.Section("headers", headers);
  if (std::optional<InnerText> inner = DecryptInnerText(held->url)) {
    report.Text("decrypted_parameter", inner->parameter)
        .Text("decrypted", Shown(inner->text, show));
  }
  report.Text("curl", curl);
  return output_.Print(report);
}

}  // namespace lumo::cli
