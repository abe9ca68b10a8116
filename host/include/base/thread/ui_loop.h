// The process's UI thread: a message loop that any thread can post to and one thread runs.
#ifndef BASE_THREAD_UI_LOOP_H_
#define BASE_THREAD_UI_LOOP_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "base/export.h"

namespace base::thread {

// The process's one UI loop. Post: any thread. Everything else: the UI thread only.
class LUMOHOST_EXPORT UiLoop {
 public:
  static UiLoop& Instance();  // the process's loop

  UiLoop(const UiLoop&) = delete;
  UiLoop& operator=(const UiLoop&) = delete;

  // The calling thread is the UI thread from now on.
  void BindToCurrentThread();
  bool IsUiThread() const;  // whether the calling thread is the UI thread; any thread

  // Queues `task`; it runs later on the UI thread, never inside Post. Any thread.
  void Post(std::function<void()> task);

  // Runs tasks until `done()` is true (returns true) or `timeout` has passed (returns false).
  // `done` is checked before each task and whenever the loop wakes.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // Runs queued tasks, including those they post, until the queue is empty.
  void RunUntilIdle();

 private:
  UiLoop() = default;

  // Takes the next task, waiting until `deadline` at most; an empty function when none came.
  std::function<void()> Take(std::chrono::steady_clock::time_point deadline);
  // Wakes the loop waiting in Take; `loop` is the UiLoop.
  static void Wake(void* loop);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;  // guarded by mutex_
  bool waiting_ = false;                     // guarded by mutex_; Take is waiting for a task
  std::thread::id ui_thread_;                // guarded by mutex_
};

}  // namespace base::thread

#endif  // BASE_THREAD_UI_LOOP_H_
