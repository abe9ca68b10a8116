// Stands in for Visual C++'s thread-safe initialization of function-local statics. The compiler
// compares a static's guard with this thread's epoch and calls _Init_thread_header when it may be
// uninitialized; the first caller initializes (then _Init_thread_footer, or _Init_thread_abort
// when the initializer threw), others wait.
#include <limits.h>
#include <windows.h>

namespace {
constexpr int kUninitialized = 0;
constexpr int kBeingInitialized = -1;
SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE initialized = CONDITION_VARIABLE_INIT;
}  // namespace

extern "C" {
int _Init_global_epoch = INT_MIN;
__declspec(thread) int _Init_thread_epoch = INT_MIN;

void __cdecl _Init_thread_header(int* guard) noexcept {
  AcquireSRWLockExclusive(&lock);
  if (*guard == kUninitialized) {
    *guard = kBeingInitialized;
  } else {
    while (*guard == kBeingInitialized) {
      SleepConditionVariableSRW(&initialized, &lock, INFINITE, 0);
      if (*guard == kUninitialized) {  // the other thread's initializer threw: this one tries
        *guard = kBeingInitialized;
        ReleaseSRWLockExclusive(&lock);
        return;
      }
    }
    _Init_thread_epoch = _Init_global_epoch;
  }
  ReleaseSRWLockExclusive(&lock);
}

void __cdecl _Init_thread_footer(int* guard) noexcept {
  AcquireSRWLockExclusive(&lock);
  ++_Init_global_epoch;
  *guard = _Init_global_epoch;
  _Init_thread_epoch = _Init_global_epoch;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&initialized);
}

void __cdecl _Init_thread_abort(int* guard) noexcept {
  AcquireSRWLockExclusive(&lock);
  *guard = kUninitialized;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&initialized);
}
}
