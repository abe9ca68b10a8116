// The UI loop on Linux: the loop sleeps on a condition variable, and only a sleeping loop needs
// waking.
#include "base/thread/ui_loop.h"
#include "wake_batch.h"

namespace base::thread {

void UiLoop::BindToCurrentThread() {
  MutexLock lock(&mutex_);
  ui_thread_ = std::this_thread::get_id();
}

bool UiLoop::NeedsWakeLocked() {
  // A loop that is running tasks takes this one before it waits again.
  return waiting_;
}

void UiLoop::ReleaseWindow(void* /*window*/, bool /*on_its_thread*/) {}

void UiLoop::Wake(void* loop) { static_cast<UiLoop*>(loop)->wake_.notify_one(); }

std::function<void()> UiLoop::Take(std::chrono::steady_clock::time_point deadline) {
  MutexLock lock(&mutex_);
  if (tasks_.empty()) {
    // Before sleeping, the wake-ups that the tasks run so far held back go out: the answers this
    // loop waits for may depend on them.
    lock.Unlock();
    internal::FlushWakes();
    lock.Lock();
    waiting_ = true;
    wake_.wait_until(lock.native(), deadline, [this] {
      mutex_.AssertHeld();
      return !tasks_.empty();
    });
    waiting_ = false;
    if (tasks_.empty()) return {};
  }
  std::function<void()> task = std::move(tasks_.front());
  tasks_.pop_front();
  return task;
}

}  // namespace base::thread
