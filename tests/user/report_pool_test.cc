#include "lumoapi/user/report_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/thread/ui_loop.h"
#include "lumoapi/user/user_down.h"
#include "support/fake_transport.h"
#include "support/ui_test_util.h"

namespace {

using lumo::testing::FakeTransport;
using lumoapi::user::ReportPool;
using ExchangeId = FakeTransport::ExchangeId;

struct DeletionLog {
  std::vector<std::string> names;
  bool all_on_ui_thread = true;
};

// A user-down report that records its deletion.
class ProbeReport : public lumoapi::user::UserDown {
 public:
  ProbeReport(std::string name, DeletionLog* log)
      : UserDown({L"1"}, L"7"), name_(std::move(name)), log_(log) {}
  ~ProbeReport() override {
    StopHttpRequest();
    log_->names.push_back(name_);
    log_->all_on_ui_thread &= base::thread::UiLoop::Instance().IsUiThread();
  }

 private:
  std::string name_;
  DeletionLog* log_;
};

class ReportPoolTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ReportPool::Instance().Uninit();
    EXPECT_TRUE(log_.all_on_ui_thread);
  }

  // Hands a new report to the pool; returns it (owned by the pool) and its exchange.
  ProbeReport* Add(const std::string& name, ExchangeId* exchange = nullptr) {
    auto report = std::make_unique<ProbeReport>(name, &log_);
    ProbeReport* raw = report.get();
    ReportPool::Instance().AddReport(std::move(report));
    if (exchange != nullptr) *exchange = transport_->Started().back().id;
    return raw;
  }

  // Answers or fails exchanges from another thread, as the network would.
  void FromNetwork(const std::vector<ExchangeId>& answer, const std::vector<ExchangeId>& fail) {
    std::thread network([&] {
      for (ExchangeId id : answer) transport_->Answer(id, 200, "{}");
      for (ExchangeId id : fail) transport_->Fail(id, 7, "refused");
    });
    network.join();
  }

  static void RunUiUntilIdle() { base::thread::UiLoop::Instance().RunUntilIdle(); }

  lumo::testing::ScopedFakeTransport transport_;
  DeletionLog log_;
};

// Answered and failed reports alike go with the next sweep on the UI thread; the running one
// stays. (The stress tests send reports through the pool and the real transport.)
TEST_F(ReportPoolTest, SweepsAnsweredAndFailedReportsOnTheUiThread) {
  ExchangeId answered = 0, failed = 0;
  Add("answered", &answered);
  Add("failed", &failed);
  Add("running");
  FromNetwork({answered}, {failed});
  EXPECT_TRUE(log_.names.empty()) << "deleted before the UI thread ran";
  EXPECT_TRUE(lumo::testing::RunUiUntil([&] { return log_.names.size() == 2; }));
  RunUiUntilIdle();
  std::sort(log_.names.begin(), log_.names.end());
  EXPECT_EQ(log_.names, (std::vector<std::string>{"answered", "failed"}));
}

TEST_F(ReportPoolTest, UninitDeletesHeldReportsAndDropsPendingSweeps) {
  ExchangeId running = 0, done = 0;
  Add("running", &running);
  Add("done", &done);
  FromNetwork({done}, {});  // posts a sweep that has not run yet

  ReportPool::Instance().Uninit();
  EXPECT_EQ(log_.names, (std::vector<std::string>{"running", "done"}));
  EXPECT_TRUE(transport_->IsCancelled(running));

  // Had the earlier sweep survived Uninit, it would now delete this finished report.
  ProbeReport* late = Add("late");
  late->finished = true;
  RunUiUntilIdle();
  EXPECT_EQ(log_.names.size(), 2u);
}

}  // namespace
