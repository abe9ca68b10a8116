// The platform-neutral half of the transport over a fake driver: admission per host, deadlines,
// cancellation, the body cap, routes and proxies, shutdown. The driver ends exchanges the way an
// engine with callbacks on threads of its own would: the test thread queues an ending and signals
// the network thread's wait, and the next Perform reports it.
#include "transport/transport_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/http/transport.h"
#include "base/thread/mutex.h"
#include "transport/transport_driver.h"

namespace {

using base::http::TransportLimits;
using base::http::TransportRequest;
using base::http::TransportResult;
using base::http::internal::Attachment;
using base::http::internal::BodySink;
using base::http::internal::DriverErrors;
using base::http::internal::DriverEvents;
using base::http::internal::ExchangeId;
using base::http::internal::kMaxAttachedPerHost;
using base::http::internal::ProxyChoice;
using base::http::internal::Route;
using base::http::internal::TransportCore;
using base::http::internal::TransportDriver;
using namespace std::chrono_literals;

constexpr int kTimedOut = 28;
constexpr int kTooLarge = 63;
constexpr auto kPatience = 10s;

// How the fake engine ends one exchange.
struct Ending {
  ExchangeId id = 0;
  TransportResult result;           // ok with a status, or the engine's failure
  std::vector<std::string> chunks;  // the body as it arrives
  bool announced_too_large = false;
};

Ending Answered(ExchangeId id, int32_t status, std::vector<std::string> chunks) {
  Ending ending;
  ending.id = id;
  ending.result.ok = true;
  ending.result.status = status;
  ending.chunks = std::move(chunks);
  return ending;
}

Ending AnnouncedTooLarge(ExchangeId id) {
  Ending ending = Answered(id, 200, {});
  ending.announced_too_large = true;
  return ending;
}

Ending Failed(ExchangeId id, int code, std::string text) {
  Ending ending;
  ending.id = id;
  ending.result.error_code = code;
  ending.result.error_text = std::move(text);
  return ending;
}

// What the core handed the engine, and the endings queued for it. Outlives the core, which owns
// the driver. Any thread.
class FakeEngine {
 public:
  struct Attached {
    ExchangeId id = 0;
    std::string url;
    std::optional<Route> route;
    ProxyChoice proxy;
    int64_t connect_timeout_ms = 0;
    int64_t total_timeout_ms = 0;
    size_t max_body_bytes = 0;
  };

  std::vector<Attached> attached() const {
    base::thread::MutexLock lock(&mutex_);
    return attached_;
  }
  std::vector<ExchangeId> detached() const {
    base::thread::MutexLock lock(&mutex_);
    return detached_;
  }
  // Waits until the driver has been let go `count` times in all: on Windows the stopped thread
  // lets go of it after Stop has returned.
  bool WaitForReleases(int count) {
    base::thread::MutexLock lock(&mutex_);
    return changed_.wait_for(lock.native(), kPatience, [&] {
      mutex_.AssertHeld();
      return releases_ >= count;
    });
  }
  bool WaitForAttached(size_t count) {
    base::thread::MutexLock lock(&mutex_);
    return changed_.wait_for(lock.native(), kPatience, [&] {
      mutex_.AssertHeld();
      return attached_.size() >= count;
    });
  }
  // Waits until the network thread sleeps in the driver with nothing left to do: every command
  // given to the core before has been applied, and every ending reported.
  bool WaitUntilIdle() {
    base::thread::MutexLock lock(&mutex_);
    return changed_.wait_for(lock.native(), kPatience, [&] {
      mutex_.AssertHeld();
      return in_wait_ && !woken_ && endings_.empty();
    });
  }
  // Ends exchanges in one batch of the network thread, in this order.
  void Finish(std::vector<Ending> endings) {
    base::thread::MutexLock lock(&mutex_);
    for (Ending& ending : endings) endings_.push_back(std::move(ending));
    changed_.notify_all();
  }
  void RefuseNextAttach(int code) {
    base::thread::MutexLock lock(&mutex_);
    refusal_ = code;
  }
  // The engine reports the exchange connected in the network thread's next batch.
  void Connect(ExchangeId id) {
    base::thread::MutexLock lock(&mutex_);
    connects_.push_back(id);
    changed_.notify_all();
  }
  // Whether its driver reports connects, for the core to keep the connect budget. Set before the
  // core is made.
  bool reports_connects = false;

 private:
  friend class FakeDriver;

