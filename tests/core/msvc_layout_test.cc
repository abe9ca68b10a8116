// The layouts of the types that cross the DLL boundary, as a Visual Studio 2022 x64 build (release
// runtime) has them. A program built by Visual Studio allocates the library's objects and passes
// their standard-library members in and out; a size that differs here means the headers this
// build sees (the C++ library, the C runtime's, the compiler's settings) are not the ones such a
// program sees.
#include <gtest/gtest.h>

#include <cstddef>
#include <cwchar>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Layout {
  const char* type;
  size_t size;
  size_t expected;
};

TEST(MsvcLayout, MatchesVisualStudio2022X64) {
  const Layout layouts[] = {
      {"std::wstring", sizeof(std::wstring), 32},
      {"std::string", sizeof(std::string), 32},
      {"std::vector<std::wstring>", sizeof(std::vector<std::wstring>), 24},
      {"std::shared_ptr<int>", sizeof(std::shared_ptr<int>), 16},
      {"std::function<void()>", sizeof(std::function<void()>), 64},
      {"std::map<std::wstring, std::wstring>", sizeof(std::map<std::wstring, std::wstring>), 16},
      {"std::mutex", sizeof(std::mutex), 80},
      {"std::exception", sizeof(std::exception), 24},
      {"wchar_t", sizeof(wchar_t), 2},
      {"long", sizeof(long), 4},
      {"mbstate_t", sizeof(mbstate_t), 8},
      {"time_t", sizeof(time_t), 8},
  };
  for (const Layout& layout : layouts) {
    EXPECT_EQ(layout.size, layout.expected) << "sizeof(" << layout.type << ")";
  }
}

}  // namespace
