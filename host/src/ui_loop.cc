#include "base/thread/ui_loop.h"

#include <algorithm>
#include <cassert>
#include <utility>

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

void UiLoop::BindToCurrentThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  ui_thread_ = std::this_thread::get_id();
}

bool UiLoop::IsUiThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ui_thread_ == std::this_thread::get_id();
}

void UiLoop::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

std::function<void()> UiLoop::Take(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_until(lock, deadline, [this] { return !tasks_.empty(); });
  if (tasks_.empty()) return {};
  std::function<void()> task = std::move(tasks_.front());
  tasks_.pop_front();
  return task;
}

bool UiLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  assert(IsUiThread());
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::function<void()> task = Take(std::min(deadline, now + kConditionPollInterval));
    if (task) task();
  }
  return true;
}

void UiLoop::RunUntilIdle() {
  assert(IsUiThread());
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace base::thread
