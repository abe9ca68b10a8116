// SortSongListSongs: stores a new order of the songs of one of the user's song lists.
//
// Sends "norda.lumo.ugcdiy.sortDiySongs" in the encrypted form with the session token as the
// account cookie: "list_id" and "song_ids", the ids in their new order joined by ",". No result
// beyond `status` and `succeeded`.
#ifndef LUMOAPI_DIY_SORT_SONG_LIST_SONGS_H_
#define LUMOAPI_DIY_SORT_SONG_LIST_SONGS_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT SortSongListSongs : public RequestBase {
 public:
  // Gives the list `list_id` the order of `song_ids`.
  SortSongListSongs(std::wstring kwtok, std::wstring list_id, std::vector<std::wstring> song_ids);
  ~SortSongListSongs() override;
  SortSongListSongs(const SortSongListSongs&) = delete;
  SortSongListSongs& operator=(const SortSongListSongs&) = delete;

  std::wstring kwtok;                  // the session token, sent as the account cookie
  std::wstring list_id;                // the list to sort
  std::vector<std::wstring> song_ids;  // every song of the list, in the new order

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_SORT_SONG_LIST_SONGS_H_
