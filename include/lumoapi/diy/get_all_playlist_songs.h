// GetAllPlayListSongs: every song of one song list, with the list's texts (see GetPlayList).
//
// A task: it makes no HTTP call itself but runs one GetPlayList page request at a time, 100 songs
// a page from `offset`, until the next offset reaches the count the last page reported (a negative
// count ends the run too). It ends with its inherited `completed`, exactly once per BeginRequest.
// A failing page ends the run at once; the songs of the earlier pages stay in `songs`. The host
// tells the outcome with _GetSucceeded and _GetStatus, and the reason of a failure with Failure().
//
// A run asks for at most 10,000 pages. One stopped there while the count said there are more ends
// like a failed one: Failure().kind is kPageCap and _GetSucceeded false, while _GetStatus keeps
// the last page's status (22000) and `songs` holds every song gathered.
//
// After a run `offset` is where the last page asked for started, not the next one: a second
// BeginRequest asks for that page again and appends its songs (after a capped run, add 100
// first). Each BeginRequest starts a new run of up to 10,000 pages.
//
// Threads and lifetime: constructed, started and destroyed on the UI thread; `completed` comes on
// the network thread or on the UI thread (a failed page). The task may be deleted at any time on
// the UI thread (a page in flight is stopped, a posted next page never starts, nothing is emitted
// afterwards) and from inside a receiver of its own `completed`, on either thread.
#ifndef LUMOAPI_DIY_GET_ALL_PLAYLIST_SONGS_H_
#define LUMOAPI_DIY_GET_ALL_PLAYLIST_SONGS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/thread/dispatcher.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::internal {
template <class Paging>
class PageLoop;
}  // namespace lumoapi::internal

namespace lumoapi::diy {

// Gathers every song of one list; see the file comment.
class LUMOAPI_EXPORT GetAllPlayListSongs : public RequestRoot {
 public:
  // Gathers the songs of the list `list_id`.
  GetAllPlayListSongs(std::wstring kwtok, std::wstring list_id);
  ~GetAllPlayListSongs() override;
  GetAllPlayListSongs(const GetAllPlayListSongs&) = delete;
  GetAllPlayListSongs& operator=(const GetAllPlayListSongs&) = delete;

  // Starts a run at the song position `offset`. REQUIRES: UI thread.
  void BeginRequest() override;

  // The current page request's status and success; 0 and false before the first BeginRequest.
  unsigned int _GetStatus() const;
  bool _GetSucceeded() const;  // the page succeeded, the run was not capped

  std::wstring kwtok;                    // the session token of each page request
  std::wstring list_id;                  // the list whose songs are gathered
  int32_t song_num = 0;                  // the list's total, as the last page reported
  std::vector<PlayListSong> songs;       // the songs of every page so far, in order
  PlayListInfo info;                     // the list's texts, from the last page
  uint32_t offset = 0;                   // where the page asked for starts; see above
  std::unique_ptr<GetPlayList> request;  // the current page request
  base::thread::Dispatcher dispatcher;   // posts the next page to the UI thread

 private:
  template <class Paging>
  friend class internal::PageLoop;  // runs the pages

  // Connected to the page request's `completed`.
  void OnPageCompleted();

  uint32_t pages_this_run_ = 0;  // pages asked for since the host's last BeginRequest
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_GET_ALL_PLAYLIST_SONGS_H_