  mutable base::thread::Mutex mutex_;
  std::condition_variable changed_;
  std::vector<Attached> attached_ GUARDED_BY(mutex_);
  std::vector<ExchangeId> detached_ GUARDED_BY(mutex_);
  std::vector<ExchangeId> connects_ GUARDED_BY(mutex_);
  int releases_ GUARDED_BY(mutex_) = 0;
  std::vector<Ending> endings_ GUARDED_BY(mutex_);
  int refusal_ GUARDED_BY(mutex_) = 0;
  bool woken_ GUARDED_BY(mutex_) = false;
  bool in_wait_ GUARDED_BY(mutex_) = false;
};

class FakeDriver final : public TransportDriver {
 public:
  explicit FakeDriver(FakeEngine& engine) : engine_(engine) {}

  DriverErrors Errors() const override {
    return {kTimedOut, "Timeout was reached", kTooLarge, engine_.reports_connects};
  }

  bool Attach(const Attachment& attachment, TransportResult& failure) override {
    base::thread::MutexLock lock(&engine_.mutex_);
    FakeEngine::Attached record;
    record.id = attachment.id;
    record.url = attachment.request->url;
    if (attachment.route != nullptr) record.route = *attachment.route;
    record.proxy = *attachment.proxy;
    record.connect_timeout_ms = attachment.connect_timeout_ms;
    record.total_timeout_ms = attachment.total_timeout_ms;
    record.max_body_bytes = attachment.body->max_bytes();
    engine_.attached_.push_back(std::move(record));
    engine_.changed_.notify_all();
    if (int code = std::exchange(engine_.refusal_, 0)) {
      failure.error_code = code;
      failure.error_text = "refused";
      return false;
    }
    bodies_[attachment.id] = attachment.body;
    return true;
  }

  void Detach(ExchangeId id) override {
    bodies_.erase(id);
    base::thread::MutexLock lock(&engine_.mutex_);
    engine_.detached_.push_back(id);
  }

  void Perform(DriverEvents& events) override {
    std::vector<Ending> endings;
    std::vector<ExchangeId> connects;
    {
      base::thread::MutexLock lock(&engine_.mutex_);
      endings.swap(engine_.endings_);
      connects.swap(engine_.connects_);
    }
    for (ExchangeId id : connects) events.Connected(id);
    for (Ending& ending : endings) {
      auto it = bodies_.find(ending.id);
      if (it == bodies_.end()) continue;  // not attached: an engine never reports those
      BodySink* body = it->second;
      bodies_.erase(it);
      for (const std::string& chunk : ending.chunks) {
        if (!body->Append(chunk.data(), chunk.size())) {
          ending.result = Failed(ending.id, 23, "write aborted").result;
          break;
        }
      }
      if (ending.announced_too_large) body->MarkTooLarge();
      events.Finished(ending.id, std::move(ending.result));
    }
  }

  void Wait(int timeout_ms) override {
    base::thread::MutexLock lock(&engine_.mutex_);
    engine_.in_wait_ = true;
    engine_.changed_.notify_all();
    engine_.changed_.wait_for(lock.native(), std::chrono::milliseconds(timeout_ms), [this] {
      engine_.mutex_.AssertHeld();
      return engine_.woken_ || !engine_.endings_.empty() || !engine_.connects_.empty();
    });
    engine_.woken_ = false;
    engine_.in_wait_ = false;
  }

  void Wake() override {
    base::thread::MutexLock lock(&engine_.mutex_);
    engine_.woken_ = true;
    engine_.changed_.notify_all();
  }

  void Release() override {
    EXPECT_TRUE(bodies_.empty());  // everything was detached first
    base::thread::MutexLock lock(&engine_.mutex_);
    ++engine_.releases_;
    engine_.changed_.notify_all();
  }

 private:
  FakeEngine& engine_;
  std::map<ExchangeId, BodySink*> bodies_;  // network thread only
};

// The callbacks' results by the test's own tags. Any thread.
class Results {
 public:
  base::http::TransportCallback For(int tag) {
    return [this, tag](TransportResult result) {
      base::thread::MutexLock lock(&mutex_);
      results_[tag].push_back(std::move(result));
      ++count_;
      changed_.notify_all();
    };
  }
  bool WaitForCount(size_t count) {
    base::thread::MutexLock lock(&mutex_);
    return changed_.wait_for(lock.native(), kPatience, [&] {
      mutex_.AssertHeld();
      return count_ >= count;
    });
  }
  std::vector<TransportResult> Of(int tag) {
    base::thread::MutexLock lock(&mutex_);
    return results_[tag];
  }

