// How a thread of the host waits for another thread of the library (the network thread) to end
// something: deleting a request whose answer is being emitted, cancelling an exchange that is
// being delivered.
//
// On Windows the waiting thread is usually the host's UI thread, and the thread it waits for may
// be inside SendMessage to one of its windows (a receiver of `completed` on the network thread
// may do that): a plain wait would never end. There the wait serves the messages sent to the
// waiting thread while it waits, as GetMessage would, and ends when the process exits, which
// stops the thread waited for wherever it was.
#ifndef HOST_SRC_CROSS_THREAD_WAIT_H_
#define HOST_SRC_CROSS_THREAD_WAIT_H_

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/os_utils.h"

namespace base::thread::internal {

#ifdef _WIN32
constexpr bool kThreadsReceiveSentMessages = true;
#else
constexpr bool kThreadsReceiveSentMessages = false;
#endif

// How long a wait sleeps before it looks for sent messages again.
constexpr std::chrono::milliseconds kSentMessagePollInterval{2};

// Runs the window procedures of the messages that other threads have sent the calling thread
// (SendMessage) and that wait for it; posted messages stay queued. Windows only.
void ServeSentMessages();

// Waits on `ended`, with `lock` held on entry and on return, until `done()` holds; on Windows
// also until the process is exiting, when the thread waited for has been stopped for good.
template <class Done>
void WaitServingSentMessages(std::unique_lock<std::mutex>& lock, std::condition_variable& ended,
                             Done done) {
  if constexpr (!kThreadsReceiveSentMessages) {
    ended.wait(lock, done);
  } else {
    while (!ended.wait_for(lock, kSentMessagePollInterval, done)) {
      if (os_utils::IsProcessExiting()) return;
      lock.unlock();
      ServeSentMessages();
      lock.lock();
    }
  }
}

}  // namespace base::thread::internal

#endif  // HOST_SRC_CROSS_THREAD_WAIT_H_
