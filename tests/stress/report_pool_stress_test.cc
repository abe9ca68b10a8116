// The report pool through the real transport: rounds of reports sent to the sandbox and to a
// loopback server with mixed answers, each round ended by Uninit with answers still on their way.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/thread/ui_loop.h"
#include "lumoapi/user/report_pool.h"
#include "lumoapi/user/user_down.h"
#include "stress/stress_util.h"

namespace lumo::stress {
namespace {

using namespace std::chrono_literals;
using lumoapi::user::ReportPool;

// LUMO_STRESS_REPORT_ROUNDS asks for another number of rounds per server.
constexpr int kRounds = 40;
constexpr int kReportsPerRound = 100;
constexpr uint32_t kSeed = 7122026;

// What the test learns about one report. Outlives the report.
struct ReportRecord : public sigslot::has_slots<sigslot::single_threaded> {
  void OnCompleted() {
    if (deleted.load()) emitted_after_deletion = true;
    completions.fetch_add(1);
  }
  std::atomic<int> completions{0};
  std::atomic<int> deletions{0};
  std::atomic<bool> deleted{false};
  std::atomic<bool> deleted_off_ui_thread{false};
  std::atomic<bool> emitted_after_deletion{false};
};

// A user-down report that tells its record when it goes.
class RecordedReport : public lumoapi::user::UserDown {
 public:
  RecordedReport(ReportRecord* record, const std::wstring& song)
      : UserDown({song}, L"7"), record_(record) {
    completed.connect(record, &ReportRecord::OnCompleted);
  }
  ~RecordedReport() override {
    StopHttpRequest();  // no emission after this
    record_->deleted = true;
    record_->deletions.fetch_add(1);
    if (!base::thread::UiLoop::Instance().IsUiThread()) record_->deleted_off_ui_thread = true;
  }

 private:
  ReportRecord* record_;
};

// Runs `rounds` rounds of reports against `backend` and checks that each report was deleted once,
// on the UI thread, and heard from no more after Uninit.
void RunRounds(Backend& backend, int rounds, std::mt19937& random) {
  ScopedRoute route(backend);
  QuietHostLog log;
  auto& loop = base::thread::UiLoop::Instance();
  std::vector<std::unique_ptr<ReportRecord>> records;

  for (int round = 0; round < rounds; ++round) {
    backend.Stir(random);
    ReportPool::Instance().Init();
    const size_t first = records.size();
    for (int i = 0; i < kReportsPerRound; ++i) {
      records.push_back(std::make_unique<ReportRecord>());
      ReportPool::Instance().AddReport(std::make_unique<RecordedReport>(
          records.back().get(), std::to_wstring(round * kReportsPerRound + i)));
      if (random() % 8 == 0) loop.RunUntilIdle();  // sweeps of what has finished so far
    }
    // Let a random share of the answers in, then pull the pool down under the rest.
    loop.RunUntil([] { return false; }, std::chrono::milliseconds(random() % 6));
    ReportPool::Instance().Uninit();
    for (size_t i = first; i < records.size(); ++i) {
      EXPECT_EQ(records[i]->deletions, 1) << "round " << round << ", report " << i - first;
    }
  }
  // Answers that were still on the wire must not reach anything now.
  std::vector<int> completions;
  completions.reserve(records.size());
  for (const auto& record : records) completions.push_back(record->completions);
  loop.RunUntil([] { return false; }, 50ms);
  loop.RunUntilIdle();

  int faults = 0;
  for (size_t i = 0; i < records.size() && faults < 10; ++i) {
    const ReportRecord& record = *records[i];
    const bool ok = record.deletions == 1 && !record.deleted_off_ui_thread &&
                    !record.emitted_after_deletion && record.completions <= 1 &&
                    record.completions == completions[i];
    EXPECT_TRUE(ok) << "report " << i << ": deletions " << record.deletions << ", completions "
                    << record.completions << " (" << completions[i] << " at Uninit)"
                    << ", deleted off the UI thread " << record.deleted_off_ui_thread
                    << ", emitted after deletion " << record.emitted_after_deletion;
    faults += ok ? 0 : 1;
  }
}

TEST(ReportPoolStressTest, UninitWhileAnswersArrive) {
  const int rounds = SizeFromEnvironment("LUMO_STRESS_REPORT_ROUNDS", kRounds, 100000);
  std::mt19937 random(AnnouncedSeed(kSeed));
  ForEachBackend([&](Backend& backend) { RunRounds(backend, rounds, random); });
}

}  // namespace
}  // namespace lumo::stress
