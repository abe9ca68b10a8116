#include "event_feed.h"

#include <algorithm>

namespace lumo::sandbox {

EventFeed::~EventFeed() { hub_.Remove(this); }

void EventFeed::SetWake(std::function<void()> wake) {
  std::function<void()> pending;  // a copy: another SetWake may replace wake_ while it runs
  {
    base::thread::MutexLock lock(&mutex_);
    wake_ = std::move(wake);
    if (!queued_.empty() || overflowed_) pending = wake_;
  }
  if (pending) pending();
}

void EventFeed::SetFloor(uint64_t seq) {
  base::thread::MutexLock lock(&mutex_);
  floor_ = seq;
}

EventFeed::Batch EventFeed::Take() {
  base::thread::MutexLock lock(&mutex_);
  Batch batch;
  batch.text.swap(queued_);
  batch.overflowed = overflowed_;
  return batch;
}

void EventFeed::Push(uint64_t seq, const std::string& frame) {
  std::function<void()> wake;
  {
    base::thread::MutexLock lock(&mutex_);
    if (overflowed_ || (seq != 0 && seq <= floor_)) return;
    bool was_empty = queued_.empty();
    if (queued_.size() + frame.size() > max_queued_bytes_) {
      overflowed_ = true;
      queued_.clear();
      queued_.shrink_to_fit();
    } else {
      queued_ += frame;
      if (!was_empty) return;
    }
    wake = wake_;
  }
  if (wake) wake();
}

std::shared_ptr<EventFeed> EventHub::Subscribe() {
  base::thread::MutexLock lock(&mutex_);
  if (members_.size() >= max_clients_) return nullptr;
  auto feed = std::make_shared<EventFeed>(*this, max_queued_bytes_);
  feeds_.push_back(feed);
  members_.push_back(feed.get());
  subscribers_.store(members_.size(), std::memory_order_relaxed);
  return feed;
}

void EventHub::Remove(const EventFeed* feed) {
  base::thread::MutexLock lock(&mutex_);
  auto found = std::find(members_.begin(), members_.end(), feed);
  if (found == members_.end()) return;
  feeds_.erase(feeds_.begin() + (found - members_.begin()));
  members_.erase(found);
  subscribers_.store(members_.size(), std::memory_order_relaxed);
}

void EventHub::Publish(uint64_t seq, const std::string& frame) {
  if (!has_subscribers()) return;
  std::vector<std::shared_ptr<EventFeed>> feeds;
  {
    base::thread::MutexLock lock(&mutex_);
    for (const auto& weak : feeds_) {
      if (auto feed = weak.lock()) feeds.push_back(std::move(feed));
    }
  }
  // Outside the hub's lock: the last hold on a feed may go here, and its destructor takes it.
  for (const auto& feed : feeds) feed->Push(seq, frame);
}

EventBacklog::EventBacklog(Builder build, size_t max_entries, size_t max_bytes)
    : build_(std::move(build)), max_entries_(max_entries), max_bytes_(max_bytes) {}

void EventBacklog::Keep(Entry entry) {
  newest_ = entry.seq;
  if (entry.frame.size() > max_bytes_) return;
  bytes_ += entry.frame.size();
  entries_.push_back(std::move(entry));
  while (entries_.size() > max_entries_ || bytes_ > max_bytes_) {
    bytes_ -= entries_.front().frame.size();
    entries_.pop_front();
  }
}

void EventBacklog::Offer(uint64_t seq, const std::string& frame) {
  base::thread::MutexLock lock(&mutex_);
  if (seq == newest_ + 1) Keep(Entry{seq, frame});
}

std::string EventBacklog::Since(uint64_t since, uint64_t* newest) {
  base::thread::MutexLock lock(&mutex_);
  for (Entry& entry : build_(newest_, max_entries_)) Keep(std::move(entry));
  *newest = newest_;
  auto first = std::find_if(entries_.begin(), entries_.end(),
                            [since](const Entry& entry) { return entry.seq > since; });
  size_t bytes = 0;
  for (auto it = first; it != entries_.end(); ++it) bytes += it->frame.size();
  std::string joined;
  joined.reserve(bytes);
  for (auto it = first; it != entries_.end(); ++it) joined += it->frame;
  return joined;
}

void EventBacklog::Clear() {
  base::thread::MutexLock lock(&mutex_);
  entries_.clear();
  bytes_ = 0;
}

std::string EventFrame(uint64_t seq, const std::string& name, const std::string& data) {
  std::string frame;
  frame.reserve(data.size() + name.size() + 32);
  if (seq != 0) frame += "id: " + std::to_string(seq) + "\n";
  frame += "event: " + name + "\ndata: " + data + "\n\n";
  return frame;
}

}  // namespace lumo::sandbox
