// AddFavoriteSongListTask: runs one AddFavoriteSongList for the caller and reports its end.
//
// Each BeginRequest makes a fresh request from the task's `kwtok`, `list_id` and `source`
// (deleting the previous one) and starts it; the task emits `task_completed` (`source`, the
// request's `status`) once when that request has completed, whatever the outcome, and never its
// inherited `completed`.
//
// Threads and lifetime: constructed, started and destroyed on the UI thread; `task_completed`
// comes on the network thread or on the UI thread (a failed call). The task may be deleted at any
// time on the UI thread and from inside a receiver of its own `task_completed`, on either thread.
#ifndef LUMOAPI_DIY_ADD_FAVORITE_SONG_LIST_TASK_H_
#define LUMOAPI_DIY_ADD_FAVORITE_SONG_LIST_TASK_H_

#include <cstdint>
#include <memory>
#include <string>

#include "lumoapi/diy/add_favorite_song_list.h"
#include "lumoapi/export.h"
#include "lumoapi/request_base.h"
#include "sigslot/sigslot.h"

namespace lumoapi::diy {

// Runs an AddFavoriteSongList; see the file comment.
class LUMOAPI_EXPORT AddFavoriteSongListTask : public RequestRoot {
 public:
  // The arguments of each request it makes.
  AddFavoriteSongListTask(std::wstring kwtok, std::wstring list_id, int source);
  ~AddFavoriteSongListTask() override;
  AddFavoriteSongListTask(const AddFavoriteSongListTask&) = delete;
  AddFavoriteSongListTask& operator=(const AddFavoriteSongListTask&) = delete;

  // REQUIRES: UI thread.
  void BeginRequest() override;

  // Emitted once per BeginRequest, with `source` and the request's `status`.
  sigslot::signal2<int, int, sigslot::single_threaded> task_completed;
  std::wstring kwtok;    // the session token of each request
  std::wstring list_id;  // the list of each request
  int32_t source;        // the `source` of each request
  // The current request; empty before the first BeginRequest.
  std::unique_ptr<AddFavoriteSongList> request;

 private:
  // Connected to the request's `completed`.
  void OnRequestCompleted();
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_ADD_FAVORITE_SONG_LIST_TASK_H_
