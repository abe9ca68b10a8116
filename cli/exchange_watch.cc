#include "exchange_watch.h"

#include <chrono>
#include <utility>

#include "direct_http.h"
#include "trace.h"

namespace lumo::cli {
namespace {

bool LooksLikeJson(const std::string& body) {
  const size_t first = body.find_first_not_of(" \t\r\n");
  return first != std::string::npos && (body[first] == '{' || body[first] == '[');
}

}  // namespace

std::string DescribeTransportFailure(int error_code, const std::string& error_text,
                                     const std::string& target, std::chrono::seconds timeout) {
  switch (FailureKindOf(error_code)) {
    case FailureKind::kRefused:
      return "nothing listens on " + target + "; start one with `lumo sandbox serve`";
    case FailureKind::kTimedOut:
      return "no answer within " + std::to_string(timeout.count()) + " s";
    case FailureKind::kNothingAnswered:
      return "the server closed the connection without answering";
    case FailureKind::kCutShort:
      return "the answer was cut short";
    case FailureKind::kOther:
      break;
  }
  return "no answer: " + error_text;
}

ExchangeWatch::ExchangeWatch(std::shared_ptr<Transport> inner, Settings settings)
    : inner_(std::move(inner)), settings_(settings) {}

base::http::Transport::ExchangeId ExchangeWatch::Start(base::http::TransportRequest request,
                                                       base::http::TransportCallback done) {
  uint64_t sequence = 0;
  {
    base::thread::MutexLock lock(&mutex_);
    sequence = ++started_;
    if (settings_.hold) {
      if (!held_) held_ = std::move(request);
      return sequence;
    }
  }
  if (settings_.verbose > 0) {
    TraceRequest(request.method, request.url, request.headers, settings_.show_token);
  }
  const auto start = std::chrono::steady_clock::now();
  return inner_->Start(std::move(request), [self = shared_from_this(), done = std::move(done),
                                            start, sequence](base::http::TransportResult result) {
    const auto took = std::chrono::steady_clock::now() - start;
    ExchangeOutcome outcome;
    outcome.sequence = sequence;
    outcome.answered = result.ok;
    if (result.ok) {
      outcome.http_status = result.status;
      outcome.json_body = LooksLikeJson(result.body);
      if (self->settings_.verbose > 0) TraceAnswer(result.status, result.body.size(), took);
      if (self->settings_.verbose > 1) TraceBody(result.body);
    } else {
      outcome.error_code = result.error_code;
      outcome.error_text = result.error_text;
      if (self->settings_.verbose > 0) {
        TraceFailure(std::to_string(result.error_code) + " " + result.error_text, took);
      }
    }
    const bool answered = outcome.answered;
    self->Ended(std::move(outcome));
    done(std::move(result));
    if (answered) self->AfterAnswer();
  });
}

void ExchangeWatch::Cancel(ExchangeId id) {
  if (!settings_.hold) inner_->Cancel(id);
}

void ExchangeWatch::Ended(ExchangeOutcome outcome) {
  base::thread::MutexLock lock(&mutex_);
  last_ = std::move(outcome);
}

void ExchangeWatch::SetAfterAnswer(std::function<void()> hook) {
  base::thread::MutexLock lock(&hook_mutex_);
  after_answer_ = std::move(hook);
}

void ExchangeWatch::AfterAnswer() {
  base::thread::MutexLock lock(&hook_mutex_);
  if (after_answer_) after_answer_();
}

uint64_t ExchangeWatch::started() const {
  base::thread::MutexLock lock(&mutex_);
  return started_;
}

ExchangeOutcome ExchangeWatch::last() const {
  base::thread::MutexLock lock(&mutex_);
  return last_;
}

std::optional<base::http::TransportRequest> ExchangeWatch::held() const {
  base::thread::MutexLock lock(&mutex_);
  return held_;
}

}  // namespace lumo::cli
