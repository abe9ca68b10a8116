// The suite's log check (support/log_secret_check.h): a token written to either log, from any
// thread, fails the test with the token masked, while a test's own host-log sink still gets it.
#include "support/log_secret_check.h"

#include <glog/logging.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/logging.h"

namespace lumo::testing {
namespace {

TEST(LogSecretCheckTest, FindsTokensButNotMasksOrLookalikes) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"GET http://h/?a=1&kwtok=***&b=2 Cookie: KWTOK=***", {}},
      {"answer {\"user\":\"sbx-big-2c81e4d0\"}", {"sbx-big-2c81e4d0"}},
      {"songid=1&kwtok=tok", {"tok"}},
      {"Cookie: KWTOK=acct; x=1", {"acct"}},
      {"title=tokyo&name=acct2 mykwtok=***", {}},
  };
  for (const auto& [line, expected] : cases) {
    std::vector<std::string> found;
    for (const KnownToken* token : FindKnownTokens(line)) found.emplace_back(token->text);
    EXPECT_EQ(found, expected) << line;
  }
  EXPECT_EQ(MaskKnownTokens("a=tok&kwtok=SECRET-TOKEN"),
            "a=t***(3 characters)&kwtok=SEC***(12 characters)");
}

void LogToTheHostLog() {
  base::logging::LogMessage(L"test", 1, base::logging::LoggingSeverity::kError,
                            L"GET http://h/?kwtok=sbx-curator-95be0f17");
}

// The failures the check reports on any thread.
std::vector<std::string> FailuresOf(void (*write)()) {
  ::testing::TestPartResultArray results;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
    write();
  }
  std::vector<std::string> messages;
  messages.reserve(static_cast<size_t>(results.size()));
  for (int i = 0; i < results.size(); ++i)
    messages.emplace_back(results.GetTestPartResult(i).message());
  return messages;
}

TEST(LogSecretCheckTest, ATokenInEitherLogFailsTheTestAndTheSinkStillGetsIt) {
  void (*const writers[])() = {
      LogToTheHostLog, [] { LOG(ERROR) << "Cookie: KWTOK=sbx-curator-95be0f17"; },
      [] { std::thread(LogToTheHostLog).join(); },  // as the network thread does
  };
  for (auto* write : writers) {
    const std::vector<std::string> failures = FailuresOf(write);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("sbx***(20 characters)"), std::string::npos) << failures[0];
    EXPECT_TRUE(FindKnownTokens(failures[0]).empty()) << failures[0];
  }
  std::vector<std::wstring> seen;
  base::logging::LogSink previous = base::logging::SetLogSink(
      [&](const base::logging::LogRecord& r) { seen.push_back(r.message); });
  EXPECT_EQ(FailuresOf(LogToTheHostLog).size(), 1u);
  base::logging::SetLogSink(previous);
  EXPECT_EQ(seen, std::vector<std::wstring>{L"GET http://h/?kwtok=sbx-curator-95be0f17"});
}

}  // namespace
}  // namespace lumo::testing
