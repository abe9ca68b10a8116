// A transport that tests drive by hand: every started exchange waits until the test answers or
// fails it, on whichever thread the test calls Answer or Fail from.
#ifndef TESTS_SUPPORT_FAKE_TRANSPORT_H_
#define TESTS_SUPPORT_FAKE_TRANSPORT_H_

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/http/transport.h"
#include "base/thread/mutex.h"

namespace lumo::testing {

// Any thread. Callbacks run on the thread that calls Answer or Fail, outside the internal lock.
// Cancel keeps the transport contract: once it returns, the exchange's callback is not called,
// and if another thread is inside that callback, Cancel waits for it to return (but not when
// called from inside the callback itself).
class FakeTransport : public base::http::Transport {
 public:
  struct Exchange {
    ExchangeId id = 0;
    base::http::TransportRequest request;
  };

  FakeTransport() = default;
  FakeTransport(const FakeTransport&) = delete;
  FakeTransport& operator=(const FakeTransport&) = delete;

  ExchangeId Start(base::http::TransportRequest request,
                   base::http::TransportCallback done) override;
  void Cancel(ExchangeId id) override;

  // Started, not answered, not cancelled; in start order.
  std::vector<Exchange> Pending() const;
  // Every exchange ever started, in start order.
  std::vector<Exchange> Started() const;

  // Calls the exchange's callback on the calling thread with an answer or a failure. False (and
  // nothing called) if `id` is unknown, already answered or failed, or cancelled.
  bool Answer(ExchangeId id, int32_t status, std::string body);
  bool Fail(ExchangeId id, int error_code, std::string error_text);

  bool IsCancelled(ExchangeId id) const;
  // True from the moment Answer or Fail takes the exchange until its callback has returned.
  bool IsAnswering(ExchangeId id) const;

 private:
  enum class State { kPending, kAnswering, kAnswered, kCancelled };
  struct Entry {
    Exchange exchange;
    base::http::TransportCallback done;
    State state = State::kPending;
    std::thread::id answering_thread;  // valid in kAnswering
  };

  bool Complete(ExchangeId id, base::http::TransportResult result);

  mutable base::thread::Mutex mutex_;
  std::condition_variable changed_;
  ExchangeId next_id_ GUARDED_BY(mutex_) = 1;
  std::map<ExchangeId, Entry> entries_ GUARDED_BY(mutex_);  // ordered by id, i.e. start order
};

// Installs a fresh FakeTransport for the requests constructed during its lifetime and restores
// the default transport afterwards. Test thread only.
class ScopedFakeTransport {
 public:
  ScopedFakeTransport();
  ~ScopedFakeTransport();
  ScopedFakeTransport(const ScopedFakeTransport&) = delete;
  ScopedFakeTransport& operator=(const ScopedFakeTransport&) = delete;

  FakeTransport& operator*() { return *transport_; }
  FakeTransport* operator->() { return transport_.get(); }

 private:
  std::shared_ptr<FakeTransport> transport_;
};

}  // namespace lumo::testing

#endif  // TESTS_SUPPORT_FAKE_TRANSPORT_H_
