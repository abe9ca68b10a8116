#include "transport_core.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <optional>
#include <string_view>

#include "cross_thread_wait.h"
#include "transport_internal.h"
#include "wake_batch.h"

namespace base::http::internal {
namespace {

// How long the network thread sleeps when nothing at all happens. The driver shortens the wait
// whenever its engine has work, and Start, Cancel and Shutdown wake it at once.
constexpr int kIdleWaitMs = 1000;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// What decides the route of `url`: its scheme and authority ("http://host:port"); empty when
// `url` has no "://".
std::string_view RouteKey(std::string_view url) {
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return {};
  return url.substr(0, url.find_first_of("/?#", scheme_end + 3));
}

// The "host:port" that SetConnectTo's routes name for `key` (a RouteKey of an http or https
// address), the scheme's port filled in; nothing for another scheme or an authority without a
// host or with a bad port.
std::optional<std::string> HostPortOf(std::string_view key) {
  const size_t scheme_end = key.find("://");
  const std::string_view scheme = key.substr(0, scheme_end);
  std::string_view authority = key.substr(scheme_end + 3);
  const char* default_port = nullptr;
  if (EqualsIgnoringCase(scheme, "http")) default_port = "80";
  if (EqualsIgnoringCase(scheme, "https")) default_port = "443";
  if (default_port == nullptr) return std::nullopt;
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  // An IPv6 literal keeps its brackets, as in a --connect-to entry.
  size_t host_end = std::min(authority.find(':'), authority.size());
  if (!authority.empty() && authority.front() == '[') {
    host_end = authority.find(']');
    if (host_end == std::string_view::npos) return std::nullopt;
    ++host_end;
  }
  if (host_end == 0) return std::nullopt;
  const std::string_view host = authority.substr(0, host_end);
  std::string_view port = host_end < authority.size() ? authority.substr(host_end) : "";
  if (!port.empty()) {
    if (port.front() != ':') return std::nullopt;
    port.remove_prefix(1);
  }
  if (port.empty()) return std::string(host) + ":" + default_port;
  unsigned long number = 0;
  for (char c : port) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    number = number * 10 + static_cast<unsigned long>(c - '0');
    if (number > 65535) return std::nullopt;
  }
  return std::string(host) + ":" + std::to_string(number);
}

}  // namespace

std::shared_ptr<const Route> RouteCache::Lookup(const std::string& url) {
  const uint64_t version = RoutesVersion();  // read first: a change meanwhile misses next time
  const std::string_view key = RouteKey(url);
  if (key.empty()) return nullptr;
  {
    base::thread::MutexLock lock(&mutex_);
    if (valid_ && version == version_ && key == key_) return route_;
  }
  std::shared_ptr<const Route> route;
  if (std::optional<std::string> host_port = HostPortOf(key)) {
    if (std::optional<std::string> target = RouteFor(*host_port)) {
      route = std::make_shared<const Route>(Route{std::move(*host_port), std::move(*target)});
    }
  }
  base::thread::MutexLock lock(&mutex_);
  valid_ = true;
  version_ = version;
  key_.assign(key);
  route_ = route;
  return route;
}

TransportCore::TransportCore(std::unique_ptr<TransportDriver> driver)
    : driver_(std::move(driver)), errors_(driver_->Errors()) {}

TransportCore::~TransportCore() { Shutdown(); }

Transport::ExchangeId TransportCore::Start(TransportRequest request, TransportCallback done) {
  StartCommand command;
  command.request = std::move(request);
  command.done = std::move(done);
  command.limits = CurrentLimits();
  command.deadline = DeadlineOf(Clock::now(), command.limits.total_timeout_ms);
  command.route = routes_.Lookup(command.request.url);
  if (command.route) {
    command.proxy.direct = true;
  } else {
    ProxySettings proxy = CurrentProxy();
    command.proxy.url = std::move(proxy.url);
    command.proxy.no_proxy = std::move(proxy.no_proxy);
  }

  base::thread::MutexLock lock(&mutex_);
  const ExchangeId id = next_id_++;
  // After shutdown the callback is dropped (`command` is destroyed after the lock is released).
  if (stopping_) return id;
  if (stop_asked_ || releasing_) {
    // Started by a callback of the thread being stopped: dropped with the others.
    if (std::this_thread::get_id() == network_thread_) return id;
    // Else the new thread waits until the old one has let go of the driver.
    base::thread::internal::WaitServingSentMessages(lock.native(), delivery_ended_, [this] {
      mutex_.AssertHeld();
      return (!stop_asked_ && !releasing_) || stopping_;
    });
    if (stopping_) return id;
  }
  // Should the system refuse a thread, the exchange waits for the next Start to try again.
  if (!thread_.started()) (void)thread_.Start([this] { Run(); });
  command.id = id;
  active_.insert(id);
  starts_.push_back(std::move(command));
  const bool sleeping = sleeping_;
  lock.Unlock();
  if (sleeping) WakeSoon();
  return id;
}

