#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/http/win_http_request.h"
#include "base/logging.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "core/probe_request.h"
#include "support/fake_transport.h"
#include "support/page_answering.h"
#include "support/request_harness.h"
#include "support/ui_test_util.h"

namespace lumo::testing {
namespace {

using namespace std::chrono_literals;

// Collects the host log for the test's lifetime.
class LogCapture {
 public:
  LogCapture() {
    previous_ = base::logging::SetLogSink([this](const base::logging::LogRecord& record) {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back(record.message);
    });
  }
  ~LogCapture() { base::logging::SetLogSink(previous_); }
  std::wstring All() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::wstring all;
    for (const auto& line : lines_) all += line + L"\n";
    return all;
  }

 private:
  base::logging::LogSink previous_;
  mutable std::mutex mutex_;
  std::vector<std::wstring> lines_;
};

enum class Outcome { kAnswer, kTransportFailure, kBuildThrows };

using Kind = lumoapi::CallFailure::Kind;

struct LifecycleCase {
  const char* name;
  Outcome outcome;
  int32_t http_status;  // for a transport failure: its code
  const char* body;     // for a transport failure: its text
  bool parser_throws;
  int32_t expected_status;
  bool expected_succeeded;
  bool expected_parsed;
  bool expected_on_ui_thread;  // deferred completion
  Kind kind;
  const wchar_t* text;
};

class RequestLifecycleTest : public ::testing::Test {
 protected:
  ScopedFakeTransport transport_;
  LogCapture log_;
};

// The outcomes of the frame's own judgement, and the reason each failure gives; the fault matrix
// runs every class against {}, an accepted and a refused code, non-JSON and an HTML error page
// through the real transport. The transport failures carry the codes and texts of the default
// transport.
TEST_F(RequestLifecycleTest, EveryOutcomeCompletesExactlyOnce) {
  const LifecycleCase cases[] = {
      {"explicit success", Outcome::kAnswer, 200, R"({"error_code":22000})", false, 22000, true,
       true, false, Kind::kNone, L""},
      {"accepted blocked code", Outcome::kAnswer, 200, R"({"error_code":24003})", false, 24003,
       true, true, false, Kind::kNone, L""},
      {"service error with HTTP error", Outcome::kAnswer, 500, R"({"error_code":22001})", false,
       22001, false, false, false, Kind::kServiceCode, L"service error 22001"},
      {"JSON without code and HTTP error", Outcome::kAnswer, 503, R"({"busy":true})", false, 503,
       false, false, false, Kind::kHttpStatus, L"HTTP 503"},
      {"plain text 404", Outcome::kAnswer, 404, "not found", false, 404, false, false, true,
       Kind::kHttpStatus, L"HTTP 404"},
      {"empty body", Outcome::kAnswer, 200, "", false, 200, false, false, true, Kind::kNotJson,
       L"the answer is not JSON"},
      {"parser throws", Outcome::kAnswer, 200, "{}", true, 22000, false, true, true,
       Kind::kParseError, L"the answer could not be read: bad"},
      {"parser refuses an accepted code", Outcome::kAnswer, 200, R"({"error_code":22469})", true,
       22469, false, true, true, Kind::kServiceCode, L"service error 22469"},
      {"connection refused", Outcome::kTransportFailure, 7,
       "Couldn't connect to server: Failed to connect to 127.0.0.1 port 9: Connection refused",
       false, 0, false, false, true, Kind::kConnectionRefused, L"connection refused"},
      {"timed out", Outcome::kTransportFailure, 28,
       "Timeout was reached: Operation timed out after 30001 milliseconds with 0 bytes received",
       false, 0, false, false, true, Kind::kTimeout, L"timed out after 30 s"},
      {"over the body limit", Outcome::kTransportFailure, 63,
       "response body exceeds 33554432 bytes", false, 0, false, false, true, Kind::kBodyTooLarge,
       L"the answer is larger than 32 MiB"},
      {"another transport failure", Outcome::kTransportFailure, 52,
       "Server returned nothing (no headers, no status code)", false, 0, false, false, true,
       Kind::kTransport,
       L"transport error 52: Server returned nothing (no headers, no status code)"},
      {"parameters throw", Outcome::kBuildThrows, 0, "", false, 0, false, false, true,
       Kind::kNotBuilt, L"the request could not be built: cannot build the parameters"},
  };
  for (const LifecycleCase& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeRequest request;
    request.throw_in_build = c.outcome == Outcome::kBuildThrows;
    if (c.parser_throws) request.parse = [](web::json::value&) { throw std::runtime_error("bad"); };
    EndProbe probe;
    request.completed.connect(&probe, &EndProbe::OnCompleted);
    const size_t started_before = transport_->Started().size();

    const int emissions = c.outcome == Outcome::kTransportFailure
                              ? RunWithFailure(request, *transport_, c.http_status, c.body)
                              : RunWithAnswer(request, *transport_, c.http_status, c.body);

    EXPECT_EQ(emissions, 1);
    EXPECT_EQ(probe.count, 1);
    EXPECT_EQ(request.status, c.expected_status);
    EXPECT_EQ(request.succeeded, c.expected_succeeded);
    EXPECT_EQ(request.parse_calls > 0, c.expected_parsed);
    EXPECT_TRUE(request.finished);
    EXPECT_EQ(probe.on_ui_thread, c.expected_on_ui_thread);
    // The failure way deletes the HTTP request before it reports.
    EXPECT_EQ(request.http_request == nullptr, c.expected_on_ui_thread);
    EXPECT_EQ(transport_->Started().size() - started_before,
              c.outcome == Outcome::kBuildThrows ? 0u : 1u);

    const lumoapi::CallFailure failure = request.Failure();
    EXPECT_EQ(failure.kind, c.kind);
    EXPECT_EQ(failure.text, c.text);
    const bool answered = c.outcome == Outcome::kAnswer;
    EXPECT_EQ(failure.http_status, answered ? c.http_status : 0);
    EXPECT_EQ(failure.transport_code, c.outcome == Outcome::kTransportFailure ? c.http_status : 0);
    const bool code_read = answered && (c.kind == Kind::kNone || c.kind == Kind::kServiceCode ||
                                        c.kind == Kind::kParseError);
    EXPECT_EQ(failure.service_code, code_read ? c.expected_status : 0);
  }
}

TEST_F(RequestLifecycleTest, SendsTheStandardHeaders) {
  struct Case {
    std::wstring token;
    std::vector<std::pair<std::string, std::string>> expected;
  };
  const std::vector<Case> cases = {
      {L"", {{"User-Agent", "qxpc_1.0.0"}, {"Referer", "http://www.lumo.example"}}},
      {L"abc",
       {{"User-Agent", "qxpc_1.0.0"},
        {"Referer", "http://www.lumo.example"},
        {"Cookie", "KWTOK=abc"}}},
  };
  for (const Case& c : cases) {
    ProbeRequest request;
    request.session_token = c.token;
    request.BeginRequest();
    const auto started = transport_->Started();
    ASSERT_FALSE(started.empty());
    EXPECT_EQ(started.back().request.method, "GET");
    EXPECT_EQ(started.back().request.url, base::string_utils::ToUtf8(request.url));
    EXPECT_EQ(started.back().request.headers, c.expected);
  }
}

TEST_F(RequestLifecycleTest, SecondBeginRequestReplacesTheFirstCall) {
  ProbeRequest request;
  EndProbe probe;
  request.completed.connect(&probe, &EndProbe::OnCompleted);
  request.BeginRequest();
  const auto first = transport_->Started().back().id;
  request.BeginRequest();
  const auto second = transport_->Started().back().id;
  ASSERT_NE(first, second);
  EXPECT_TRUE(transport_->IsCancelled(first));
  EXPECT_FALSE(transport_->Answer(first, 200, "{}"));
  EXPECT_TRUE(transport_->Answer(second, 200, R"({"error_code":22001})"));
  base::thread::UiLoop::Instance().RunUntilIdle();
  EXPECT_EQ(probe.count, 1);
  EXPECT_EQ(request.status, 22001);
}

TEST_F(RequestLifecycleTest, DeletingBeforeOrDuringTheCallNeverReports) {
  auto unstarted = std::make_unique<ProbeRequest>();
  unstarted.reset();

  EndProbe probe;
  auto in_flight = std::make_unique<ProbeRequest>();
  in_flight->completed.connect(&probe, &EndProbe::OnCompleted);
  in_flight->BeginRequest();
  const auto id = transport_->Started().back().id;
  in_flight.reset();
  EXPECT_TRUE(transport_->IsCancelled(id));
  EXPECT_FALSE(transport_->Answer(id, 200, "{}"));

  // A failure already posted to the UI thread is dropped with the request.
  auto failed = std::make_unique<ProbeRequest>();
  failed->completed.connect(&probe, &EndProbe::OnCompleted);
  failed->BeginRequest();
  std::thread([&] { transport_->Fail(transport_->Started().back().id, 7, "down"); }).join();
  failed.reset();
  base::thread::UiLoop::Instance().RunUntilIdle();
  EXPECT_EQ(probe.count, 0);
}

TEST_F(RequestLifecycleTest, DeletionWaitsForAnAnswerBeingHandledWhichThenNeverReports) {
  auto request = std::make_unique<ProbeRequest>();
  EndProbe probe;
  request->completed.connect(&probe, &EndProbe::OnCompleted);
  std::atomic<bool> parsing{false};
  std::atomic<bool> parsed{false};
  request->parse = [&](web::json::value&) {
    parsing = true;
    std::this_thread::sleep_for(50ms);
    parsed = true;
  };
  request->BeginRequest();
  const auto id = transport_->Started().back().id;
  std::thread network([&] { transport_->Answer(id, 200, "{}"); });
  while (!parsing) std::this_thread::yield();
  request.reset();  // must wait until the parser has returned
  EXPECT_TRUE(parsed);
  network.join();
  base::thread::UiLoop::Instance().RunUntilIdle();
  EXPECT_EQ(probe.count, 0);
}

// A receiver may delete the request, or throw, on either thread; either way there is one
// completion, and a throw is logged.
TEST_F(RequestLifecycleTest, ReceiverMayDeleteTheRequestOrThrowOnEitherThread) {
  for (const bool deletes : {true, false}) {
    for (const char* body : {"{}", "not json"}) {
      SCOPED_TRACE(std::string(deletes ? "deletes, " : "throws, ") + body);
      auto* request = new ProbeRequest();
      EndProbe probe;
      probe.during = [&] {
        if (deletes) {
          delete request;
          request = nullptr;
        } else {
          throw std::runtime_error("receiver failed");
        }
      };
      request->completed.connect(&probe, &EndProbe::OnCompleted);
      request->BeginRequest();
      const auto id = transport_->Started().back().id;
      std::thread([&] { transport_->Answer(id, 200, body); }).join();
      RunUiUntil([&] { return probe.count > 0; });
      base::thread::UiLoop::Instance().RunUntilIdle();
      EXPECT_EQ(probe.count, 1);
      EXPECT_EQ(log_.All().find(L"receiver failed") != std::wstring::npos, !deletes);
      delete request;
    }
  }
}

TEST_F(RequestLifecycleTest, LogLinesNeverCarryTheSessionToken) {
  ProbeRequest request;
  request.params = L"kwtok=SECRET-TOKEN&songid=1";
  request.session_token = L"SECRET-TOKEN";
  RunWithFailure(request, *transport_, 28);
  RunWithAnswer(request, *transport_, 200, "<html>");
  const std::wstring log = log_.All();
  EXPECT_NE(log.find(L"kwtok=***"), std::wstring::npos) << base::string_utils::ToUtf8(log);
  EXPECT_EQ(log.find(L"SECRET"), std::wstring::npos) << base::string_utils::ToUtf8(log);
}

}  // namespace
}  // namespace lumo::testing
