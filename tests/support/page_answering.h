// Driving a task's pages over the fake transport in tests: a receiver of its end signal, and an
// answering loop that plays the service page by page.
#ifndef LUMO_TESTS_SUPPORT_PAGE_ANSWERING_H_
#define LUMO_TESTS_SUPPORT_PAGE_ANSWERING_H_

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "sigslot/sigslot.h"
#include "support/fake_transport.h"

namespace lumo::testing {

// Counts a task's end signal, whichever it has, and runs `during` inside it.
class EndProbe : public sigslot::has_slots<> {
 public:
  void OnCompleted() { Record(0, 0); }
  void OnTaskCompleted(int selector, int status) { Record(selector, status); }

  std::atomic<int> count{0};
  int selector = 0;
  int status = 0;
  std::function<void()> during;

 private:
  void Record(int s, int code) {
    selector = s;
    status = code;
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

}  // namespace lumo::testing

#endif  // LUMO_TESTS_SUPPORT_PAGE_ANSWERING_H_
