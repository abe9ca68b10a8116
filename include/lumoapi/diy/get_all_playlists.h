// GetAllPlayLists: every page of the user's song lists of one kind (see GetPlayLists), gathered
// into one vector.
//
// A task: it makes no HTTP call itself but runs one GetPlayLists page request at a time, 50
// entries a page, for as long as a page says there are more. It ends with `task_completed`
// (`kind`, the status of the last page request), exactly once per BeginRequest, and never emits
// its inherited `completed`. A failing page ends the run at once; the entries of the earlier pages
// stay in `lists`. The host tells the outcome with _GetSucceeded and _GetStatus, and the reason
// of a failure with Failure().
//
// A run asks for at most 10,000 pages. One stopped there while the service still had more ends
// like a failed one: Failure().kind is kPageCap and _GetSucceeded false, while _GetStatus keeps
// the last page's status (22000) and `lists` holds every entry gathered.
//
// After a run `page` is the last page asked for, not the next one: a second BeginRequest asks for
// that page again and appends its entries to `lists` (after a capped run, continue with
// `page` + 1). Each BeginRequest starts a new run of up to 10,000 pages.
//
// Threads and lifetime: constructed, started and destroyed on the UI thread; `task_completed`
// comes on the network thread or on the UI thread (a failed page). The task may be deleted at any
// time on the UI thread (a page in flight is stopped, a posted next page never starts, nothing is
// emitted afterwards) and from inside a receiver of its own `task_completed`, on either thread.
#ifndef LUMOAPI_DIY_GET_ALL_PLAYLISTS_H_
#define LUMOAPI_DIY_GET_ALL_PLAYLISTS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/thread/dispatcher.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/export.h"
#include "lumoapi/request_base.h"
#include "sigslot/sigslot.h"

namespace lumoapi::internal {
template <class Paging>
class PageLoop;
}  // namespace lumoapi::internal

namespace lumoapi::diy {

// Gathers every page of the user's lists of one kind; see the file comment.
class LUMOAPI_EXPORT GetAllPlayLists : public RequestRoot {
 public:
  GetAllPlayLists(std::wstring kwtok, int kind);  // `kind` as for GetPlayLists.
  ~GetAllPlayLists() override;
  GetAllPlayLists(const GetAllPlayLists&) = delete;
  GetAllPlayLists& operator=(const GetAllPlayLists&) = delete;

  // Starts a run at the page `page`. REQUIRES: UI thread.
  void BeginRequest() override;

  // The current page request's status, success and capacity (500); 0, false and 0 before the
  // first BeginRequest.
  unsigned int _GetStatus() const;
  bool _GetSucceeded() const;         // the page succeeded, the run was not capped
  unsigned int _GetCapacity() const;  // the current page request's `capacity`

  // Emitted once per BeginRequest, with `kind` and the last page's `status`.
  sigslot::signal2<int, int, sigslot::single_threaded> task_completed;
  std::wstring kwtok;                     // the session token of each page request
  uint32_t page = 0;                      // the page asked for (counting from 0); see above
  int32_t listnum = 0;                    // the total, as the last page reported
  std::vector<PlayListItem> lists;        // the entries of every page so far, in order
  std::unique_ptr<GetPlayLists> request;  // the current page request
  base::thread::Dispatcher dispatcher;    // posts the next page to the UI thread
  int32_t kind;                           // the kind of every page request

 private:
  template <class Paging>
  friend class internal::PageLoop;  // runs the pages

  // Connected to the page request's `completed`.
  void OnPageCompleted();

  uint32_t pages_this_run_ = 0;  // pages asked for since the host's last BeginRequest
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_GET_ALL_PLAYLISTS_H_
