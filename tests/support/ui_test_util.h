// Helpers for tests that run the UI loop on the test's main thread.
#ifndef TESTS_SUPPORT_UI_TEST_UTIL_H_
#define TESTS_SUPPORT_UI_TEST_UTIL_H_

#include <chrono>
#include <functional>

#include "base/thread/ui_loop.h"

namespace lumo::testing {

// Runs the UI loop until `done()` is true (returns true) or `timeout` passes (returns false).
// UI thread only.
inline bool RunUiUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  return base::thread::UiLoop::Instance().RunUntil(done, timeout);
}

}  // namespace lumo::testing

#endif  // TESTS_SUPPORT_UI_TEST_UTIL_H_
