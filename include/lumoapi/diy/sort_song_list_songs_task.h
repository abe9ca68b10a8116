// SortSongListSongsTask: runs one SortSongListSongs for the caller and reports its end.
//
// Each BeginRequest makes a fresh request from the task's `kwtok`, `list_id` and `song_ids`
// (deleting the previous one) and starts it; the task emits its inherited `completed` once when
// that request has completed, whatever the outcome, which _GetStatus and _GetSucceeded then tell.
//
// Threads and lifetime: constructed, started and destroyed on the UI thread; `completed` comes on
// the network thread or on the UI thread (a failed call). The task may be deleted at any time on
// the UI thread and from inside a receiver of its own `completed`, on either thread.
#ifndef LUMOAPI_DIY_SORT_SONG_LIST_SONGS_TASK_H_
#define LUMOAPI_DIY_SORT_SONG_LIST_SONGS_TASK_H_

#include <memory>
#include <string>
#include <vector>

#include "lumoapi/diy/sort_song_list_songs.h"
#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Runs a SortSongListSongs; see the file comment.
class LUMOAPI_EXPORT SortSongListSongsTask : public RequestRoot {
 public:
  // The arguments of each request it makes.
  SortSongListSongsTask(std::wstring kwtok, std::wstring list_id,
                        std::vector<std::wstring> song_ids);
  ~SortSongListSongsTask() override;
  SortSongListSongsTask(const SortSongListSongsTask&) = delete;
  SortSongListSongsTask& operator=(const SortSongListSongsTask&) = delete;

  // REQUIRES: UI thread.
  void BeginRequest() override;

  // The current request's status and success; 0 and false before the first BeginRequest.
  unsigned int _GetStatus() const;
  bool _GetSucceeded() const;  // whether the current request succeeded

  std::wstring kwtok;                  // the session token of each request
  std::wstring list_id;                // the list of each request
  std::vector<std::wstring> song_ids;  // the new order of each request
  // The current request; empty before the first BeginRequest.
  std::unique_ptr<SortSongListSongs> request;

 private:
  // Connected to the request's `completed`.
  void OnRequestCompleted();
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_SORT_SONG_LIST_SONGS_TASK_H_
