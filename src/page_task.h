// What every task shares: owning one request at a time, and moving from one page to the next.
//
// A task owns its current request through a unique_ptr member. A new request is made first, then
// the old one is deleted in place (its destructor may have to wait for its own answer to be
// handled on the network thread, and that handling reads it through the task), then the new one
// is started. The next page is never started from inside the current page's completion: it is
// posted to the UI thread through the task's dispatcher, which drops it if the task goes first.
#ifndef LUMOAPI_PAGE_TASK_H_
#define LUMOAPI_PAGE_TASK_H_

#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "base/thread/dispatcher.h"
#include "delete_in_place.h"

namespace lumoapi::internal {

// A service that says "more" forever cannot keep a task paging: a run ends after this many pages
// as it does after a last page.
inline constexpr uint64_t kMaxPagesPerRun = 10000;

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

// After page number `page_index` (counting from 0) of a run: true when the run goes on, that is
// when the page said there is more and the run has not reached kMaxPagesPerRun pages.
inline bool RunGoesOn(bool more, uint64_t page_index) {
  return more && page_index + 1 < kMaxPagesPerRun;
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

// Posts the task's BeginRequest to the UI thread. The caller touches nothing of the task after
// this: the posted call may already be running.
template <class Task>
void PostNextPage(Task* task, base::thread::Dispatcher& dispatcher) {
  dispatcher.InvokeOnUIThread([task] { task->BeginRequest(); });
}

}  // namespace lumoapi::internal

#endif  // LUMOAPI_PAGE_TASK_H_
