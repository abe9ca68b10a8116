#include "base/http/win_http_request.h"

#include <condition_variable>
#include <thread>
#include <utility>

#include "base/string_utils.h"
#include "base/thread/mutex.h"
#include "cross_thread_wait.h"

namespace base::http {

// Shared between the request and the transport's callback, which may outlive the request. The
// callback reaches the request only through `owner`, and only while the request is alive; the
// destructor clears `owner` and then waits until no emission of another thread is in progress.
struct WinHttpRequest::Core {
  explicit Core(WinHttpRequest* request) : owner(request) {}

  base::thread::Mutex mutex;
  std::condition_variable emission_ended;
  WinHttpRequest* owner GUARDED_BY(mutex) = nullptr;  // null once the destructor has begun
  bool emitting GUARDED_BY(mutex) = false;
  std::thread::id emitting_thread GUARDED_BY(mutex);  // valid while emitting
};

WinHttpRequest::WinHttpRequest()
    : transport_(GetTransport()), core_(std::make_shared<Core>(this)) {}

WinHttpRequest::~WinHttpRequest() {
  {
    base::thread::MutexLock lock(&core_->mutex);
    core_->owner = nullptr;
    // An emission on this very thread means the request is being deleted from inside its own
    // signal, further up this stack: waiting for it would never end. An emission on another
    // thread may be sending this thread a message: the wait serves it.
    if (core_->emitting && core_->emitting_thread != std::this_thread::get_id()) {
      thread::internal::WaitServingSentMessages(lock.native(), core_->emission_ended, [this] {
        core_->mutex.AssertHeld();
        return !core_->emitting;
      });
    }
  }
  if (sent_) transport_->Cancel(exchange_);
}

void WinHttpRequest::Open(std::wstring method, std::wstring url, bool /*async*/, bool /*flag2*/) {
  request_.method = string_utils::ToUtf8(method);
  request_.url = string_utils::ToUtf8(url);
}

void WinHttpRequest::SetRequestHeader(std::wstring name, std::wstring value) {
  request_.headers.emplace_back(string_utils::ToUtf8(name), string_utils::ToUtf8(value));
}

void WinHttpRequest::Send(unsigned int /*flags*/) {
  if (sent_) return;
  // Held across Start: the answer may arrive on another thread before Start has returned, and
  // its emission (which may delete this object) must wait until the exchange id is stored.
  // Nothing touches `this` once the lock is released.
  base::thread::MutexLock lock(&core_->mutex);
  sent_ = true;
  // Moved: nothing reads the request once it is sent.
  exchange_ = transport_->Start(std::move(request_), [core = core_](TransportResult result) {
    base::thread::MutexLock lock(&core->mutex);
    WinHttpRequest* owner = core->owner;
    if (owner == nullptr) return;
    core->emitting = true;
    core->emitting_thread = std::this_thread::get_id();
    lock.Unlock();
    // A receiver may delete `owner` during the emission; it is not touched again afterwards.
    owner->OnResult(std::move(result));
    lock.Lock();
    core->emitting = false;
    lock.Unlock();
    core->emission_ended.notify_all();
  });
}

void WinHttpRequest::OnResult(TransportResult result) {
  if (!result.ok) {
    request_failed.emit(result.error_code, string_utils::ToUtf16(result.error_text));
    return;
  }
  status_ = result.status;
  body_ = std::move(result.body);
  response_completed.emit();
}

int32_t WinHttpRequest::GetStatus() const { return status_; }

std::wstring WinHttpRequest::GetResponseText() const { return string_utils::ToUtf16(body_); }

const std::string& WinHttpRequest::GetResponseBody() const { return body_; }

bool WinHttpRequest::IsBeingDeleted() const {
  base::thread::MutexLock lock(&core_->mutex);
  return core_->owner == nullptr;
}

}  // namespace base::http
