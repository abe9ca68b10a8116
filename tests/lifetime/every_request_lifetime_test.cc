// Every request class may be deleted on the UI thread at any moment of its call. Each class's
// destructor must stop its HTTP request before its own members go: an answer being handled on the
// network thread parses into them. These tests run over every class and task; under
// ThreadSanitizer a deletion while the answer is parsed also shows a destructor that lets its
// members go too early.
#include <glog/logging.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "base/logging.h"
#include "base/thread/ui_loop.h"
#include "settings/user_account_settings.h"
#include "support/every_request.h"
#include "support/fake_transport.h"
#include "support/page_answering.h"

namespace lumo::testing {
namespace {

// A valid answer large enough that parsing it takes a while.
std::string LargeAnswer() {
  std::string body = R"({"error_code":22000,"padding":[)";
  for (int i = 0; i < 20000; ++i) body += (i ? ",\"" : "\"") + std::to_string(i) + "\"";
  return body + "]}";
}

class EveryRequestLifetimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_token_ = account_._GetKwtok();
    account_.SetKwtok(kAccountToken);
    // The song-list detail logs an answer without songs whole; the large answers would flood.
    saved_min_log_level_ = FLAGS_minloglevel;
    FLAGS_minloglevel = google::GLOG_ERROR;
    // ~RequestBase logs each request whose class left the HTTP request to it.
    saved_sink_ = base::logging::SetLogSink([this](const base::logging::LogRecord& record) {
      if (record.location == L"lumoapi::RequestBase::~RequestBase") ++late_http_stops_;
    });
  }
  void TearDown() override {
    base::logging::SetLogSink(saved_sink_);
    account_.SetKwtok(saved_token_);
    FLAGS_minloglevel = saved_min_log_level_;
  }

  ScopedFakeTransport transport_;
  settings::user::UserAccountSettings& account_ = settings::user::UserAccountSettings::Instance();
  std::wstring saved_token_;
  int saved_min_log_level_ = 0;
  base::logging::LogSink saved_sink_;
  std::atomic<int> late_http_stops_{0};
};

// Deleted with its exchange in flight, the request cancels it; deleted while a large answer is
// parsed, it waits for the parse. Either way its own destructor stopped the HTTP request first.
TEST_F(EveryRequestLifetimeTest, DestructorStopsTheHttpRequestBeforeItsMembersGo) {
  const std::string answer = LargeAnswer();
  for (const RequestRow& row : EveryRequestRow()) {
    for (const bool answering : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (answering ? ", answer being parsed" : ", in flight"));
      const int late_before = late_http_stops_;
      auto request = row.make();
      request->BeginRequest();
      ASSERT_EQ(transport_->Pending().size(), 1u);
      const auto id = transport_->Pending().front().id;
      if (answering) {
        DestroyWhileAnswering(*transport_, id, answer, [&] { request.reset(); });
      } else {
        request.reset();
        EXPECT_TRUE(transport_->IsCancelled(id));
      }
      EXPECT_EQ(late_http_stops_, late_before)
          << "its destructor must call StopHttpRequest() first";
    }
  }
}

// A task deleted while its request's answer is being parsed waits for it, and starts nothing
// afterwards.
TEST_F(EveryRequestLifetimeTest, TaskDeletionWhileALargeAnswerIsParsedWaitsForIt) {
  const std::string answer = LargeAnswer();
  for (const TaskRow& row : EveryTaskRow()) {
    const size_t started_before = transport_->Started().size();
    auto task = row.make(L"tok", L"5");
    task->BeginRequest();
    ASSERT_EQ(transport_->Pending().size(), 1u) << row.name;
    DestroyWhileAnswering(*transport_, transport_->Pending().front().id, answer,
                          [&] { task.reset(); });
    base::thread::UiLoop::Instance().RunUntilIdle();
    EXPECT_EQ(transport_->Started().size(), started_before + 1) << row.name;
  }
}

}  // namespace
}  // namespace lumo::testing
