// Thousands of requests of every class through the real transport to the sandbox and to a loopback
// server with mixed answers, deleted at random: before their answer, while it is handled, and from
// inside their own `completed`. Each one completes exactly once or is deleted first, and with the
// answer to its own address.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/thread/ui_loop.h"
#include "lumoapi/request_base.h"
#include "stress/stress_util.h"
#include "support/every_request.h"

namespace lumo::stress {
namespace {

using namespace std::chrono_literals;

// LUMO_STRESS_REQUESTS asks for another number of requests per server.
constexpr int kRequests = 10000;
// More than the transport hands its engine for one host, so that some wait in the transport.
constexpr size_t kInFlight = 96;
constexpr int kRequestsPerStir = 250;
constexpr uint32_t kSeed = 20261207;

// How a request's life ends.
enum class Ending {
  kAfterCompletion,  // deleted on the UI thread once it has completed
  kRightAfterBegin,  // deleted before its answer can have arrived
  kWhileInFlight,    // deleted a few turns of the UI loop later, answered or not
  kInsideCompleted,  // deletes itself from its receiver, on whichever thread that runs
};

// Watches one request. Lives until the end of the test, so an emission can never reach a
// watcher that has gone.
class Watcher : public sigslot::has_slots<sigslot::single_threaded> {
 public:
  void OnCompleted() {
    if (deleted.load()) emitted_after_deletion = true;
    CheckAnswer();
    if (ending == Ending::kInsideCompleted) owner->reset();
    completions.fetch_add(1, std::memory_order_release);
  }

  Ending ending = Ending::kAfterCompletion;
  int turns_left = 0;  // kWhileInFlight: turns of the UI loop before the deletion
  std::unique_ptr<lumoapi::RequestBase>* owner = nullptr;
  // The request itself: alive during its emission, on whichever thread, while `owner` may be
  // reset on the UI thread.
  const lumoapi::RequestBase* request = nullptr;
  const Backend* backend = nullptr;
  std::atomic<bool> wrong_answer{false};
  std::atomic<int> completions{0};
  std::atomic<bool> deleted{false};  // deleted by the test (not from inside the receiver)
  std::atomic<bool> emitted_after_deletion{false};

 private:
  // An answer that arrived must be the one to this request's address.
  void CheckAnswer() {
    const std::wstring& url = request->url;
    const size_t path = url.find(L'/', url.find(L"://") + 3);
    if (path == std::wstring::npos) return;
    const std::wstring target = url.substr(path);
    const std::string expected = backend->BodyFor(std::string(target.begin(), target.end()));
    if (expected.empty() || request->response_text.empty()) return;
    if (request->response_text != std::wstring(expected.begin(), expected.end())) {
      wrong_answer = true;
    }
  }
};

Ending PickEnding(std::mt19937& random) {
  const unsigned pick = random() % 100;
  if (pick < 55) return Ending::kAfterCompletion;
  if (pick < 65) return Ending::kRightAfterBegin;
  if (pick < 80) return Ending::kWhileInFlight;
  return Ending::kInsideCompleted;
}

// Runs `count` requests against `backend` and checks how each one ended.
void RunRequests(Backend& backend, int count, std::mt19937& random) {
  ScopedRoute route(backend);
  QuietHostLog log;
  const std::vector<testing::RequestRow>& rows = testing::EveryRequestRow();

  std::vector<std::unique_ptr<lumoapi::RequestBase>> requests(count);
  std::vector<Watcher> watchers(count);
  std::vector<int> active;
  int next = 0;

  auto start = [&](int i) {
    Watcher& watcher = watchers[i];
    watcher.ending = PickEnding(random);
    watcher.turns_left = static_cast<int>(random() % 4);
    watcher.owner = &requests[i];
    requests[i] = rows[random() % rows.size()].make();
    watcher.request = requests[i].get();
    watcher.backend = &backend;
    requests[i]->completed.connect(&watcher, &Watcher::OnCompleted);
    requests[i]->BeginRequest();
    if (watcher.ending == Ending::kRightAfterBegin) {
      requests[i].reset();
      watcher.deleted = true;
      return;
    }
    active.push_back(i);
  };

  // Bounded well beyond what the run needs; the transport's own limits end a stuck exchange.
  const auto deadline = std::chrono::steady_clock::now() + 150s;
  auto& loop = base::thread::UiLoop::Instance();
  while ((next < count || !active.empty()) && std::chrono::steady_clock::now() < deadline) {
    while (active.size() < kInFlight && next < count) {
      if (next % kRequestsPerStir == 0) backend.Stir(random);
      start(next++);
    }
    loop.RunUntil([] { return false; }, 1ms);
    std::vector<int> still_active;
    for (int i : active) {
      Watcher& watcher = watchers[i];
      const bool completed = watcher.completions.load(std::memory_order_acquire) > 0;
      if (watcher.ending == Ending::kInsideCompleted) {
        if (!completed) still_active.push_back(i);
        continue;  // the receiver owns the deletion
      }
      const bool delete_now =
          completed || (watcher.ending == Ending::kWhileInFlight && watcher.turns_left-- <= 0);
      if (!delete_now) {
        still_active.push_back(i);
        continue;
      }
      requests[i].reset();
      watcher.deleted = !completed;
    }
    active.swap(still_active);
  }
  ASSERT_TRUE(active.empty()) << active.size() << " requests never completed";
  loop.RunUntilIdle();

  // One line per faulty request, at most ten of them.
  int faults = 0;
  for (int i = 0; i < count && faults < 10; ++i) {
    const Watcher& watcher = watchers[i];
    const int completions = watcher.completions.load(std::memory_order_acquire);
    const bool deleted = watcher.deleted.load();
    const bool ok = !watcher.emitted_after_deletion && !watcher.wrong_answer &&
                    requests[i] == nullptr && (deleted ? completions <= 1 : completions == 1);
    EXPECT_TRUE(ok) << "request " << i << ": " << completions << " completions, deleted " << deleted
                    << ", emitted after deletion " << watcher.emitted_after_deletion.load()
                    << ", another's answer " << watcher.wrong_answer.load();
    faults += ok ? 0 : 1;
  }
}

TEST(RequestStressTest, RandomDeletionsAcrossEveryClass) {
  const int count = SizeFromEnvironment("LUMO_STRESS_REQUESTS", kRequests, 1000000);
  std::mt19937 random(AnnouncedSeed(kSeed));
  ForEachBackend([&](Backend& backend) { RunRequests(backend, count, random); });
}

}  // namespace
}  // namespace lumo::stress
