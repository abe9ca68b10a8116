#include "base/thread/dispatcher.h"

#include <deque>

#include "base/thread/mutex.h"
#include "base/thread/ui_loop.h"

namespace base::thread {

// Shared between the dispatcher and the pump tasks it posted, so a pump that runs after the
// dispatcher is gone finds an empty queue instead of a dangling pointer.
struct Dispatcher::State {
  Mutex mutex;
  std::deque<std::function<void()>> pending GUARDED_BY(mutex);
};

Dispatcher::Dispatcher() : state_(std::make_shared<State>()) {}

Dispatcher::~Dispatcher() { CancelPendingInvokes(); }

void Dispatcher::CancelPendingInvokes() {
  std::deque<std::function<void()>> dropped;
  {
    MutexLock lock(&state_->mutex);
    dropped.swap(state_->pending);
  }
  // `dropped` is destroyed here, outside the lock: a callable's captures may do anything in their
  // destructors, posting through this dispatcher included.
}

void Dispatcher::_InvokeOnUIThread(std::function<void()> task) {
  {
    MutexLock lock(&state_->mutex);
    state_->pending.push_back(std::move(task));
  }
  // One pump per callable: each runs the oldest one left, so callables run in posting order and
  // pumps left over after a cancel find nothing to do.
  UiLoop::Instance().Post([state = state_] {
    std::function<void()> next;
    {
      MutexLock lock(&state->mutex);
      if (state->pending.empty()) return;
      next = std::move(state->pending.front());
      state->pending.pop_front();
    }
    next();
  });
}

}  // namespace base::thread
