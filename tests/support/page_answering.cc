#include "support/page_answering.h"

#include <atomic>
#include <thread>

#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "support/request_harness.h"
#include "support/ui_test_util.h"

namespace lumo::testing {

std::vector<std::string> AnswerPages(FakeTransport& transport, const EndProbe& probe,
                                     const std::function<std::string(size_t)>& answer,
                                     const char* position) {
  std::vector<std::string> offsets;
  const int ends_before = probe.count;
  const auto ended = [&] { return probe.count > ends_before; };
  for (size_t page = 0; page < 20 && !ended(); ++page) {
    RunUiUntil([&] { return !transport.Pending().empty() || ended(); });
    const auto pending = transport.Pending();
    if (pending.empty()) break;
    const auto& exchange = pending.front();
    offsets.push_back(
        ValueOf(OwnPairs(base::string_utils::ToUtf16(exchange.request.url)), position));
    const std::string body = answer(page);
    std::thread([&] {
      if (body.empty()) {
        transport.Fail(exchange.id, 7, "refused");
      } else {
        transport.Answer(exchange.id, 200, body);
      }
    }).join();
  }
  RunUiUntil(ended);
  base::thread::UiLoop::Instance().RunUntilIdle();
  return offsets;
}

size_t AnswerEachHere(FakeTransport& transport, const std::string& body, size_t limit) {
  size_t answered = 0;
  while (answered <= limit) {
    const auto pending = transport.Pending();
    if (pending.empty()) break;
    transport.Answer(pending.front().id, 200, body);
    ++answered;
    base::thread::UiLoop::Instance().RunUntilIdle();
  }
  return answered;
}

void DestroyWhileAnswering(FakeTransport& transport, FakeTransport::ExchangeId id,
                           const std::string& body, const std::function<void()>& destroy) {
  std::atomic<bool> answered{false};
  std::thread network([&] {
    transport.Answer(id, 200, body);
    answered = true;
  });
  while (!transport.IsAnswering(id) && !answered) std::this_thread::yield();
  destroy();
  network.join();
}

}  // namespace lumo::testing
