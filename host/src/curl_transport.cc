// The default transport: libcurl's multi interface driven by one network thread.
//
// Start and Cancel queue commands under `mutex_`; the thread applies them, drives every transfer
// and delivers each result with no lock held. It drains the whole queue each time round its loop,
// so a command needs a wake-up (curl_multi_wakeup) only while the thread sleeps in
// curl_multi_poll, and a batch of commands from one thread needs one (wake_batch.h). All
// easy handles, and the multi handle apart from curl_multi_wakeup, belong to the network thread,
// so libcurl itself is only ever used from that thread.
//
// Only so many transfers to one host are in libcurl at a time; later ones wait in the transport
// as their start command (a few hundred bytes, not an easy handle of several kilobytes) and are
// handed to libcurl as earlier ones end. Their total timeout counts from Start all the same.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "transport_internal.h"
#include "wake_batch.h"

namespace base::http::internal {
namespace {

// How long the network thread sleeps when nothing at all happens. libcurl shortens the wait
// whenever one of its own timers is due, and Start, Cancel and Shutdown wake it at once.
constexpr int kIdlePollMs = 1000;

// Parallel connections to one host; further transfers wait for a free connection. A desktop
// client has no use for more, and it keeps a burst of requests from opening a socket each.
constexpr long kMaxHostConnections = 16;

// Transfers to one host (scheme and authority) in libcurl at a time: those beyond the connection
// cap wait in libcurl for a connection, those beyond this wait in the transport.
constexpr size_t kMaxAttachedPerHost = 64;

// Finished easy handles kept for later transfers. Making a handle (a zeroed allocation of several
// kilobytes and all its defaults) cost more than resetting a used one.
constexpr size_t kMaxIdleHandles = 64;

// The curl --connect-to entry for `url` ("host:port:to_host:to_port"), if a route covers it.
// False when libcurl cannot parse `url`.
bool ConnectToEntryFor(const std::string& url, std::optional<std::string>& entry) {
  entry.reset();
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return false;
  bool ok = false;
  char* host = nullptr;
  char* port = nullptr;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
    ok = true;
    const std::string host_port = std::string(host) + ":" + port;
    if (std::optional<std::string> target = RouteFor(host_port)) {
      entry = host_port + ":" + *target;
    }
  }
  curl_free(host);
  curl_free(port);
  curl_url_cleanup(parsed);
  return ok;
}

// What decides the route of `url`: its scheme and authority ("http://host:port"); empty when
// `url` has no "://".
std::string_view RouteKey(std::string_view url) {
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return {};
  return url.substr(0, url.find_first_of("/?#", scheme_end + 3));
}

// The route of the last address that libcurl parsed, for the next one with the same scheme and
// authority: the calls of a process go to one or two hosts. Any thread.
class RouteCache {
 public:
  std::optional<std::string> ConnectToFor(const std::string& url) {
    const uint64_t version = RoutesVersion();  // read first: a change meanwhile misses next time
    const std::string_view key = RouteKey(url);
    if (!key.empty()) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (valid_ && version == version_ && key == key_) return entry_;
    }
    std::optional<std::string> entry;
    if (!ConnectToEntryFor(url, entry) || key.empty()) return entry;
    std::lock_guard<std::mutex> lock(mutex_);
    valid_ = true;
    version_ = version;
    key_.assign(key);
    entry_ = entry;
    return entry;
  }

 private:
  std::mutex mutex_;
  bool valid_ = false;                // guarded by mutex_
  uint64_t version_ = 0;              // guarded by mutex_
  std::string key_;                   // guarded by mutex_
  std::optional<std::string> entry_;  // guarded by mutex_
};

// Any thread: see the file comment.
class CurlTransport final : public Transport {
 public:
  CurlTransport() { curl_global_init(CURL_GLOBAL_DEFAULT); }
  ~CurlTransport() override { Shutdown(); }
  CurlTransport(const CurlTransport&) = delete;
  CurlTransport& operator=(const CurlTransport&) = delete;

  ExchangeId Start(TransportRequest request, TransportCallback done) override;
  void Cancel(ExchangeId id) override;

  // Stops the network thread; exchanges in flight and started later are dropped without their
  // callbacks being called. Idempotent.
  void Shutdown();

 private:
  using Clock = std::chrono::steady_clock;

