// GetFavoriteSong: one page of the user's favourite songs.
//
// Sends "norda.lumo.favorite.getFavoriteSong" in the plain form: "kwtok" (the token as a
// parameter; no account cookie), "pn" (the position of the first song) and "rn" (how many).
//
// Result: `songs`, this page's songs in answer order (an entry without an id is kept), and
// `havemore`, set when the answer's top-level "havemore" is the number 1 (anything else leaves
// it as it was).
#ifndef LUMOAPI_FAVORITE_GET_FAVORITE_SONG_H_
#define LUMOAPI_FAVORITE_GET_FAVORITE_SONG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::favorite {

// One favourite song.
struct FavoriteSongItem {
  std::wstring song_id;       // the song's id
  std::wstring title;         // its title
  std::wstring artist;        // its artists
  std::wstring album_id;      // its album's id
  std::wstring album;         // its album's title
  int32_t del_status = 0;     // the service's removal state of the song
  int32_t resource_type = 0;  // the service's kind of resource
};

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT GetFavoriteSong : public RequestBase {
 public:
  // `rn` songs from position `pn`.
  GetFavoriteSong(std::wstring kwtok, unsigned int pn, unsigned int rn);
  ~GetFavoriteSong() override;
  GetFavoriteSong(const GetFavoriteSong&) = delete;
  GetFavoriteSong& operator=(const GetFavoriteSong&) = delete;

  std::wstring kwtok;                   // the session token, sent as "kwtok"
  uint32_t pn;                          // the position of the page's first song
  uint32_t rn;                          // how many songs
  bool havemore = false;                // a later page has more songs
  std::vector<FavoriteSongItem> songs;  // this page's songs, in answer order

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::favorite

#endif  // LUMOAPI_FAVORITE_GET_FAVORITE_SONG_H_
