// A std::mutex that clang's -Wthread-safety knows as a capability, and the scoped lock that holds
// it. Header only; the same layout as the std::mutex it wraps.
#ifndef BASE_THREAD_MUTEX_H_
#define BASE_THREAD_MUTEX_H_

#include <mutex>

#include "base/thread/thread_annotations.h"

namespace base::thread {

// A mutex whose holders clang can check (fields carry GUARDED_BY(mutex_)). Any thread; not
// recursive. Hold it with MutexLock.
class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  // Tells the analysis that the calling thread holds the mutex where it cannot see it, as in the
  // predicate of a condition variable's wait. Checks nothing at run time.
  void AssertHeld() const ASSERT_CAPABILITY(this) {}

 private:
  friend class MutexLock;
  std::mutex mutex_;
};

// Holds a Mutex from its construction to its destruction, with Unlock and Lock to let go of it
// in between. The mutex must outlive the lock. Used by one thread.
class SCOPED_CAPABILITY MutexLock {
 public:
  // Takes `mutex`, waiting while another thread holds it.
  explicit MutexLock(Mutex* mutex) ACQUIRE(mutex) : lock_(mutex->mutex_) {}
  ~MutexLock() RELEASE() {}
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  // REQUIRES: held. Lets go of the mutex until Lock.
  void Unlock() RELEASE() { lock_.unlock(); }
  // REQUIRES: not held. Takes the mutex again.
  void Lock() ACQUIRE() { lock_.lock(); }

  // The std::unique_lock that a std::condition_variable waits with; the mutex is held again
  // whenever a wait returns.
  std::unique_lock<std::mutex>& native() { return lock_; }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace base::thread

#endif  // BASE_THREAD_MUTEX_H_
