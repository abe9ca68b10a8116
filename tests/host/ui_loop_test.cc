// The dispatcher and the UI loop under it: ordering, never running inside a post, and dropping on
// cancel and destruction. Posting from other threads while dispatchers are cancelled and destroyed
// is stressed through requests (tests/core) and the report pool.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "base/thread/dispatcher.h"
#include "base/thread/ui_loop.h"

namespace {

using base::thread::Dispatcher;
using base::thread::UiLoop;

// Captured by a callable: counts, once per callable, whether it ran or was dropped.
struct Ticket {
  Ticket(std::atomic<int>* ran, std::atomic<int>* dropped) : ran_(ran), dropped_(dropped) {}
  ~Ticket() {
    if (!used_) ++*dropped_;
  }
  void Use() {
    ASSERT_FALSE(used_);
    used_ = true;
    ++*ran_;
  }

 private:
  std::atomic<int>* ran_;
  std::atomic<int>* dropped_;
  bool used_ = false;
};

TEST(DispatcherTest, RunsCallablesFromAnyThreadOnTheUiThreadInOrder) {
  Dispatcher dispatcher;
  std::vector<int> order;
  std::atomic<int> off_ui_thread{0};
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) {
      dispatcher.InvokeOnUIThread([&, i] {
        if (!UiLoop::Instance().IsUiThread()) ++off_ui_thread;
        order.push_back(i);
      });
    }
  });
  poster.join();
  dispatcher.InvokeOnUIThread([&] { order.push_back(100); });
  EXPECT_TRUE(order.empty());
  UiLoop::Instance().RunUntilIdle();
  ASSERT_EQ(order.size(), 101u);
  for (int i = 0; i <= 100; ++i) EXPECT_EQ(order[i], i);
  EXPECT_EQ(off_ui_thread, 0);
}

TEST(DispatcherTest, CancelAndDestructionDropPendingCallables) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroyed" : "cancelled");
    std::atomic<int> ran{0};
    std::atomic<int> dropped{0};
    auto dispatcher = std::make_unique<Dispatcher>();
    for (int i = 0; i < 3; ++i) {
      auto ticket = std::make_shared<Ticket>(&ran, &dropped);
      dispatcher->InvokeOnUIThread([ticket] { ticket->Use(); });
    }
    if (destroy) {
      dispatcher.reset();
    } else {
      dispatcher->CancelPendingInvokes();
    }
    EXPECT_EQ(dropped, 3);  // destroyed at once, not when the loop runs
    UiLoop::Instance().RunUntilIdle();
    EXPECT_EQ(ran, 0);

    if (!destroy) {  // still usable after a cancel
      auto ticket = std::make_shared<Ticket>(&ran, &dropped);
      dispatcher->InvokeOnUIThread([ticket] { ticket->Use(); });
      ticket.reset();
      UiLoop::Instance().RunUntilIdle();
      EXPECT_EQ(ran, 1);
    }
  }
}

}  // namespace
