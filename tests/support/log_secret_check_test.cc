// The suite's log check (support/log_secret_check.h): what it counts as a token, and that a token
// written to either log fails the test, also while a test has a host-log sink of its own.
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

std::vector<std::string> Found(const std::string& line) {
  std::vector<std::string> found;
  for (const KnownToken* token : FindKnownTokens(line)) found.emplace_back(token->text);
  return found;
}

TEST(LogSecretCheckTest, FindsTokensWhereTheyWouldLeak) {
  struct Case {
    const char* line;
    std::vector<std::string> found;
  };
  const Case cases[] = {
      {"GET http://h/?a=1&kwtok=***&b=2", {}},
      {"Cookie: KWTOK=***", {}},
      {"failed: http://h/?kwtok=sbx-ordinary-7f3a9c21&x=1", {"sbx-ordinary-7f3a9c21"}},
      {"answer {\"user\":\"sbx-big-2c81e4d0\"}", {"sbx-big-2c81e4d0"}},
      {"param:uid=7&kwtok=SECRET", {"SECRET"}},
      {"kwtok=SECRET-TOKEN", {"SECRET-TOKEN"}},
      {"songid=1&kwtok=tok", {"tok"}},
      {"Cookie: KWTOK=acct; x=1", {"acct"}},
      {"the token of the account, a secret", {}},
      {"title=tokyo&name=acct2&q=abcd", {}},
      {"mykwtok=***", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Found(c.line), c.found) << c.line;
}

TEST(LogSecretCheckTest, MasksTokensInWhatItPrints) {
  EXPECT_EQ(MaskedToken("sbx-ordinary-7f3a9c21"), "sbx***(21 characters)");
  EXPECT_EQ(MaskedToken("tok"), "t***(3 characters)");
  const std::string masked =
      MaskKnownTokens("a=tok&kwtok=SECRET-TOKEN&u=sbx-big-2c81e4d0 token=SECRET;");
  EXPECT_TRUE(FindKnownTokens(masked).empty()) << masked;
  EXPECT_EQ(masked,
            "a=t***(3 characters)&kwtok=SEC***(12 characters)&u=sbx***(16 characters) "
            "token=S***(6 characters);");
}

void LogToTheHostLog() {
  base::logging::LogMessage(L"test", 1, base::logging::LoggingSeverity::kError,
                            L"GET http://h/?kwtok=sbx-curator-95be0f17");
}

void LogToGlog() { LOG(ERROR) << "Cookie: KWTOK=sbx-big-2c81e4d0"; }

// As the network thread does.
void LogFromAnotherThread() { std::thread(LogToTheHostLog).join(); }

// Collects the failures the check reports on any thread, and their text.
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

TEST(LogSecretCheckTest, ATokenInEitherLogFailsTheTest) {
  struct Case {
    const char* name;
    void (*write)();
    const char* masked;
  };
  const Case cases[] = {
      {"host log", LogToTheHostLog, "sbx***(20 characters)"},
      {"glog", LogToGlog, "sbx***(16 characters)"},
      {"host log", LogFromAnotherThread, "sbx***(20 characters)"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> failures = FailuresOf(c.write);
    ASSERT_EQ(failures.size(), 1u) << c.name;
    EXPECT_NE(failures[0].find(c.masked), std::string::npos) << failures[0];
    EXPECT_NE(failures[0].find(c.name), std::string::npos) << failures[0];
    EXPECT_TRUE(FindKnownTokens(failures[0]).empty()) << "the report shows the token";
  }
}

TEST(LogSecretCheckTest, ATestsOwnSinkStillGetsTheLinesAndTheCheckStays) {
  std::vector<std::wstring> seen;
  base::logging::LogSink previous = base::logging::SetLogSink(
      [&](const base::logging::LogRecord& r) { seen.push_back(r.message); });
  EXPECT_EQ(FailuresOf(LogToTheHostLog).size(), 1u);
  base::logging::LogMessage(L"test", 2, base::logging::LoggingSeverity::kInfo, L"plain line");
  base::logging::SetLogSink(previous);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].rfind(L"GET http://h/?kwtok=", 0), 0u);
  EXPECT_EQ(seen[1], L"plain line");
}

}  // namespace
}  // namespace lumo::testing
