// A connection that comes while the process has no descriptor left must wait, not end the
// listener.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "raw_connection.h"
#include "sandbox/server.h"

namespace lumo::sandbox::testing {
namespace {

// A connection arrives while the process has no descriptor left for the server to accept it
// with; once descriptors are free again, it and later ones are served.
TEST(AcceptTest, ListenerOutlivesRunningOutOfDescriptors) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizer runtimes need descriptors of their own (to report, to symbolize); with none
  // left, AddressSanitizer's build reports an error it cannot even print. Not run there until
  // that is understood.
  GTEST_SKIP() << "needs every descriptor of the process";
#endif
  Server server(Options{});
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  // The soft descriptor limit a little above the highest descriptor open now.
  int highest = 1024;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    for (highest = 0; dirent* entry = ::readdir(dir);)
      highest = std::max(highest, std::atoi(entry->d_name));
    ::closedir(dir);
  }
  rlimit saved{};
  ::getrlimit(RLIMIT_NOFILE, &saved);
  rlimit lowered = saved;
  lowered.rlim_cur = static_cast<rlim_t>(highest) + 40;
  ::setrlimit(RLIMIT_NOFILE, &lowered);
  // Every free descriptor below the limit, the gaps below the highest one included, but one.
  std::vector<int> ballast;
  for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0 && ballast.size() < 4096;
       fd = ::open("/dev/null", O_RDONLY)) {
    ballast.push_back(fd);
  }
  EXPECT_FALSE(ballast.empty());
  if (!ballast.empty()) {
    ::close(ballast.back());
    ballast.pop_back();
  }
  RawConnection early(server.port());
  EXPECT_TRUE(early.connected()) << early.error();
  EXPECT_TRUE(
      early.Send(RequestText("GET", "/_sandbox/rules", "", "", LoopbackHost(server.port()))));
  // Waits out the socket's time limit: the server cannot accept the connection yet.
  EXPECT_EQ(early.ReadAnswer().status, 0);
  for (int fd : ballast) ::close(fd);
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(early.ReadAnswer().status, 200);
  RawConnection later(server.port());
  EXPECT_TRUE(
      later.Send(RequestText("GET", "/_sandbox/rules", "", "", LoopbackHost(server.port()))));
  EXPECT_EQ(later.ReadAnswer().status, 200);
}

}  // namespace
}  // namespace lumo::sandbox::testing
