// The main of every test executable: the main thread is the UI thread.
#include <gtest/gtest.h>

#include "base/thread/ui_loop.h"

int main(int argc, char** argv) {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
