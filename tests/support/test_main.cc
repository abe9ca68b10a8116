// The main of every test executable: the main thread is the UI thread, and no log line may carry
// a known session token.
#include <gtest/gtest.h>

#include "base/thread/ui_loop.h"
#include "support/log_secret_check.h"

int main(int argc, char** argv) {
  lumo::testing::InstallLogSecretCheck();
  base::thread::UiLoop::Instance().BindToCurrentThread();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