 private:
  base::thread::Mutex mutex_;
  std::condition_variable changed_;
  std::map<int, std::vector<TransportResult>> results_ GUARDED_BY(mutex_);
  size_t count_ GUARDED_BY(mutex_) = 0;
};

class TransportCoreTest : public ::testing::Test {
 protected:
  ~TransportCoreTest() override {
    core_.Shutdown();
    for (const std::string& host_port : routed_) base::http::SetConnectTo(host_port, "");
    base::http::SetTransportLimits(TransportLimits{});
    base::http::SetProxy("");
    base::http::SetNoProxy("");
  }

  ExchangeId Start(const std::string& url, int tag) {
    TransportRequest request;
    request.method = "GET";
    request.url = url;
    return core_.Start(std::move(request), results_.For(tag));
  }
  // Starts calls to one host that fill what it may have in the driver.
  std::vector<ExchangeId> FillHost(const std::string& url, int first_tag) {
    std::vector<ExchangeId> ids;
    for (size_t i = 0; i < kMaxAttachedPerHost; ++i) {
      ids.push_back(Start(url, first_tag + static_cast<int>(i)));
    }
    EXPECT_TRUE(engine_.WaitForAttached(kMaxAttachedPerHost));
    return ids;
  }

  std::vector<std::string> routed_;  // removed again at the end
  FakeEngine engine_;
  Results results_;
  TransportCore core_{std::make_unique<FakeDriver>(engine_)};
};

TEST_F(TransportCoreTest, AttachesAHostsCallsInStartOrderAndHoldsUpNoOtherHost) {
  std::vector<ExchangeId> ids = FillHost("http://a.example/", 0);
  const int first_waiting = static_cast<int>(kMaxAttachedPerHost);
  for (int tag = first_waiting; tag < first_waiting + 3; ++tag) {
    ids.push_back(Start("http://a.example/", tag));
  }
  const ExchangeId other = Start("http://b.example/", 100);
  ASSERT_TRUE(engine_.WaitForAttached(kMaxAttachedPerHost + 1));
  EXPECT_EQ(engine_.attached()[kMaxAttachedPerHost].id, other);

  core_.Cancel(ids[first_waiting + 1]);  // waiting: its turn is skipped
  ASSERT_TRUE(engine_.WaitUntilIdle());
  engine_.Finish({Answered(ids[0], 200, {"a"}), Answered(ids[1], 200, {"b"})});
  ASSERT_TRUE(engine_.WaitForAttached(kMaxAttachedPerHost + 3));
  ASSERT_TRUE(results_.WaitForCount(2));

  std::vector<ExchangeId> order;
  for (const FakeEngine::Attached& attached : engine_.attached()) order.push_back(attached.id);
  std::vector<ExchangeId> expected(ids.begin(), ids.begin() + first_waiting);
  expected.insert(expected.end(), {other, ids[first_waiting], ids[first_waiting + 2]});
  EXPECT_EQ(order, expected);
  EXPECT_EQ(results_.Of(0).size(), 1u);
  EXPECT_EQ(results_.Of(1).at(0).body, "b");
  EXPECT_TRUE(results_.Of(first_waiting + 1).empty());
}

// A call's total timeout counts from Start: waiting, it fails at its deadline while nothing
// ahead of it ends; attached late, it gets what is left.
TEST_F(TransportCoreTest, AWaitingCallKeepsItsDeadlineFromStart) {
  const std::vector<ExchangeId> ahead = FillHost("http://a.example/", 0);
  EXPECT_LE(engine_.attached()[0].total_timeout_ms, TransportLimits{}.total_timeout_ms);
  EXPECT_GT(engine_.attached()[0].total_timeout_ms, TransportLimits{}.total_timeout_ms - 5'000);
  EXPECT_EQ(engine_.attached()[0].connect_timeout_ms, TransportLimits{}.connect_timeout_ms);

  TransportLimits limits;
  limits.total_timeout_ms = 200;
  base::http::SetTransportLimits(limits);
  const auto started = std::chrono::steady_clock::now();
  Start("http://a.example/", 100);
  limits.total_timeout_ms = 20'000;
  base::http::SetTransportLimits(limits);
  Start("http://a.example/", 101);
  const auto late_started = std::chrono::steady_clock::now();

  ASSERT_TRUE(results_.WaitForCount(1));
  EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);
  const std::vector<TransportResult> expired = results_.Of(100);
  ASSERT_EQ(expired.size(), 1u);
  EXPECT_EQ(expired[0].error_code, kTimedOut);
  EXPECT_EQ(expired[0].error_text,
            "Timeout was reached: Operation timed out after 200 milliseconds waiting for a "
            "connection");

  const auto waited = std::chrono::steady_clock::now() - late_started;
  engine_.Finish({Answered(ahead[0], 200, {})});
  ASSERT_TRUE(engine_.WaitForAttached(kMaxAttachedPerHost + 1));
  const int64_t left = engine_.attached().back().total_timeout_ms;
  EXPECT_GT(left, 0);
  EXPECT_LE(left, 20'000 - std::chrono::duration_cast<std::chrono::milliseconds>(waited).count());
}

// Once Cancel returns the callback is not called: for an attached call (the driver lets it go),
// for one whose result waits for its delivery in the same batch, and from inside a callback,
// where cancelling the running call itself returns at once.
TEST_F(TransportCoreTest, CancelledCallsNeverCallBack) {
  const ExchangeId first = Start("http://a.example/1", 1);
  const ExchangeId second = Start("http://a.example/2", 2);
  const ExchangeId third = Start("http://a.example/3", 3);
  std::atomic<bool> inside_returned{false};
  TransportRequest request;
  request.url = "http://a.example/4";
  const ExchangeId canceller = core_.Start(std::move(request), [&](TransportResult) {
    core_.Cancel(canceller);  // from inside its own callback: nothing left to stop
    core_.Cancel(second);     // its result waits for delivery in this batch
    core_.Cancel(third);      // attached
    inside_returned = true;
  });
  ASSERT_TRUE(engine_.WaitForAttached(4));

  core_.Cancel(first);
  ASSERT_TRUE(engine_.WaitUntilIdle());
  engine_.Finish({Answered(first, 200, {})});
  engine_.Finish({Answered(canceller, 200, {}), Answered(second, 200, {})});
  ASSERT_TRUE(engine_.WaitUntilIdle());
  const ExchangeId last = Start("http://a.example/5", 5);
  ASSERT_TRUE(engine_.WaitForAttached(5));
  engine_.Finish({Answered(third, 200, {}), Answered(last, 200, {})});
  ASSERT_TRUE(results_.WaitForCount(1));  // the last one's: everything before it is done

  EXPECT_TRUE(inside_returned);
  for (int tag : {1, 2, 3}) EXPECT_TRUE(results_.Of(tag).empty()) << tag;
  EXPECT_EQ(results_.Of(5).size(), 1u);
  EXPECT_EQ(engine_.detached(), (std::vector<ExchangeId>{first, third}));
}

TEST_F(TransportCoreTest, CancelFromAnotherThreadWaitsForTheRunningCallback) {
  std::mutex mutex;
  std::condition_variable changed;
  bool running = false;
  bool release = false;
  TransportRequest request;
  request.url = "http://a.example/";
  const ExchangeId id = core_.Start(std::move(request), [&](TransportResult) {
    std::unique_lock<std::mutex> lock(mutex);
    running = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
  });
  ASSERT_TRUE(engine_.WaitForAttached(1));
  engine_.Finish({Answered(id, 200, {})});
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, kPatience, [&] { return running; }));
  }
  std::atomic<bool> cancelled{false};
  std::thread cancelling([&] {
    core_.Cancel(id);
    cancelled = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(cancelled);
  {
    std::lock_guard<std::mutex> lock(mutex);
    release = true;
  }
  changed.notify_all();
  cancelling.join();
  EXPECT_TRUE(cancelled);
}

// Each call ends with exactly one result; the body cap is the core's, whatever the engine says.
TEST_F(TransportCoreTest, ResultsAndTheBodyCap) {
  TransportLimits limits;
  limits.max_body_bytes = 8;
  base::http::SetTransportLimits(limits);
  const std::string kTooLargeText = "response body exceeds 8 bytes";
  struct Case {
    const char* name;
    std::optional<Ending> ending;  // none: the engine refuses the attach with code 27
    bool ok;
    int32_t code;      // status when ok, else the error code
    std::string text;  // body when ok, else the error text
  };
  const Case cases[] = {
      {"body up to the cap", Answered(0, 200, {"1234", "5678"}), true, 200, "12345678"},
      {"any status completes", Answered(0, 503, {"<html>"}), true, 503, "<html>"},
      {"one byte over the cap", Answered(0, 200, {"1234", "56789"}), false, kTooLarge,
       kTooLargeText},
      {"an announced length over the cap", AnnouncedTooLarge(0), false, kTooLarge, kTooLargeText},
      {"the engine's failure", Failed(0, 7, "Couldn't connect"), false, 7, "Couldn't connect"},
      {"the engine refuses it", std::nullopt, false, 27, "refused"},
  };
  int tag = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.ending) engine_.RefuseNextAttach(27);
    const ExchangeId id = Start("http://a.example/", tag);
    ASSERT_TRUE(engine_.WaitForAttached(static_cast<size_t>(tag) + 1));
    EXPECT_EQ(engine_.attached().back().max_body_bytes, 8u);
    if (c.ending) {
      Ending ending = *c.ending;
      ending.id = id;
      engine_.Finish({ending});
    }
    ASSERT_TRUE(results_.WaitForCount(static_cast<size_t>(tag) + 1));
    const std::vector<TransportResult> results = results_.Of(tag++);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].ok, c.ok);
    EXPECT_EQ(c.ok ? results[0].status : results[0].error_code, c.code);
    EXPECT_EQ(c.ok ? results[0].body : results[0].error_text, c.text);
  }
}