void TransportCore::Cancel(ExchangeId id) {
  TransportCallback dropped;  // destroyed after the lock is released
  base::thread::MutexLock lock(&mutex_);
  if (id != 0 && delivering_ == id) {
    // From inside the callback itself there is nothing left to stop; from any other thread the
    // callback must have returned before Cancel does.
    if (std::this_thread::get_id() == network_thread_) return;
    // The callback may be sending this thread a message: the wait serves it.
    base::thread::internal::WaitServingSentMessages(lock.native(), delivery_ended_, [this, id] {
      mutex_.AssertHeld();
      return delivering_ != id;
    });
    return;
  }
  if (active_.erase(id) == 0 || stopping_) return;
  auto queued = std::find_if(starts_.begin(), starts_.end(),
                             [id](const StartCommand& command) { return command.id == id; });
  if (queued != starts_.end()) {
    dropped = std::move(queued->done);
    starts_.erase(queued);
    return;
  }
  cancels_.push_back(id);
  const bool sleeping = sleeping_;
  lock.Unlock();
  if (sleeping) WakeSoon();
}

void TransportCore::WakeSoon() {
  base::thread::internal::WakeSoon(this, &TransportCore::WakeNetworkThread);
}

void TransportCore::WakeNetworkThread(void* core) {
  auto* self = static_cast<TransportCore*>(core);
  base::thread::MutexLock lock(&self->mutex_);
  // Shutdown wakes the thread itself; a second wake-up in one sleep would only cost a read.
  if (!self->sleeping_ || self->stopping_) return;
  self->sleeping_ = false;
  self->driver_->Wake();
}

size_t TransportCore::Stop() {
  std::vector<StartCommand> dropped;  // destroyed after the lock is released
  base::thread::MutexLock lock(&mutex_);
  if (stopping_ || !thread_.started() || std::this_thread::get_id() == network_thread_) return 0;
  // A Stop from another thread meanwhile ends it for both.
  const bool first = !stop_asked_;
  const size_t in_flight = first ? active_.size() : 0;
  if (first) {
    stop_asked_ = true;
    dropped_ = false;
    driver_->Wake();
    dropped.swap(starts_);
    cancels_.clear();
    active_.clear();
  }
  // A callback running meanwhile may be sending this thread a message: the wait serves it.
  base::thread::internal::WaitServingSentMessages(lock.native(), delivery_ended_, [this, first] {
    mutex_.AssertHeld();
    return first ? dropped_ : !stop_asked_;
  });
  if (!first) return 0;
  // Without the lock, which the thread takes once more as it lets go of the driver. Start and
  // Shutdown leave the thread alone while `stop_asked_` holds.
  lock.Unlock();
  thread_.LetEnd();
  lock.Lock();
  network_thread_ = std::thread::id();
  stop_asked_ = false;
  lock.Unlock();
  delivery_ended_.notify_all();
  return in_flight;
}

void TransportCore::Shutdown() {
  std::vector<StartCommand> dropped;
  bool started = false;
  bool on_network_thread = false;
  {
    base::thread::MutexLock lock(&mutex_);
    if (stopping_) return;
    // A Stop in progress ends first, and the thread it let go has let go of the driver.
    base::thread::internal::WaitServingSentMessages(lock.native(), delivery_ended_, [this] {
      mutex_.AssertHeld();
      return !stop_asked_ && !releasing_;
    });
    stopping_ = true;
    started = thread_.started();
    if (started) driver_->Wake();
    on_network_thread = network_thread_ == std::this_thread::get_id();
    dropped.swap(starts_);
    active_.clear();
  }
  if (!started) return;
  if (on_network_thread) {
    // Shut down from inside a callback (the process exits there): the thread unwinds by itself.
    thread_.Detach();
    return;
  }
  thread_.Join();
  driver_.reset();
}

