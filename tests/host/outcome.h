// Records the signals of a WinHttpRequest, for the host's HTTP tests.
#ifndef TESTS_HOST_OUTCOME_H_
#define TESTS_HOST_OUTCOME_H_

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>

#include "base/http/win_http_request.h"

namespace lumo::testing {

// Records the signals of one request; they may arrive on any thread.
class Outcome : public sigslot::has_slots<> {
 public:
  explicit Outcome(base::http::WinHttpRequest* request) : request_(request) {
    request->response_completed.connect(this, &Outcome::OnCompleted);
    request->request_failed.connect(this, &Outcome::OnFailed);
  }
  void OnCompleted() { Record(true, request_->GetStatus(), request_->GetResponseBody(), L""); }
  void OnFailed(int code, std::wstring text) { Record(false, code, "", std::move(text)); }

  // Waits for a signal; false if none came in time.
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return signalled_.wait_for(lock, std::chrono::seconds(20),
                               [this] { return completed + failed > 0; });
  }

  int completed = 0;
  int failed = 0;
  int32_t code = 0;  // the HTTP status, or the CURLcode of a failure
  std::string body;
  std::wstring error_text;

 private:
  void Record(bool answered, int32_t value, std::string answer, std::wstring text) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++(answered ? completed : failed);
    code = value;
    body = std::move(answer);
    error_text = std::move(text);
    signalled_.notify_all();
  }

  base::http::WinHttpRequest* request_;
  std::mutex mutex_;
  std::condition_variable signalled_;
};

}  // namespace lumo::testing

#endif  // TESTS_HOST_OUTCOME_H_
