// Songs recommended for one song.
//
// Sends "norda.lumo.song.getRecommandSongList" with "song_id" and "num" 20. After a successful
// call `songs` holds new song records, ready for the player, in the service's order: identifiers,
// titles, artist and album, the nearest large and small pictures, the music-video flag, and
// `item_kind` 2. Entries without a usable song identifier are left out, so there may be fewer
// than 20.
#ifndef LUMOAPI_RECOMMEND_GET_RECOMMEND_SONGS_H_
#define LUMOAPI_RECOMMEND_GET_RECOMMEND_SONGS_H_

#include <memory>
#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"
#include "utilities/song_info.h"

namespace lumoapi::recommend {

// Owned by the caller. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`; the records in `songs` are shared and outlive it
// wherever the caller keeps them.
class LUMOAPI_EXPORT GetRecommendSongs : public RequestBase {
 public:
  explicit GetRecommendSongs(std::wstring song_id);  // Songs recommended for `song_id`.
  ~GetRecommendSongs() override;
  GetRecommendSongs(const GetRecommendSongs&) = delete;
  GetRecommendSongs& operator=(const GetRecommendSongs&) = delete;

  // The recommended songs (kind 2), in answer order.
  std::vector<std::shared_ptr<utilities::SongInfo>> songs;
  std::wstring song_id;  // the song recommended for

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::recommend

#endif  // LUMOAPI_RECOMMEND_GET_RECOMMEND_SONGS_H_