void TransportCore::Run() {
  {
    base::thread::MutexLock lock(&mutex_);
    network_thread_ = std::this_thread::get_id();
  }
  std::vector<StartCommand> starts;
  std::vector<ExchangeId> cancels;
  for (;;) {
    {
      base::thread::MutexLock lock(&mutex_);
      if (stopping_ || stop_asked_) break;
      sleeping_ = false;
      starts.swap(starts_);
      cancels.swap(cancels_);
    }
    for (ExchangeId id : cancels) Remove(id);
    for (StartCommand& command : starts) Admit(std::move(command));
    starts.clear();
    cancels.clear();

    driver_->Perform(*this);
    const Clock::time_point now = Clock::now();
    Expire(now);
    DeliverFinished();
    // Handed over after the finished ones left, so the driver starts them without a sleep.
    const bool attached = AttachWaiting();
    {
      // Commands queued while the thread was busy are taken without a sleep; later ones see
      // `sleeping_` and wake it. A wake-up sent between here and the wait makes it return at once.
      base::thread::MutexLock lock(&mutex_);
      if (stopping_ || stop_asked_) break;
      if (attached || !starts_.empty() || !cancels_.empty()) continue;
      sleeping_ = true;
    }
    driver_->Wait(WaitTimeoutMs(now));
  }
  DropAll();
}

void TransportCore::DropAll() {
  for (const auto& [id, exchange] : attached_) driver_->Detach(id);
  attached_.clear();
  finished_.clear();
  waiting_.clear();
  hosts_with_room_.clear();
  next_deadline_ = Clock::time_point::max();
  last_host_ = nullptr;
  last_host_key_.clear();
  hosts_.clear();
  {
    base::thread::MutexLock lock(&mutex_);
    dropped_ = true;
    releasing_ = true;
    sleeping_ = false;
  }
  delivery_ended_.notify_all();
  // Stop may have returned: the driver is let go while the next Start waits for it.
  driver_->Release();
  base::thread::MutexLock lock(&mutex_);
  releasing_ = false;
  // Under the lock: once a waiter sees it, this thread touches nothing of the core's again.
  delivery_ended_.notify_all();
}

void TransportCore::Admit(StartCommand command) {
  Host& host = HostOf(command.request.url);
  if (host.waiting == 0 && host.attached < kMaxAttachedPerHost) {
    Attach(std::move(command), host);
    return;
  }
  const ExchangeId id = command.id;
  WakeBy(command.deadline);
  host.order.push_back(id);
  ++host.waiting;
  waiting_.emplace(id, std::make_pair(std::move(command), &host));
}

TransportCore::Host& TransportCore::HostOf(const std::string& url) {
  const std::string_view key = RouteKey(url);
  if (last_host_ == nullptr || key != last_host_key_) {
    last_host_key_.assign(key);
    last_host_ = &hosts_[last_host_key_];
  }
  return *last_host_;
}

bool TransportCore::AttachWaiting() {
  bool attached = false;
  std::vector<Host*> hosts;
  hosts.swap(hosts_with_room_);
  for (Host* host : hosts) {
    while (host->waiting > 0 && host->attached < kMaxAttachedPerHost) {
      const ExchangeId id = host->order.front();
      host->order.pop_front();
      auto node = waiting_.extract(id);
      if (node.empty()) continue;  // cancelled or expired meanwhile
      --host->waiting;
      Attach(std::move(node.mapped().first), *host);
      attached = true;
    }
    if (host->waiting == 0) host->order.clear();
  }
  return attached;
}

