#include "base/thread/ui_loop.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "wake_batch.h"

namespace base::thread {
namespace {

// RunUntil re-checks its condition at least this often, so a condition that another thread makes
// true without posting anything is still noticed.
constexpr std::chrono::milliseconds kConditionPollInterval{10};

// Tasks run between two sends of the wake-ups they held back, so that a queue that never empties
// does not keep the network thread asleep.
constexpr int kTasksPerWakeBatch = 32;

}  // namespace

UiLoop& UiLoop::Instance() {
  // Never destroyed: other threads may still post while the process exits.
  static UiLoop* loop = new UiLoop;
  return *loop;
}

void UiLoop::BindToCurrentThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  ui_thread_ = std::this_thread::get_id();
}

bool UiLoop::IsUiThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ui_thread_ == std::this_thread::get_id();
}

void UiLoop::Post(std::function<void()> task) {
  bool waiting = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    waiting = waiting_;
  }
  // A loop that is running tasks takes this one before it waits again; only a waiting loop needs
  // waking, and a poster delivering several answers in a row wakes it once.
  if (waiting) internal::WakeSoon(this, &UiLoop::Wake);
}

void UiLoop::Wake(void* loop) { static_cast<UiLoop*>(loop)->wake_.notify_one(); }

std::function<void()> UiLoop::Take(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (tasks_.empty()) {
    // Before sleeping, the wake-ups that the tasks run so far held back go out: the answers this
    // loop waits for may depend on them.
    lock.unlock();
    internal::FlushWakes();
    lock.lock();
    waiting_ = true;
    wake_.wait_until(lock, deadline, [this] { return !tasks_.empty(); });
    waiting_ = false;
    if (tasks_.empty()) return {};
  }
  std::function<void()> task = std::move(tasks_.front());
  tasks_.pop_front();
  return task;
}

bool UiLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  assert(IsUiThread());
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  internal::WakeBatch wakes;
  int run = 0;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::function<void()> task = Take(std::min(deadline, now + kConditionPollInterval));
    if (!task) continue;
    task();
    if (++run % kTasksPerWakeBatch == 0) internal::FlushWakes();
  }
  return true;
}

void UiLoop::RunUntilIdle() {
  assert(IsUiThread());
  internal::WakeBatch wakes;
  for (int run = 1;; ++run) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    if (run % kTasksPerWakeBatch == 0) internal::FlushWakes();
  }
}

}  // namespace base::thread