// What the driver is told about routes and proxies, in order on one transport: a changed route
// reaches the next call to the same address.
TEST_F(TransportCoreTest, HandsTheRouteAndTheProxyChoiceToTheDriver) {
  const char* const kProxy = "http://127.0.0.1:3128";
  struct Case {
    const char* name;
    const char* route_from;  // SetConnectTo(route_from, route_to) before the call, unless empty
    const char* route_to;
    const char* proxy;  // SetProxy and SetNoProxy before the call
    const char* no_proxy;
    const char* url;
    const char* routed_from;  // the route's "host:port" handed over, null for none
  };
  const Case cases[] = {
      {"nothing set: the platform's own proxy", "", "", "", "", "http://b.example/", nullptr},
      {"SetProxy and SetNoProxy", "", "", kProxy, "c.example", "http://b.example/x", nullptr},
      {"a routed host, in any letter case, never through a proxy", "a.example:80", "127.0.0.1:9",
       kProxy, "", "http://A.example/x?y", "A.example:80"},
      {"a changed route, the same address", "a.example:80", "127.0.0.1:10", "", "",
       "http://A.example/z", "A.example:80"},
      {"another port is not routed", "", "", "", "", "http://a.example:81/", nullptr},
      {"https's port, user information", "a.example:443", "127.0.0.1:11", "", "",
       "https://user:pw@a.example/", "a.example:443"},
      {"an IPv6 literal and a port", "[::1]:8080", "127.0.0.1:12", "", "", "http://[::1]:8080/",
       "[::1]:8080"},
  };
  size_t calls = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (*c.route_from != '\0') {
      base::http::SetConnectTo(c.route_from, c.route_to);
      routed_.emplace_back(c.route_from);
    }
    base::http::SetProxy(c.proxy);
    base::http::SetNoProxy(c.no_proxy);
    const ExchangeId id = Start(c.url, 0);
    ASSERT_TRUE(engine_.WaitForAttached(++calls));
    const FakeEngine::Attached attached = engine_.attached().back();
    engine_.Finish({Answered(id, 200, {})});
    EXPECT_EQ(attached.url, c.url);
    const bool routed = c.routed_from != nullptr;
    ASSERT_EQ(attached.route.has_value(), routed);
    if (routed) {
      EXPECT_EQ(attached.route->from, c.routed_from);
      EXPECT_EQ(attached.route->to, c.route_to);
    }
    EXPECT_EQ(attached.proxy.direct, routed);
    EXPECT_EQ(attached.proxy.url, routed ? "" : c.proxy);
    EXPECT_EQ(attached.proxy.no_proxy, routed ? "" : c.no_proxy);
  }
}

