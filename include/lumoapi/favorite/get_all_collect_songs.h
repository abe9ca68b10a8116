// GetAllCollectSongs: every collected song of the user, gathered page by page (see
// GetCollectSong).
//
// A task: it makes no HTTP call itself but runs one GetCollectSong page request at a time, 50
// songs a page from `pn`, for as long as a page says there are more. It ends with its inherited
// `completed`, exactly once per BeginRequest.
//
// A failing page ends the run at once; the songs of the earlier pages stay in `songs`. The host
// tells the outcome with _GetSucceeded and _GetStatus, and the reason of a failure with Failure().
//
// A run asks for at most 10,000 pages. One stopped there while the service still had more ends
// like a failed one: Failure().kind is kPageCap and _GetSucceeded false, while _GetStatus keeps
// the last page's status and `songs` holds every song gathered.
//
// `pn` is a song position, not a page number: it moves by 50 from page to page. After a run it is
// where the last page asked for started: a second BeginRequest asks for that page again and
// appends its songs (after a capped run, add 50 first). Each BeginRequest starts a new run of up
// to 10,000 pages.
//
// Threads and lifetime: constructed, started and destroyed on the UI thread; `completed` comes on
// the network thread or on the UI thread (a failed page). The task may be deleted at any time on
// the UI thread (a page in flight is stopped, a posted next page never starts, nothing is emitted
// afterwards) and from inside a receiver of its own `completed`, on either thread.
#ifndef LUMOAPI_FAVORITE_GET_ALL_COLLECT_SONGS_H_
#define LUMOAPI_FAVORITE_GET_ALL_COLLECT_SONGS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/thread/dispatcher.h"
#include "lumoapi/export.h"
#include "lumoapi/favorite/get_collect_song.h"
#include "lumoapi/request_base.h"

namespace lumoapi::internal {
template <class Paging>
class PageLoop;
}  // namespace lumoapi::internal

namespace lumoapi::favorite {

// Gathers every page of the user's collected songs; see the file comment.
class LUMOAPI_EXPORT GetAllCollectSongs : public RequestRoot {
 public:
  // Gathers the collected songs of the account of `kwtok`.
  explicit GetAllCollectSongs(std::wstring kwtok);
  ~GetAllCollectSongs() override;
  GetAllCollectSongs(const GetAllCollectSongs&) = delete;
  GetAllCollectSongs& operator=(const GetAllCollectSongs&) = delete;

  // Starts a run at the song position `pn`. REQUIRES: UI thread.
  void BeginRequest() override;

  // The current page request's status and success; 0 and false before the first BeginRequest.
  unsigned int _GetStatus() const;
  bool _GetSucceeded() const;  // the page succeeded, the run was not capped

  std::wstring kwtok;                       // the session token of each page request
  uint32_t pn = 0;                          // the song position of the page; see above
  std::vector<CollectSongItem> songs;       // the songs of every page so far, in order
  std::unique_ptr<GetCollectSong> request;  // the current page request
  base::thread::Dispatcher dispatcher;      // posts the next page to the UI thread

 private:
  template <class Paging>
  friend class internal::PageLoop;  // runs the pages

  // Connected to the page request's `completed`.
  void OnPageCompleted();

  uint32_t pages_this_run_ = 0;  // pages asked for since the host's last BeginRequest
};

}  // namespace lumoapi::favorite

#endif  // LUMOAPI_FAVORITE_GET_ALL_COLLECT_SONGS_H_
