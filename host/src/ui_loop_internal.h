// What the two halves of the UI loop share (ui_loop.cc and the platform's ui_loop_*.cc).
#ifndef HOST_SRC_UI_LOOP_INTERNAL_H_
#define HOST_SRC_UI_LOOP_INTERNAL_H_

namespace base::thread::internal {

// Tasks run between two sends of the wake-ups they held back, so that a queue that never empties
// does not keep the network thread asleep. On Windows also the tasks one wake-up message runs,
// so that the host's other messages get their turn.
constexpr int kTasksPerWakeBatch = 32;

}  // namespace base::thread::internal

#endif  // HOST_SRC_UI_LOOP_INTERNAL_H_
