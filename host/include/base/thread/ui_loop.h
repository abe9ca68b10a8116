// The process's UI thread: a message loop that any thread can post to and one thread runs.
#ifndef BASE_THREAD_UI_LOOP_H_
#define BASE_THREAD_UI_LOOP_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <thread>

#include "base/export.h"
#include "base/thread/mutex.h"

namespace base::thread {

struct UiWindow;

// The process's one UI loop. Post: any thread. Everything else: the UI thread only.
class LUMOHOST_EXPORT UiLoop {
 public:
  static UiLoop& Instance();  // the process's loop

  UiLoop(const UiLoop&) = delete;
  UiLoop& operator=(const UiLoop&) = delete;

  // The calling thread is the UI thread from now on.
  void BindToCurrentThread();
  // Binds the calling thread, with a warning in the log, when no thread is bound yet; whether it
  // did. Every request calls it when it is made, so the thread that makes the first request is
  // the UI thread of a host that never called BindToCurrentThread: its message loop (on Windows)
  // or RunUntil must run for completions to arrive.
  bool BindToCurrentThreadIfUnbound();
  bool IsUiThread() const;  // whether the calling thread is the UI thread; any thread

  // Queues `task`; it runs later on the UI thread, never inside Post. Any thread.
  void Post(std::function<void()> task);

  // Runs tasks until `done()` is true (returns true) or `timeout` has passed (returns false).
  // `done` is checked before each task and whenever the loop wakes.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // Runs queued tasks, including those they post, until the queue is empty.
  void RunUntilIdle();

  // Lets go of the UI thread: the queued tasks are dropped without running, no thread is bound,
  // and on Windows the message-only window is destroyed (from another thread than the UI thread,
  // when the UI thread next handles its messages) and its class unregistered. A later bind, or a
  // request, starts again. Any thread; part of base::Shutdown (base/shutdown.h).
  void Shutdown();

 private:
  friend struct UiWindow;  // Windows: the message-only window that runs the tasks

  UiLoop() = default;

  // Takes the next task, waiting until `deadline` at most; an empty function when none came.
  std::function<void()> Take(std::chrono::steady_clock::time_point deadline);
  // The next task if one is queued, else an empty function.
  std::function<void()> TakeQueued();
  // Runs queued tasks, at most `limit` of them; whether any are left.
  bool RunQueued(int limit);
  // Whether a task just queued must wake the loop, noting that it is being woken.
  bool NeedsWakeLocked() REQUIRES(mutex_);
  // Wakes the loop waiting in Take (and on Windows the host's message loop); `loop` is the UiLoop.
  static void Wake(void* loop);
  // Windows: destroys the message-only window `window` (may be null) that Shutdown took, or has
  // its own thread destroy it; unregisters the window class when no window is left.
  static void ReleaseWindow(void* window, bool on_its_thread);

  mutable Mutex mutex_;
  std::deque<std::function<void()>> tasks_ GUARDED_BY(mutex_);
  std::thread::id ui_thread_ GUARDED_BY(mutex_);
  // Linux: what Take waits on, and whether it is waiting.
  std::condition_variable wake_;
  bool waiting_ GUARDED_BY(mutex_) = false;
  // Windows: the message-only window on the UI thread through which the host's message loop runs
  // the tasks (an HWND), and whether a wake-up message to it is on its way.
  void* window_ GUARDED_BY(mutex_) = nullptr;
  bool wake_posted_ GUARDED_BY(mutex_) = false;
};

}  // namespace base::thread

#endif  // BASE_THREAD_UI_LOOP_H_
