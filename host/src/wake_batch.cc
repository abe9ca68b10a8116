#include "wake_batch.h"

#include <array>
#include <cstddef>

namespace base::thread::internal {
namespace {

// Two sleepers exist (the UI loop and the network thread); a few slots leave room for tests'.
constexpr size_t kMaxNoted = 8;

struct Noted {
  void* target = nullptr;
  WakeFunction wake = nullptr;
};

struct ThreadBatch {
  int depth = 0;
  size_t count = 0;
  std::array<Noted, kMaxNoted> noted;
};

thread_local ThreadBatch batch;

}  // namespace

WakeBatch::WakeBatch() { ++batch.depth; }

WakeBatch::~WakeBatch() {
  if (--batch.depth == 0) FlushWakes();
}

void WakeSoon(void* target, WakeFunction wake) {
  if (batch.depth == 0) {
    wake(target);
    return;
  }
  for (size_t i = 0; i < batch.count; ++i) {
    if (batch.noted[i].target == target) return;
  }
  if (batch.count == kMaxNoted) {
    wake(target);
    return;
  }
  batch.noted[batch.count++] = Noted{target, wake};
}

void FlushWakes() {
  // Taken out first: a wake function that noted again would otherwise be overwritten mid-loop.
  const std::array<Noted, kMaxNoted> noted = batch.noted;
  const size_t count = batch.count;
  batch.count = 0;
  for (size_t i = 0; i < count; ++i) noted[i].wake(noted[i].target);
}

}  // namespace base::thread::internal
