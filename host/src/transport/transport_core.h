// The platform-neutral half of the default transport, over a driver (transport_driver.h).
//
// Start and Cancel queue commands under `mutex_`; the network thread, started by the first Start,
// applies them, lets the driver move the transfers, and delivers each result with no lock held.
// It drains the whole queue each time round its loop, so a command needs a wake-up (the driver's
// Wake) only while the thread sleeps in the driver's Wait, and a batch of commands from one
// thread needs one (wake_batch.h).
//
// At most kMaxAttachedPerHost exchanges to one host are in the driver at a time; later ones wait
// here as their start command and are attached in start order as earlier ones end. Their total
// timeout counts from Start all the same. The core alone keeps it, waiting or attached: an
// exchange whose deadline passes is taken out of the driver and fails. So does one that has not
// connected within the connect timeout of being attached, for a driver whose engine cannot time
// the name lookup and the connect together (DriverErrors::reports_connects).
#ifndef HOST_SRC_TRANSPORT_TRANSPORT_CORE_H_
#define HOST_SRC_TRANSPORT_TRANSPORT_CORE_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/export.h"
#include "base/http/transport.h"
#include "base/thread/mutex.h"
#include "network_thread.h"
#include "transport_driver.h"

namespace base::http::internal {

// The route of the last address seen, for the next one with the same scheme and authority: the
// calls of a process go to one or two hosts. Any thread.
class RouteCache {
 public:
  // Null when no route covers `url`.
  std::shared_ptr<const Route> Lookup(const std::string& url);

 private:
  base::thread::Mutex mutex_;
  bool valid_ GUARDED_BY(mutex_) = false;
  uint64_t version_ GUARDED_BY(mutex_) = 0;
  std::string key_ GUARDED_BY(mutex_);
  std::shared_ptr<const Route> route_ GUARDED_BY(mutex_);
};

// Any thread: see the file comment. Exported for the tests, which run it over a fake driver.
class LUMOHOST_EXPORT TransportCore final : public Transport, private DriverEvents {
 public:
  explicit TransportCore(std::unique_ptr<TransportDriver> driver);
  ~TransportCore() override;
  TransportCore(const TransportCore&) = delete;
  TransportCore& operator=(const TransportCore&) = delete;

  ExchangeId Start(TransportRequest request, TransportCallback done) override;
  void Cancel(ExchangeId id) override;

  // Ends the network thread for now: the exchanges in flight are dropped without their callbacks
  // being called, and the driver lets go of what it keeps between exchanges. Returns how many were
  // dropped, once none of their callbacks is running or left anywhere (the thread itself may take
  // a moment longer to end); a later Start starts a new thread. Does nothing from inside a
  // callback. Safe in a DLL's detach: it waits for no thread to end.
  size_t Stop();

  // Stops the network thread for good; exchanges in flight and started later are dropped without
  // their callbacks being called. Idempotent.
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
    std::shared_ptr<const Route> route;
    ProxyChoice proxy;
  };

  // The exchanges to one scheme and authority. Network thread only.
  struct Host {
    size_t attached = 0;           // in the driver
    size_t waiting = 0;            // in `waiting_`
    std::deque<ExchangeId> order;  // waiting ones by start; may hold cancelled ids
  };

  // An exchange in the driver. Network thread only.
  struct Attached {
    explicit Attached(size_t max_body_bytes) : body(max_body_bytes) {}
    TransportCallback done;
    Host* host = nullptr;
    BodySink body;
    Clock::time_point attached;                             // when it went to the driver
    Clock::time_point deadline = Clock::time_point::max();  // the total timeout, from Start
    int64_t total_timeout_ms = 0;                           // as the limits gave it
    // For a driver that reports connects: until when it may take to connect, if it has not.
    Clock::time_point connect_deadline = Clock::time_point::max();
    int64_t connect_timeout_ms = 0;
  };
  using AttachedMap = std::unordered_map<ExchangeId, Attached>;
  using WaitingMap = std::unordered_map<ExchangeId, std::pair<StartCommand, Host*>>;

  static Clock::time_point DeadlineOf(Clock::time_point start, int64_t total_timeout_ms);

