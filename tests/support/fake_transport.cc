#include "support/fake_transport.h"

#include <utility>

namespace lumo::testing {

using base::http::TransportCallback;
using base::http::TransportRequest;
using base::http::TransportResult;

FakeTransport::ExchangeId FakeTransport::Start(TransportRequest request, TransportCallback done) {
  ExchangeId id;
  {
    base::thread::MutexLock lock(&mutex_);
    id = next_id_++;
    Entry& entry = entries_[id];
    entry.exchange = Exchange{id, std::move(request)};
    entry.done = std::move(done);
  }
  changed_.notify_all();
  return id;
}

void FakeTransport::Cancel(ExchangeId id) {
  TransportCallback dropped;
  {
    base::thread::MutexLock lock(&mutex_);
    auto it = entries_.find(id);
    if (it == entries_.end()) return;
    Entry& entry = it->second;
    if (entry.state == State::kAnswering) {
      if (entry.answering_thread == std::this_thread::get_id()) return;
      changed_.wait(lock.native(), [&entry] { return entry.state != State::kAnswering; });
      return;
    }
    if (entry.state != State::kPending) return;
    entry.state = State::kCancelled;
    dropped = std::move(entry.done);
  }
  changed_.notify_all();
  // `dropped` (and whatever it captured) is destroyed here, outside the lock.
}

std::vector<FakeTransport::Exchange> FakeTransport::Pending() const {
  base::thread::MutexLock lock(&mutex_);
  std::vector<Exchange> pending;
  for (const auto& [id, entry] : entries_) {
    if (entry.state == State::kPending) pending.push_back(entry.exchange);
  }
  return pending;
}

std::vector<FakeTransport::Exchange> FakeTransport::Started() const {
  base::thread::MutexLock lock(&mutex_);
  std::vector<Exchange> started;
  for (const auto& [id, entry] : entries_) started.push_back(entry.exchange);
  return started;
}

bool FakeTransport::Answer(ExchangeId id, int32_t status, std::string body) {
  TransportResult result;
  result.ok = true;
  result.status = status;
  result.body = std::move(body);
  return Complete(id, std::move(result));
}

bool FakeTransport::Fail(ExchangeId id, int error_code, std::string error_text) {
  TransportResult result;
  result.error_code = error_code;
  result.error_text = std::move(error_text);
  return Complete(id, std::move(result));
}

bool FakeTransport::Complete(ExchangeId id, TransportResult result) {
  TransportCallback done;
  {
    base::thread::MutexLock lock(&mutex_);
    auto it = entries_.find(id);
    if (it == entries_.end() || it->second.state != State::kPending) return false;
    it->second.state = State::kAnswering;
    it->second.answering_thread = std::this_thread::get_id();
    done = std::move(it->second.done);
  }
  done(std::move(result));
  done = nullptr;
  {
    base::thread::MutexLock lock(&mutex_);
    entries_.at(id).state = State::kAnswered;
  }
  changed_.notify_all();
  return true;
}

bool FakeTransport::IsCancelled(ExchangeId id) const {
  base::thread::MutexLock lock(&mutex_);
  auto it = entries_.find(id);
  return it != entries_.end() && it->second.state == State::kCancelled;
}

bool FakeTransport::IsAnswering(ExchangeId id) const {
  base::thread::MutexLock lock(&mutex_);
  auto it = entries_.find(id);
  return it != entries_.end() && it->second.state == State::kAnswering;
}

ScopedFakeTransport::ScopedFakeTransport() : transport_(std::make_shared<FakeTransport>()) {
  base::http::SetTransport(transport_);
}

ScopedFakeTransport::~ScopedFakeTransport() { base::http::SetTransport(nullptr); }

}  // namespace lumo::testing