void TransportCore::Expire(Clock::time_point now) {
  if (now < next_deadline_) return;
  next_deadline_ = Clock::time_point::max();
  std::vector<StartCommand> expired;
  for (auto it = waiting_.begin(); it != waiting_.end();) {
    StartCommand& command = it->second.first;
    if (command.deadline > now) {
      WakeBy(command.deadline);
      ++it;
      continue;
    }
    expired.push_back(std::move(command));
    it = EraseWaiting(it);
  }
  std::vector<std::pair<ExchangeId, std::string>> timed_out;
  for (const auto& [id, exchange] : attached_) {
    if (exchange.deadline <= now) {
      timed_out.emplace_back(id, TimedOutText("Operation", exchange.total_timeout_ms));
    } else if (exchange.connect_deadline <= now) {
      timed_out.emplace_back(id, TimedOutText("Connection", exchange.connect_timeout_ms));
    } else {
      WakeBy(std::min(exchange.deadline, exchange.connect_deadline));
    }
  }
  for (auto& [id, text] : timed_out) {
    driver_->Detach(id);
    auto node = attached_.extract(id);
    CountOut(node.mapped());
    TransportResult result;
    result.error_code = errors_.timed_out;
    result.error_text = std::move(text);
    finished_.emplace_back(std::move(node), std::move(result));
  }
  base::thread::internal::WakeBatch wakes;
  for (StartCommand& command : expired) FailTimedOut(command);
}

TransportCore::WaitingMap::iterator TransportCore::EraseWaiting(WaitingMap::iterator it) {
  Host* host = it->second.second;
  it = waiting_.erase(it);
  if (--host->waiting == 0) {
    host->order.clear();
  } else if (host->order.size() > 2 * host->waiting + kMaxAttachedPerHost) {
    // Ids no longer waiting are skipped when their turn comes; many of them are dropped at once.
    auto gone = [this](ExchangeId id) { return waiting_.count(id) == 0; };
    host->order.erase(std::remove_if(host->order.begin(), host->order.end(), gone),
                      host->order.end());
  }
  return it;
}

void TransportCore::FailTimedOut(StartCommand& command) {
  TransportResult result;
  result.error_code = errors_.timed_out;
  result.error_text =
      TimedOutText("Operation", command.limits.total_timeout_ms) + " waiting for a connection";
  Deliver(command.id, command.done, std::move(result));
}

std::string TransportCore::TimedOutText(const char* what, int64_t ms) const {
  return errors_.timed_out_text + ": " + what + " timed out after " + std::to_string(ms) +
         " milliseconds";
}

TransportCore::Clock::time_point TransportCore::DeadlineOf(Clock::time_point start,
                                                           int64_t total_timeout_ms) {
  constexpr int64_t kLongestMs = int64_t{1} << 40;  // some 35 years
  if (total_timeout_ms <= 0 || total_timeout_ms > kLongestMs) return Clock::time_point::max();
  return start + std::chrono::milliseconds(total_timeout_ms);
}

int TransportCore::WaitTimeoutMs(Clock::time_point now) const {
  if (next_deadline_ == Clock::time_point::max()) return kIdleWaitMs;
  const auto until = std::chrono::ceil<std::chrono::milliseconds>(next_deadline_ - now).count();
  return static_cast<int>(std::clamp<int64_t>(until, 0, kIdleWaitMs));
}

void TransportCore::CountOut(Attached& exchange) {
  Host* host = std::exchange(exchange.host, nullptr);
  if (host == nullptr) return;
  --host->attached;
  if (host->waiting > 0 && host->attached + 1 == kMaxAttachedPerHost) {
    hosts_with_room_.push_back(host);
  }
}

void TransportCore::Attach(StartCommand command, Host& host) {
  // The total timeout counts from Start: what is left of it, and none for a call that waited it
  // all out.
  int64_t total_timeout_ms = command.limits.total_timeout_ms;
  if (command.deadline != Clock::time_point::max()) {
    total_timeout_ms =
        std::chrono::ceil<std::chrono::milliseconds>(command.deadline - Clock::now()).count();
    if (total_timeout_ms <= 0) {
      FailTimedOut(command);
      return;
    }
  }
  const auto max_body_bytes =
      static_cast<size_t>(std::max<int64_t>(0, command.limits.max_body_bytes));
  const auto [it, inserted] = attached_.try_emplace(command.id, max_body_bytes);
  Attached& exchange = it->second;

  Attachment attachment;
  attachment.id = command.id;
  attachment.request = &command.request;
  attachment.route = command.route.get();
  attachment.proxy = &command.proxy;
  attachment.connect_timeout_ms = command.limits.connect_timeout_ms;
  attachment.total_timeout_ms = total_timeout_ms;
  attachment.body = &exchange.body;
  TransportResult failure;
  if (!driver_->Attach(attachment, failure)) {
    attached_.erase(it);
    Deliver(command.id, command.done, std::move(failure));
    return;
  }
  exchange.done = std::move(command.done);
  exchange.host = &host;
  exchange.attached = Clock::now();
  exchange.deadline = command.deadline;
  exchange.total_timeout_ms = command.limits.total_timeout_ms;
  if (errors_.reports_connects && command.limits.connect_timeout_ms > 0) {
    exchange.connect_timeout_ms = command.limits.connect_timeout_ms;
    exchange.connect_deadline =
        exchange.attached + std::chrono::milliseconds(command.limits.connect_timeout_ms);
  }
  WakeBy(std::min(exchange.deadline, exchange.connect_deadline));
  ++host.attached;
}