  struct StartCommand {
    ExchangeId id = 0;
    // When the total timeout, counted from Start, ends; never for none (0) or one beyond any wait.
    Clock::time_point deadline = Clock::time_point::max();
    TransportRequest request;
    TransportCallback done;
    TransportLimits limits;
    ProxySettings proxy;
    std::optional<std::string> connect_to;
  };

  // The transfers to one scheme and authority. Network thread only.
  struct Host {
    size_t attached = 0;           // in libcurl
    size_t waiting = 0;            // in `waiting_`
    std::deque<ExchangeId> order;  // waiting ones by start; may hold cancelled ids
  };

  // One transfer in flight. Network thread only.
  struct Transfer {
    Transfer() = default;
    ~Transfer() {
      if (easy != nullptr) curl_easy_cleanup(easy);
      curl_slist_free_all(headers);
      curl_slist_free_all(connect_to);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    ExchangeId id = 0;
    TransportCallback done;
    Host* host = nullptr;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    curl_slist* connect_to = nullptr;
    std::string body;
    size_t max_body_bytes = 0;
    bool body_too_large = false;
    char error[CURL_ERROR_SIZE] = {};
  };

  static size_t OnBody(char* data, size_t size, size_t count, void* user);
  static Clock::time_point DeadlineOf(Clock::time_point start, int64_t total_timeout_ms);

  void Run();
  // Hands the transfer to libcurl, or keeps it waiting while its host has enough there.
  void Admit(StartCommand command);
  void AddTransfer(StartCommand command, Host& host);
  void RemoveTransfer(ExchangeId id);
  void FinishTransfers();
  // Counts a transfer out of libcurl, noting its host when a waiting one may follow.
  void Detach(Transfer& transfer);
  // Hands waiting transfers to libcurl where their hosts have room; true if it handed any.
  bool AttachWaiting();
  // Fails the waiting transfers whose total timeout has passed.
  void ExpireWaiting(Clock::time_point now);
  void FailTimedOut(StartCommand& command);
  using WaitingMap = std::unordered_map<ExchangeId, std::pair<StartCommand, Host*>>;
  // Forgets a waiting transfer (cancelled, or failed for its deadline); the next one.
  WaitingMap::iterator EraseWaiting(WaitingMap::iterator it);
  // The host of `url`; the last one found is kept, as the calls of a process go to one or two.
  Host& HostOf(const std::string& url);
  // How long the network thread may sleep: until the first waiting deadline, at most the idle poll.
  int PollTimeoutMs(Clock::time_point now) const;
  // A reset handle from the idle ones, or a new one (null if that fails).
  CURL* TakeHandle();
  // Resets the transfer's handle and keeps it for later, unless enough are kept already (the
  // transfer's destructor then cleans it up). REQUIRES: the handle is not in `multi_`.
  void RecycleHandle(Transfer& transfer);
  // Calls `done` unless the exchange was cancelled meanwhile.
  void Deliver(ExchangeId id, TransportCallback& done, TransportResult result);
  // Wakes the network thread now or at the end of the caller's batch. REQUIRES: mutex_ not held.
  void WakeSoon();
  // Wakes the network thread out of curl_multi_poll; `transport` is the CurlTransport.
  static void WakeNetworkThread(void* transport);

  RouteCache routes_;
  std::mutex mutex_;
  std::condition_variable delivery_ended_;
  bool stopping_ = false;                  // guarded by mutex_
  bool sleeping_ = false;                  // guarded by mutex_; in (or about to enter) the poll
  ExchangeId next_id_ = 1;                 // guarded by mutex_
  std::unordered_set<ExchangeId> active_;  // guarded by mutex_; neither finished nor cancelled
  std::vector<StartCommand> starts_;       // guarded by mutex_
  std::vector<ExchangeId> cancels_;        // guarded by mutex_
  ExchangeId delivering_ = 0;              // guarded by mutex_; whose callback is running
  std::thread thread_;                     // guarded by mutex_; started by the first Start
  std::thread::id network_thread_;         // guarded by mutex_
  CURLM* multi_ = nullptr;                 // set with thread_; see the file comment