TEST_F(TransportCoreTest, ShutdownDropsEveryCall) {
  const std::vector<ExchangeId> attached = FillHost("http://a.example/", 0);
  Start("http://a.example/", 100);  // waits
  ASSERT_TRUE(engine_.WaitUntilIdle());
  core_.Shutdown();
  std::weak_ptr<int> alive;
  {
    auto token = std::make_shared<int>(0);
    alive = token;
    TransportRequest request;
    core_.Start(std::move(request), [token](TransportResult) {});
  }
  EXPECT_TRUE(alive.expired());  // the callback of a call after Shutdown is dropped at once

  std::vector<ExchangeId> detached = engine_.detached();
  std::sort(detached.begin(), detached.end());
  EXPECT_EQ(detached, attached);  // started in this order, so ascending
  EXPECT_EQ(engine_.attached().size(), kMaxAttachedPerHost);
  for (int tag : {0, 100}) EXPECT_TRUE(results_.Of(tag).empty()) << tag;
}

// Stop (a host's shutdown before it unloads the library) drops what is in flight, lets the driver
// go, and leaves the transport able to start again; from inside a callback it does nothing.
TEST_F(TransportCoreTest, StopDropsEveryCallAndTheNextStartRunsAgain) {
  const std::vector<ExchangeId> attached = FillHost("http://a.example/", 0);
  Start("http://a.example/", 100);  // waits
  ASSERT_TRUE(engine_.WaitUntilIdle());
  EXPECT_EQ(core_.Stop(), kMaxAttachedPerHost + 1);
  EXPECT_TRUE(engine_.WaitForReleases(1));
  std::vector<ExchangeId> detached = engine_.detached();
  std::sort(detached.begin(), detached.end());
  EXPECT_EQ(detached, attached);

  size_t stopped_inside = 99;
  TransportRequest request;
  request.url = "http://a.example/";
  const ExchangeId again = core_.Start(std::move(request), [&](TransportResult result) {
    stopped_inside = core_.Stop();
    results_.For(200)(std::move(result));
  });
  ASSERT_TRUE(engine_.WaitForAttached(kMaxAttachedPerHost + 1));
  engine_.Finish({Answered(again, 200, {"again"})});
  ASSERT_TRUE(results_.WaitForCount(1));
  EXPECT_EQ(results_.Of(200).at(0).body, "again");
  EXPECT_EQ(stopped_inside, 0u);
  for (int tag : {0, 100}) EXPECT_TRUE(results_.Of(tag).empty()) << tag;
  EXPECT_EQ(core_.Stop(), 0u);
  EXPECT_TRUE(engine_.WaitForReleases(2));
}

