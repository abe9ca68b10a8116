// The UI loop's platform-neutral half: the queue and the loops that run it. How the loop sleeps
// and is woken is the platform's (ui_loop_linux.cc: a condition variable; ui_loop_win.cc: a
// message-only window and the thread's message queue).
#include "base/thread/ui_loop.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "base/logging.h"
#include "ui_loop_internal.h"
#include "wake_batch.h"

namespace base::thread {
namespace {

// RunUntil re-checks its condition at least this often, so a condition that another thread makes
// true without posting anything is still noticed.
constexpr std::chrono::milliseconds kConditionPollInterval{10};

}  // namespace

UiLoop& UiLoop::Instance() {
  // Never destroyed: other threads may still post while the process exits.
  static UiLoop* loop = new UiLoop;
  return *loop;
}

bool UiLoop::BindToCurrentThreadIfUnbound() {
  {
    MutexLock lock(&mutex_);
    if (ui_thread_ != std::thread::id()) return false;
  }
  BindToCurrentThread();
  logging::LogMessage(L"base::thread::UiLoop::BindToCurrentThreadIfUnbound", __LINE__,
                      logging::LoggingSeverity::kWarning,
                      L"no thread was bound as the UI thread (UiLoop::BindToCurrentThread): the "
                      L"thread that made the first request is; completions run in its message "
                      L"loop or RunUntil");
  return true;
}

bool UiLoop::IsUiThread() const {
  MutexLock lock(&mutex_);
  return ui_thread_ == std::this_thread::get_id();
}

void UiLoop::Post(std::function<void()> task) {
  bool wake = false;
  {
    MutexLock lock(&mutex_);
    tasks_.push_back(std::move(task));
    wake = NeedsWakeLocked();
  }
  // A poster delivering several answers in a row wakes the loop once.
  if (wake) internal::WakeSoon(this, &UiLoop::Wake);
}

std::function<void()> UiLoop::TakeQueued() {
  MutexLock lock(&mutex_);
  if (tasks_.empty()) return {};
  std::function<void()> task = std::move(tasks_.front());
  tasks_.pop_front();
  return task;
}

bool UiLoop::RunQueued(int limit) {
  for (int run = 0; run < limit; ++run) {
    std::function<void()> task = TakeQueued();
    if (!task) return false;
    task();
  }
  MutexLock lock(&mutex_);
  return !tasks_.empty();
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
    if (++run % internal::kTasksPerWakeBatch == 0) internal::FlushWakes();
  }
  return true;
}

void UiLoop::Shutdown() {
  std::deque<std::function<void()>> dropped;  // destroyed after the lock is released
  void* window = nullptr;
  bool on_its_thread = false;
  {
    MutexLock lock(&mutex_);
    dropped.swap(tasks_);
    window = std::exchange(window_, nullptr);
    wake_posted_ = false;
    on_its_thread = ui_thread_ == std::this_thread::get_id();
    ui_thread_ = std::thread::id();
  }
  ReleaseWindow(window, on_its_thread);
}

void UiLoop::RunUntilIdle() {
  assert(IsUiThread());
  internal::WakeBatch wakes;
  while (RunQueued(internal::kTasksPerWakeBatch)) internal::FlushWakes();
}

}  // namespace base::thread
