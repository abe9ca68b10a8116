// Posts callables to the UI thread on behalf of one owner object.
//
// A Dispatcher is a member of the object whose callables it posts. When it is destroyed, or when
// CancelPendingInvokes is called, the callables it posted and that have not run yet are dropped
// (destroyed without running), so a posted callable never outlives its owner.
//
// Threads: _InvokeOnUIThread from any thread; the constructor, the destructor and
// CancelPendingInvokes on the UI thread, also while other threads are posting.
#ifndef BASE_THREAD_DISPATCHER_H_
#define BASE_THREAD_DISPATCHER_H_

#include <functional>
#include <memory>
#include <utility>

#include "base/export.h"

namespace base::thread {

// Posts callables to the UI thread for its owner; see the file comment.
class LUMOHOST_EXPORT Dispatcher {
 public:
  Dispatcher();
  ~Dispatcher();
  Dispatcher(const Dispatcher&) = delete;
  Dispatcher& operator=(const Dispatcher&) = delete;

  // Queues `task` to run later on the UI thread, never inside this call. Callables posted through
  // one dispatcher run in the order they were posted.
  void InvokeOnUIThread(std::function<void()> task) { _InvokeOnUIThread(std::move(task)); }

  void CancelPendingInvokes();  // drops what was posted and has not run yet; UI thread

 private:
  struct State;

  void _InvokeOnUIThread(std::function<void()> task);

  std::shared_ptr<State> state_;
};

}  // namespace base::thread

#endif  // BASE_THREAD_DISPATCHER_H_
