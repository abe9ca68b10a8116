// What every task shares: owning one request at a time, and the one paging loop of the gathering
// tasks.
//
// A task owns its current request through a unique_ptr member. A new request is made first, then
// the old one is deleted in place (its destructor may have to wait for its own answer to be
// handled on the network thread, and that handling reads it through the task), then the new one
// is started. The next page is never started from inside the current page's completion: it is
// posted to the UI thread through the task's dispatcher, which drops it if the task goes first.
// For the same reason a task's destructor deletes its request (DeleteInPlace) before its
// dispatcher goes: that handling may post through the dispatcher.
#ifndef LUMOAPI_PAGE_TASK_H_
#define LUMOAPI_PAGE_TASK_H_

#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "base/thread/dispatcher.h"
#include "call_failure.h"
#include "delete_in_place.h"
#include "lumoapi/request_base.h"

namespace lumoapi::internal {

// A service that says "more" forever cannot keep a task paging: a run ends after this many pages,
// with a kPageCap failure. 10,000 in the shipped library (page_cap.cc); the testing library's can
// be lowered (testing/page_cap.h).
uint64_t MaxPagesPerRun();

// Makes `fresh` the task's current request and starts it; `on_completed` of the task is connected
// to its `completed`. REQUIRES: UI thread.
template <class Task, class Request>
void StartRequest(Task* task, void (Task::*on_completed)(), std::unique_ptr<Request>& current,
                  std::unique_ptr<Request> fresh) {
  fresh->completed.connect(task, on_completed);
  DeleteInPlace(current);
  current = std::move(fresh);
  current->BeginRequest();
}

// The getters every task offers on its current request: 0 and false before the first one.
template <class Task>
unsigned int StatusOf(const Task& task) {
  return task.request ? static_cast<unsigned int>(task.request->status) : 0;
}
// A run stopped at the page limit did not succeed, though its last page did.
template <class Task>
bool SucceededOf(const Task& task) {
  return task.request && task.request->succeeded &&
         task.Failure().kind != CallFailure::Kind::kPageCap;
}

// Appends a page's records to the task's. A page that another one follows gives its records up:
// its request is replaced before anyone is told of it. The last page keeps its own, since the
// task's current request stays readable after the task completes.
template <class Record>
void AppendPage(std::vector<Record>& all, std::vector<Record>& page, bool followed) {
  if (followed) {
    all.insert(all.end(), std::make_move_iterator(page.begin()),
               std::make_move_iterator(page.end()));
    page.clear();
  } else {
    all.insert(all.end(), page.begin(), page.end());
  }
}

// The run of a gathering task over its pages. `Paging` describes one task class:
//
//   using Task = ...;  // has `request` (a unique_ptr to its page class), `dispatcher`, a private
//                      // OnPageCompleted() that calls PageLoop<Paging>::OnPageCompleted, and
//                      // the private `pages_this_run_` and `failure_`; befriends PageLoop
//   static std::unique_ptr<Page> MakePage(const Task&);   // the page at the task's position
//   static bool More(const Task&, const Page&);           // whether the service has more
//   static void Keep(Task&, Page&, bool followed);        // takes the page's results
//   static void Advance(Task&);                           // moves the position to the next page
//   static void EmitEnd(Task&);                           // the task's end signal
//
// Keep runs for every successful page, `followed` telling whether another page is asked for. A
// failed page ends the run at once and keeps what earlier pages gave. Before the end signal the
// task's failure_ becomes its last page's, or kPageCap when the run stopped at MaxPagesPerRun().
template <class Paging>
class PageLoop {
 public:
  using Task = typename Paging::Task;

  // A run from the task's position: the host's BeginRequest. The pages it posts itself continue
  // the run. REQUIRES: UI thread.
  static void Begin(Task& task) {
    task.pages_this_run_ = 0;
    task.failure_ = CallFailure{};
    StartPage(task);
  }

  // Run when the current page request has completed, on whichever thread it emitted.
  static void OnPageCompleted(Task& task) {
    auto& page = *task.request;
    CallFailure failure = page.Failure();
    if (page.succeeded) {
      const bool more = Paging::More(task, page);
      const bool capped = more && ++task.pages_this_run_ >= MaxPagesPerRun();
      Paging::Keep(task, page, more && !capped);
      if (capped) {
        failure = PageCapFailure(failure, MaxPagesPerRun());
      } else if (more) {
        Paging::Advance(task);
        // Nothing of the task is touched after the post: the posted call may already run.
        Task* const posted = &task;
        task.dispatcher.InvokeOnUIThread([posted] { StartPage(*posted); });
        return;
      }
    }
    task.failure_ = std::move(failure);
    // A receiver may delete the task: nothing of it is touched after the emission.
    Paging::EmitEnd(task);
  }

 private:
  static void StartPage(Task& task) {
    StartRequest(&task, &Task::OnPageCompleted, task.request, Paging::MakePage(task));
  }
};

}  // namespace lumoapi::internal

#endif  // LUMOAPI_PAGE_TASK_H_