  std::unordered_map<ExchangeId, std::unique_ptr<Transfer>> transfers_;  // network thread only
  // Network thread only: hosts by RouteKey, the waiting transfers, hosts with room for them, and
  // no waiting deadline earlier than `next_deadline_`.
  std::unordered_map<std::string, Host> hosts_;
  std::string last_host_key_;
  Host* last_host_ = nullptr;
  WaitingMap waiting_;
  std::vector<Host*> hosts_with_room_;
  Clock::time_point next_deadline_ = Clock::time_point::max();
  std::vector<CURL*> idle_handles_;  // network thread only; reset, in no multi handle
};

Transport::ExchangeId CurlTransport::Start(TransportRequest request, TransportCallback done) {
  StartCommand command;
  command.request = std::move(request);
  command.done = std::move(done);
  command.limits = CurrentLimits();
  command.deadline = DeadlineOf(Clock::now(), command.limits.total_timeout_ms);
  command.proxy = CurrentProxy();
  command.connect_to = routes_.ConnectToFor(command.request.url);

  std::unique_lock<std::mutex> lock(mutex_);
  const ExchangeId id = next_id_++;
  // After shutdown the callback is dropped (`command` is destroyed after the lock is released).
  if (stopping_) return id;
  if (!thread_.joinable()) {
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxHostConnections);
    thread_ = std::thread([this] { Run(); });
    network_thread_ = thread_.get_id();
  }
  command.id = id;
  active_.insert(id);
  starts_.push_back(std::move(command));
  const bool sleeping = sleeping_;
  lock.unlock();
  if (sleeping) WakeSoon();
  return id;
}

void CurlTransport::Cancel(ExchangeId id) {
  TransportCallback dropped;  // destroyed after the lock is released
  std::unique_lock<std::mutex> lock(mutex_);
  if (id != 0 && delivering_ == id) {
    // From inside the callback itself there is nothing left to stop; from any other thread the
    // callback must have returned before Cancel does.
    if (std::this_thread::get_id() == network_thread_) return;
    delivery_ended_.wait(lock, [this, id] { return delivering_ != id; });
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
  lock.unlock();
  if (sleeping) WakeSoon();
}

void CurlTransport::WakeSoon() {
  base::thread::internal::WakeSoon(this, &CurlTransport::WakeNetworkThread);
}

void CurlTransport::WakeNetworkThread(void* transport) {
  auto* self = static_cast<CurlTransport*>(transport);
  std::lock_guard<std::mutex> lock(self->mutex_);
  // Shutdown wakes the thread itself; a second wake-up in one sleep would only cost a read.
  if (!self->sleeping_ || self->stopping_) return;
  self->sleeping_ = false;
  curl_multi_wakeup(self->multi_);
}

void CurlTransport::Shutdown() {
  std::vector<StartCommand> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    if (multi_ != nullptr) curl_multi_wakeup(multi_);
    dropped.swap(starts_);
    active_.clear();
  }
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Shut down from inside a callback (the process exits there): the thread unwinds by itself.
    thread_.detach();
    return;
  }
  thread_.join();
  curl_multi_cleanup(multi_);
  multi_ = nullptr;
}

size_t CurlTransport::OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (transfer->body.size() + length > transfer->max_body_bytes) {
    transfer->body_too_large = true;
    return 0;  // makes libcurl abort the transfer
  }
  transfer->body.append(data, length);
  return length;
}

void CurlTransport::Run() {
  std::vector<StartCommand> starts;
  std::vector<ExchangeId> cancels;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      sleeping_ = false;
      starts.swap(starts_);
      cancels.swap(cancels_);
    }
    for (ExchangeId id : cancels) RemoveTransfer(id);
    for (StartCommand& command : starts) Admit(std::move(command));
    starts.clear();
    cancels.clear();

    int running = 0;
    curl_multi_perform(multi_, &running);
    FinishTransfers();
    const Clock::time_point now = Clock::now();
    ExpireWaiting(now);
    // Handed over after the finished ones left, so libcurl starts them without a sleep.
    const bool attached = AttachWaiting();
    {
      // Commands queued while the thread was busy are taken without a sleep; later ones see
      // `sleeping_` and wake it. A wake-up sent between here and the poll makes the poll return
      // at once.
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      if (attached || !starts_.empty() || !cancels_.empty()) continue;
      sleeping_ = true;
    }
    curl_multi_poll(multi_, nullptr, 0, PollTimeoutMs(now), nullptr);
  }
  for (const auto& [id, transfer] : transfers_) curl_multi_remove_handle(multi_, transfer->easy);
  transfers_.clear();
  waiting_.clear();
  last_host_ = nullptr;
  hosts_.clear();
  for (CURL* easy : idle_handles_) curl_easy_cleanup(easy);
  idle_handles_.clear();
}

