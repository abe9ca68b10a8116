// Wake-ups of a sleeping thread, sent once per batch of work instead of once per item.
//
// A thread that hands work to another one (the UI loop running tasks that start transfers, the
// network thread delivering answers whose receivers post to the UI loop) opens a WakeBatch around
// the batch. While it is open, WakeSoon only notes which sleeper to wake; the outermost batch
// wakes each noted sleeper once when it closes. Without an open batch WakeSoon wakes at once.
//
// A thread that is about to block calls FlushWakes first, so that nothing it waits for can be
// held back by its own batch.
#ifndef HOST_SRC_WAKE_BATCH_H_
#define HOST_SRC_WAKE_BATCH_H_

namespace base::thread::internal {

// Wakes the sleeper `target`; must be callable at any time from any thread, and for as long as
// `target` may be named to WakeSoon (the sleepers are process-wide and never destroyed, or stop
// waking once shut down).
using WakeFunction = void (*)(void* target);

class WakeBatch {
 public:
  WakeBatch();
  ~WakeBatch();
  WakeBatch(const WakeBatch&) = delete;
  WakeBatch& operator=(const WakeBatch&) = delete;
};

// Wakes `target` now, or when the calling thread's outermost batch closes; a target noted
// several times in one batch is woken once.
void WakeSoon(void* target, WakeFunction wake);

// Sends the wake-ups noted so far on the calling thread.
void FlushWakes();

}  // namespace base::thread::internal

#endif  // HOST_SRC_WAKE_BATCH_H_
