// CancelFavoriteSongListTask: runs one CancelFavoriteSongList for the caller and reports its end.
//
// Each BeginRequest makes a fresh request from the task's `kwtok`, `list_id` and `source`
// (deleting the previous one) and starts it; the task emits `task_completed` (`source`, the
// request's `status`) once when that request has completed, whatever the outcome, and never its
// inherited `completed`.
//
// Threads and lifetime: constructed, started and destroyed on the UI thread; `task_completed`
// comes on the network thread or on the UI thread (a failed call). The task may be deleted at any
// time on the UI thread and from inside a receiver of its own `task_completed`, on either thread.
#ifndef LUMOAPI_DIY_CANCEL_FAVORITE_SONG_LIST_TASK_H_
#define LUMOAPI_DIY_CANCEL_FAVORITE_SONG_LIST_TASK_H_

#include <cstdint>
#include <memory>
#include <string>

#include "lumoapi/diy/cancel_favorite_song_list.h"
#include "lumoapi/export.h"
#include "lumoapi/request_base.h"
#include "sigslot/sigslot.h"

namespace lumoapi::diy {

// Runs a CancelFavoriteSongList; see the file comment.
class LUMOAPI_EXPORT CancelFavoriteSongListTask : public RequestRoot {
 public:
  // The arguments of each request it makes.
  CancelFavoriteSongListTask(std::wstring kwtok, std::wstring list_id, int source);
  ~CancelFavoriteSongListTask() override;
  CancelFavoriteSongListTask(const CancelFavoriteSongListTask&) = delete;
  CancelFavoriteSongListTask& operator=(const CancelFavoriteSongListTask&) = delete;

  // REQUIRES: UI thread.
  void BeginRequest() override;

  // Emitted once per BeginRequest, with `source` and the request's `status`.
  sigslot::signal2<int, int, sigslot::single_threaded> task_completed;
  std::wstring kwtok;    // the session token of each request
  std::wstring list_id;  // the list of each request
  int32_t source;        // the `source` of each request
  // The current request; empty before the first BeginRequest.
  std::unique_ptr<CancelFavoriteSongList> request;

 private:
  // Connected to the request's `completed`.
  void OnRequestCompleted();
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_CANCEL_FAVORITE_SONG_LIST_TASK_H_