void CurlTransport::Admit(StartCommand command) {
  Host& host = HostOf(command.request.url);
  if (host.waiting == 0 && host.attached < kMaxAttachedPerHost) {
    AddTransfer(std::move(command), host);
    return;
  }
  const ExchangeId id = command.id;
  next_deadline_ = std::min(next_deadline_, command.deadline);
  host.order.push_back(id);
  ++host.waiting;
  waiting_.emplace(id, std::make_pair(std::move(command), &host));
}

CurlTransport::Host& CurlTransport::HostOf(const std::string& url) {
  const std::string_view key = RouteKey(url);
  if (last_host_ == nullptr || key != last_host_key_) {
    last_host_key_.assign(key);
    last_host_ = &hosts_[last_host_key_];
  }
  return *last_host_;
}

bool CurlTransport::AttachWaiting() {
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
      AddTransfer(std::move(node.mapped().first), *host);
      attached = true;
    }
    if (host->waiting == 0) host->order.clear();
  }
  return attached;
}

void CurlTransport::ExpireWaiting(Clock::time_point now) {
  if (now < next_deadline_) return;
  next_deadline_ = Clock::time_point::max();
  std::vector<StartCommand> expired;
  for (auto it = waiting_.begin(); it != waiting_.end();) {
    StartCommand& command = it->second.first;
    if (command.deadline > now) {
      next_deadline_ = std::min(next_deadline_, command.deadline);
      ++it;
      continue;
    }
    expired.push_back(std::move(command));
    it = EraseWaiting(it);
  }
  base::thread::internal::WakeBatch wakes;
  for (StartCommand& command : expired) FailTimedOut(command);
}

CurlTransport::WaitingMap::iterator CurlTransport::EraseWaiting(WaitingMap::iterator it) {
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

void CurlTransport::FailTimedOut(StartCommand& command) {
  TransportResult result;
  result.error_code = CURLE_OPERATION_TIMEDOUT;
  result.error_text =
      std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) + ": Operation timed out after " +
      std::to_string(command.limits.total_timeout_ms) + " milliseconds waiting for a connection";
  Deliver(command.id, command.done, std::move(result));
}

CurlTransport::Clock::time_point CurlTransport::DeadlineOf(Clock::time_point start,
                                                           int64_t total_timeout_ms) {
  constexpr int64_t kLongestMs = int64_t{1} << 40;  // some 35 years
  if (total_timeout_ms <= 0 || total_timeout_ms > kLongestMs) return Clock::time_point::max();
  return start + std::chrono::milliseconds(total_timeout_ms);
}

int CurlTransport::PollTimeoutMs(Clock::time_point now) const {
  if (next_deadline_ == Clock::time_point::max()) return kIdlePollMs;
  const auto until = std::chrono::ceil<std::chrono::milliseconds>(next_deadline_ - now).count();
  return static_cast<int>(std::clamp<int64_t>(until, 0, kIdlePollMs));
}

void CurlTransport::Detach(Transfer& transfer) {
  Host* host = std::exchange(transfer.host, nullptr);
  if (host == nullptr) return;
  --host->attached;
  if (host->waiting > 0 && host->attached + 1 == kMaxAttachedPerHost) {
    hosts_with_room_.push_back(host);
  }
}

void CurlTransport::AddTransfer(StartCommand command, Host& host) {
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
  auto transfer = std::make_unique<Transfer>();
  transfer->id = command.id;
  transfer->done = std::move(command.done);
  transfer->max_body_bytes =
      static_cast<size_t>(std::max<int64_t>(0, command.limits.max_body_bytes));
  transfer->easy = TakeHandle();
  CURL* easy = transfer->easy;
  if (easy == nullptr) {
    TransportResult result;
    result.error_code = CURLE_OUT_OF_MEMORY;
    result.error_text = curl_easy_strerror(CURLE_OUT_OF_MEMORY);
    Deliver(transfer->id, transfer->done, std::move(result));
    return;
  }

  const TransportRequest& request = command.request;
  curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  // A new or reset handle sends a GET already.
  if (!request.method.empty() && request.method != "GET") {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }
  std::string line;
  for (const auto& [name, value] : request.headers) {
    // "Name;" is libcurl's way of sending a header with an empty value ("Name:" would remove it).
    line.assign(name);
    line += value.empty() ? ";" : ": ";
    line += value;
    transfer->headers = curl_slist_append(transfer->headers, line.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers);
  // Unset (empty), libcurl reads the proxy and the hosts that bypass it from the environment.
  if (!command.proxy.url.empty()) curl_easy_setopt(easy, CURLOPT_PROXY, command.proxy.url.c_str());
  if (!command.proxy.no_proxy.empty()) {
    curl_easy_setopt(easy, CURLOPT_NOPROXY, command.proxy.no_proxy.c_str());
  }
  if (command.connect_to) {
    transfer->connect_to = curl_slist_append(nullptr, command.connect_to->c_str());
    curl_easy_setopt(easy, CURLOPT_CONNECT_TO, transfer->connect_to);
    // A routed host is a test or sandbox address; a proxy from the environment must not see it.
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
  }
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(command.limits.connect_timeout_ms));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(total_timeout_ms));
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(transfer->max_body_bytes));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransport::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->error);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());

  const CURLMcode added = curl_multi_add_handle(multi_, easy);
  if (added != CURLM_OK) {
    TransportResult result;
    result.error_code = CURLE_FAILED_INIT;
    result.error_text = curl_multi_strerror(added);
    Deliver(transfer->id, transfer->done, std::move(result));
    return;
  }
  transfer->host = &host;
  ++host.attached;
  transfers_.emplace(transfer->id, std::move(transfer));
}

