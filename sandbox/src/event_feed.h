// Server-sent events for the viewer: a hub that hands every new log entry to the clients
// that follow the log, each through a queue of its own with a cap, so that a client that reads
// slowly costs a bounded amount of memory and never holds up the others or the exchange that
// produced the event.
#ifndef SANDBOX_SRC_EVENT_FEED_H_
#define SANDBOX_SRC_EVENT_FEED_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/thread/mutex.h"

namespace lumo::sandbox {

class EventHub;

// One client's queue of event frames. Filled on any thread by the hub; emptied by the
// connection that writes them. Thread-safe.
class EventFeed {
 public:
  EventFeed(EventHub& hub, size_t max_queued_bytes)
      : hub_(hub), max_queued_bytes_(max_queued_bytes) {}
  ~EventFeed();  // leaves the hub
  EventFeed(const EventFeed&) = delete;
  EventFeed& operator=(const EventFeed&) = delete;

  // Called, outside any lock, when the queue stops being empty or overflows. It must not block.
  void SetWake(std::function<void()> wake);
  // Events with a sequence number up to `seq` were sent already (with the stream's start) and
  // are dropped; events without one (0) always pass.
  void SetFloor(uint64_t seq);

  struct Batch {
    std::string text;         // the queued frames, oldest first
    bool overflowed = false;  // frames were lost: the client must start again
  };
  Batch Take();

 private:
  friend class EventHub;
  void Push(uint64_t seq, const std::string& frame);

  EventHub& hub_;
  const size_t max_queued_bytes_;
  base::thread::Mutex mutex_;
  std::string queued_ GUARDED_BY(mutex_);
  bool overflowed_ GUARDED_BY(mutex_) = false;
  uint64_t floor_ GUARDED_BY(mutex_) = 0;
  std::function<void()> wake_ GUARDED_BY(mutex_);
};

// The feeds of the clients that follow the log. Any thread.
class EventHub {
 public:
  explicit EventHub(size_t max_clients = 8, size_t max_queued_bytes = size_t{1024} * 1024)
      : max_clients_(max_clients), max_queued_bytes_(max_queued_bytes) {}

  // A new feed, or nullptr when `max_clients` feeds are alive. The feed leaves the hub when the
  // last hold on it goes.
  std::shared_ptr<EventFeed> Subscribe();
  // Queues `frame` on every feed; cheap when there is none.
  void Publish(uint64_t seq, const std::string& frame);
  bool has_subscribers() const { return subscribers_.load(std::memory_order_relaxed) > 0; }

 private:
  friend class EventFeed;
  void Remove(const EventFeed* feed);

  const size_t max_clients_;
  const size_t max_queued_bytes_;
  base::thread::Mutex mutex_;
  std::vector<std::weak_ptr<EventFeed>> feeds_ GUARDED_BY(mutex_);
  std::vector<const EventFeed*> members_ GUARDED_BY(mutex_);  // the same feeds
  std::atomic<size_t> subscribers_{0};
};

// The frames a new follower starts with: those of the newest log entries, at most
// `max_entries` and `max_bytes` of them, each built once however many followers come and go.
// Any thread.
class EventBacklog {
 public:
  struct Entry {
    uint64_t seq;
    std::string frame;
  };
  // The frames of the newest log entries after `after`, at most `max`, oldest first. Called with
  // the backlog's lock held, so that followers arriving together build each frame once.
  using Builder = std::function<std::vector<Entry>(uint64_t after, size_t max)>;

  EventBacklog(Builder build, size_t max_entries, size_t max_bytes);

  // The frame of an entry as it was logged; kept when it follows the newest one kept, else left
  // for the next catch-up.
  void Offer(uint64_t seq, const std::string& frame);
  // The kept frames after `since`, joined, oldest first, once the backlog has caught up with the
  // log; `*newest` is the newest sequence number they cover.
  std::string Since(uint64_t since, uint64_t* newest);
  void Clear();

 private:
  void Keep(Entry entry) REQUIRES(mutex_);

  const Builder build_;
  const size_t max_entries_;
  const size_t max_bytes_;
  base::thread::Mutex mutex_;
  std::deque<Entry> entries_ GUARDED_BY(mutex_);
  size_t bytes_ GUARDED_BY(mutex_) = 0;
  uint64_t newest_ GUARDED_BY(mutex_) = 0;  // the newest entry the backlog has seen
};

// One server-sent event: "id: <seq>" (when seq is not 0), "event: <name>", "data: <data>" and
// the blank line that ends it. `data` must not hold a line break (JSON text does not).
std::string EventFrame(uint64_t seq, const std::string& name, const std::string& data);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_EVENT_FEED_H_