void TransportCore::Remove(ExchangeId id) {
  auto it = attached_.find(id);
  if (it == attached_.end()) {
    auto waiting = waiting_.find(id);
    if (waiting != waiting_.end()) EraseWaiting(waiting);
    return;
  }
  driver_->Detach(id);
  CountOut(it->second);
  attached_.erase(it);
}

void TransportCore::Finished(ExchangeId id, TransportResult result) {
  auto node = attached_.extract(id);
  if (node.empty()) return;
  Attached& exchange = node.mapped();
  CountOut(exchange);
  if (exchange.body.too_large()) {
    result = TransportResult{};
    result.error_code = errors_.body_too_large;
    result.error_text =
        "response body exceeds " + std::to_string(exchange.body.max_bytes()) + " bytes";
  } else if (result.ok) {
    result.body = exchange.body.TakeBytes();
  } else if (result.error_code == errors_.timed_out &&
             result.error_text.find(" after ") == std::string::npos) {
    // One of the engine's own time limits (a phase of the exchange): how long it took is said
    // as the core says it of its own.
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - exchange.attached);
    result.error_text = TimedOutText("Operation", elapsed.count());
  }
  finished_.emplace_back(std::move(node), std::move(result));
}

void TransportCore::Connected(ExchangeId id) {
  auto it = attached_.find(id);
  if (it != attached_.end()) it->second.connect_deadline = Clock::time_point::max();
}

void TransportCore::DeliverFinished() {
  if (finished_.empty()) return;
  // Receivers that post to the UI loop wake it once for the whole batch.
  base::thread::internal::WakeBatch wakes;
  for (auto& [node, result] : finished_) Deliver(node.key(), node.mapped().done, std::move(result));
  finished_.clear();
}

void TransportCore::Deliver(ExchangeId id, TransportCallback& done, TransportResult result) {
  {
    base::thread::MutexLock lock(&mutex_);
    if (active_.erase(id) == 0) return;  // cancelled while it was finishing
    delivering_ = id;
  }
  done(std::move(result));
  {
    base::thread::MutexLock lock(&mutex_);
    delivering_ = 0;
  }
  delivery_ended_.notify_all();
}

namespace {

// Owns the process's transport and stops its network thread at exit, even while requests that
// were never deleted still hold a reference to it.
// The default transport once made, for StopDefaultTransport; null again once it is shut down.
std::atomic<TransportCore*> made_default{nullptr};

struct DefaultTransportHolder {
  DefaultTransportHolder() : transport(std::make_shared<TransportCore>(NewPlatformDriver())) {}
  ~DefaultTransportHolder() {
    made_default.store(nullptr);
    transport->Shutdown();
  }

  std::shared_ptr<TransportCore> transport;
};

std::shared_ptr<TransportCore> MakeDefaultTransport() {
  if (!StopsNetworkThreadAtExit()) {
    // Never destroyed: the system ends the network thread with the process.
    static const auto* const transport =
        new std::shared_ptr<TransportCore>(std::make_shared<TransportCore>(NewPlatformDriver()));
    return *transport;
  }
  static DefaultTransportHolder holder;
  return holder.transport;
}

}  // namespace

std::shared_ptr<Transport> DefaultTransport() {
  std::shared_ptr<TransportCore> transport = MakeDefaultTransport();
  made_default.store(transport.get());
  return transport;
}

size_t StopDefaultTransport() {
  TransportCore* transport = made_default.load();
  return transport != nullptr ? transport->Stop() : 0;
}

}  // namespace base::http::internal