// The core keeps every exchange's time limits, attached ones included: the total from Start, and
// for a driver that reports connects the connect budget from Attach. A driver's own timeout says
// how long it took, as the core's do.
TEST(TransportCoreDeadlineTest, AttachedCallsFailAtTheirLimits) {
  struct Case {
    const char* name;
    bool reports_connects;
    bool connect;         // the engine reports the exchange connected at once
    bool engine_timeout;  // the engine fails it with its own timeout, saying no time
    const char* text;     // how the failure's text starts
  };
  const Case cases[] = {
      {"total, attached", false, false, false,
       "Timeout was reached: Operation timed out after 300"},
      {"connect budget", true, false, false, "Timeout was reached: Connection timed out after 100"},
      {"connected in time: the total", true, true, false,
       "Timeout was reached: Operation timed out after 300"},
      {"the engine's own", false, false, true, "Timeout was reached: Operation timed out after "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeEngine engine;
    engine.reports_connects = c.reports_connects;
    Results results;
    TransportLimits limits;
    limits.connect_timeout_ms = 100;
    limits.total_timeout_ms = 300;
    base::http::SetTransportLimits(limits);
    {
      TransportCore core(std::make_unique<FakeDriver>(engine));
      TransportRequest request;
      request.url = "http://a.example/";
      const ExchangeId id = core.Start(std::move(request), results.For(0));
      ASSERT_TRUE(engine.WaitForAttached(1));
      if (c.connect) engine.Connect(id);
      if (c.engine_timeout) engine.Finish({Failed(id, kTimedOut, "Timeout was reached")});
      ASSERT_TRUE(results.WaitForCount(1));
      const TransportResult result = results.Of(0).at(0);
      EXPECT_EQ(result.error_code, kTimedOut);
      EXPECT_EQ(result.error_text.rfind(c.text, 0), 0u) << result.error_text;
      if (!c.engine_timeout) {
        EXPECT_EQ(engine.detached(), std::vector<ExchangeId>{id});
      }
    }
    base::http::SetTransportLimits(TransportLimits{});
  }
}

}  // namespace