  void Run();
  // The end of Run: drops every exchange the network thread holds and releases the driver.
  void DropAll();
  // Hands the exchange to the driver, or keeps it waiting while its host has enough there.
  void Admit(StartCommand command);
  void Attach(StartCommand command, Host& host);
  void Remove(ExchangeId id);
  // DriverEvents: notes the result; DeliverFinished calls back once the driver has returned.
  void Finished(ExchangeId id, TransportResult result) override;
  void Connected(ExchangeId id) override;
  void DeliverFinished();
  // Counts an exchange out of the driver, noting its host when a waiting one may follow.
  void CountOut(Attached& exchange);
  // Hands waiting exchanges to the driver where their hosts have room; true if it handed any.
  bool AttachWaiting();
  // Fails the exchanges, waiting or attached, whose total timeout or connect budget has passed.
  void Expire(Clock::time_point now);
  void FailTimedOut(StartCommand& command);
  // The core's text of a timeout that has passed after `ms` milliseconds.
  std::string TimedOutText(const char* what, int64_t ms) const;
  // Notes a deadline the network thread must wake for.
  void WakeBy(Clock::time_point deadline) { next_deadline_ = std::min(next_deadline_, deadline); }
  // Forgets a waiting exchange (cancelled, or failed for its deadline); the next one.
  WaitingMap::iterator EraseWaiting(WaitingMap::iterator it);
  // The host of `url`; the last one found is kept, as the calls of a process go to one or two.
  Host& HostOf(const std::string& url);
  // How long the network thread may sleep: until the first waiting deadline, at most the idle wait.
  int WaitTimeoutMs(Clock::time_point now) const;
  // Calls `done` unless the exchange was cancelled meanwhile.
  void Deliver(ExchangeId id, TransportCallback& done, TransportResult result);
  // Wakes the network thread now or at the end of the caller's batch.
  void WakeSoon() EXCLUDES(mutex_);
  // Wakes the network thread out of the driver's Wait; `core` is the TransportCore.
  static void WakeNetworkThread(void* core);

  std::unique_ptr<TransportDriver> driver_;  // see TransportDriver for its threads
  const DriverErrors errors_;
  RouteCache routes_;

  base::thread::Mutex mutex_;
  std::condition_variable delivery_ended_;      // also when the thread has dropped everything
  bool stopping_ GUARDED_BY(mutex_) = false;    // for good
  bool stop_asked_ GUARDED_BY(mutex_) = false;  // by Stop, until it returns
  bool dropped_ GUARDED_BY(mutex_) = false;     // the thread holds no exchange
  bool releasing_ GUARDED_BY(mutex_) = false;   // the thread lets go of the driver
  bool sleeping_ GUARDED_BY(mutex_) = false;    // in (or about to enter) Wait
  ExchangeId next_id_ GUARDED_BY(mutex_) = 1;
  std::unordered_set<ExchangeId> active_ GUARDED_BY(mutex_);  // neither finished nor cancelled
  std::vector<StartCommand> starts_ GUARDED_BY(mutex_);
  std::vector<ExchangeId> cancels_ GUARDED_BY(mutex_);
  ExchangeId delivering_ GUARDED_BY(mutex_) = 0;  // whose callback is running
  // Started under `mutex_` by the first Start; let end or joined by Stop and Shutdown without it
  // (the thread takes it as it ends), while `stop_asked_` or `stopping_` keeps Start away.
  NetworkThread thread_;
  std::thread::id network_thread_ GUARDED_BY(mutex_);

  // Network thread only: the exchanges in the driver, those it reported finished and that wait
  // for their delivery, hosts by scheme and authority, the waiting exchanges, hosts with room for
  // them, and no deadline, waiting or attached, earlier than `next_deadline_`.
  AttachedMap attached_;
  std::vector<std::pair<AttachedMap::node_type, TransportResult>> finished_;
  std::unordered_map<std::string, Host> hosts_;
  std::string last_host_key_;
  Host* last_host_ = nullptr;
  WaitingMap waiting_;
  std::vector<Host*> hosts_with_room_;
  Clock::time_point next_deadline_ = Clock::time_point::max();
};

}  // namespace base::http::internal

#endif  // HOST_SRC_TRANSPORT_TRANSPORT_CORE_H_