void CurlTransport::RemoveTransfer(ExchangeId id) {
  auto it = transfers_.find(id);
  if (it == transfers_.end()) {
    auto waiting = waiting_.find(id);
    if (waiting != waiting_.end()) EraseWaiting(waiting);
    return;
  }
  curl_multi_remove_handle(multi_, it->second->easy);
  Detach(*it->second);
  RecycleHandle(*it->second);
  transfers_.erase(it);
}

CURL* CurlTransport::TakeHandle() {
  if (idle_handles_.empty()) return curl_easy_init();
  CURL* easy = idle_handles_.back();
  idle_handles_.pop_back();
  return easy;
}

void CurlTransport::RecycleHandle(Transfer& transfer) {
  if (transfer.easy == nullptr || idle_handles_.size() >= kMaxIdleHandles) return;
  // Reset at once: the handle's options still point into the transfer (headers, error buffer).
  curl_easy_reset(transfer.easy);
  idle_handles_.push_back(std::exchange(transfer.easy, nullptr));
}

void CurlTransport::FinishTransfers() {
  std::vector<std::pair<std::unique_ptr<Transfer>, TransportResult>> finished;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    CURL* easy = message->easy_handle;
    const CURLcode code = message->data.result;  // `message` dies with the handle's removal
    Transfer* raw = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &raw);
    curl_multi_remove_handle(multi_, easy);
    auto node = transfers_.extract(raw->id);
    std::unique_ptr<Transfer> transfer = std::move(node.mapped());
    Detach(*transfer);

    TransportResult result;
    if (code == CURLE_OK) {
      long status = 0;
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
      result.ok = true;
      result.status = static_cast<int32_t>(status);
      result.body = std::move(transfer->body);
    } else if (code == CURLE_FILESIZE_EXCEEDED || transfer->body_too_large) {
      result.error_code = CURLE_FILESIZE_EXCEEDED;
      result.error_text =
          "response body exceeds " + std::to_string(transfer->max_body_bytes) + " bytes";
    } else {
      result.error_code = code;
      result.error_text = curl_easy_strerror(code);
      if (transfer->error[0] != '\0') result.error_text += std::string(": ") + transfer->error;
    }
    RecycleHandle(*transfer);
    finished.emplace_back(std::move(transfer), std::move(result));
  }
  // Receivers that post to the UI loop wake it once for the whole batch.
  base::thread::internal::WakeBatch wakes;
  for (auto& [transfer, result] : finished) {
    Deliver(transfer->id, transfer->done, std::move(result));
  }
}

void CurlTransport::Deliver(ExchangeId id, TransportCallback& done, TransportResult result) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_.erase(id) == 0) return;  // cancelled while it was finishing
    delivering_ = id;
  }
  done(std::move(result));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delivering_ = 0;
  }
  delivery_ended_.notify_all();
}

// Owns the process's libcurl transport and stops its network thread at exit, even while
// requests that were never deleted still hold a reference to it.
struct DefaultTransportHolder {
  DefaultTransportHolder() : transport(std::make_shared<CurlTransport>()) {}
  ~DefaultTransportHolder() { transport->Shutdown(); }

  std::shared_ptr<CurlTransport> transport;
};

}  // namespace

std::shared_ptr<Transport> DefaultTransport() {
  static DefaultTransportHolder holder;
  return holder.transport;
}

}  // namespace base::http::internal
