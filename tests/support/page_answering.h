// Driving requests and tasks over the fake transport in tests: a receiver of a task's end signal,
// answering loops that play the service page by page, and deleting while an answer is handled.
#ifndef LUMO_TESTS_SUPPORT_PAGE_ANSWERING_H_
#define LUMO_TESTS_SUPPORT_PAGE_ANSWERING_H_

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "base/thread/ui_loop.h"
#include "sigslot/sigslot.h"
#include "support/fake_transport.h"

namespace lumo::testing {

// Counts the end signal of a request or task, whichever it has, notes the thread it came on, and
// runs `during` inside it.
class EndProbe : public sigslot::has_slots<> {
 public:
  void OnCompleted() { Record(0, 0); }
  void OnTaskCompleted(int selector, int status) { Record(selector, status); }

  std::atomic<int> count{0};
  std::atomic<bool> on_ui_thread{false};
  int selector = 0;
  int status = 0;
  std::function<void()> during;

 private:
  void Record(int s, int code) {
    selector = s;
    status = code;
    on_ui_thread = base::thread::UiLoop::Instance().IsUiThread();
    ++count;
    if (during) during();
  }
};

// Answers the pages a task starts, one at a time from a network thread, with `answer(page)` (an
// empty text fails the page at the transport), until the task's end signal has come once more;
// returns the value of the parameter `position` of every page asked for.
std::vector<std::string> AnswerPages(FakeTransport& transport, const EndProbe& probe,
                                     const std::function<std::string(size_t)>& answer,
                                     const char* position = "offset");

// Answers every request started with `body` on this thread (each completes here and posts what
// comes next to the UI loop, which then runs), until none is pending or `limit` + 1 were
// answered; returns how many were answered.
size_t AnswerEachHere(FakeTransport& transport, const std::string& body, size_t limit);

// Answers exchange `id` with `body` from another thread and calls `destroy` on this one as soon as
// that answer is being handled (or already has been); returns when both are done.
void DestroyWhileAnswering(FakeTransport& transport, FakeTransport::ExchangeId id,
                           const std::string& body, const std::function<void()>& destroy);

}  // namespace lumo::testing

#endif  // LUMO_TESTS_SUPPORT_PAGE_ANSWERING_H_
