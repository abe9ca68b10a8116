// GetCollectSong: one page of the user's collected songs.
//
// Sends "norda.lumo.favorite.getCollectSong" in the plain form: "kwtok" (the token as a
// parameter; no account cookie), "pn" (the position of the first song) and "rn" (how many).
//
// Every answer that is JSON is read by this class itself: the codes 22000 and 22001 (past the
// last song) succeed; any other code, 22469 and 24003 included, fails the call (completed on the
// UI thread, `status` holding the code). Result: `songs`, this page's songs with an id, in answer
// order, each with the first of its artist ids; and `havemore`, set when the answer's top-level
// "havemore" is the number 1.
#ifndef LUMOAPI_FAVORITE_GET_COLLECT_SONG_H_
#define LUMOAPI_FAVORITE_GET_COLLECT_SONG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::favorite {

// One collected song.
struct CollectSongItem {
  std::wstring song_id;    // the song's id
  std::wstring title;      // its title
  std::wstring artist;     // its artists
  std::wstring artist_id;  // its artist's id
  std::wstring album;      // its album's title
  std::wstring album_id;   // its album's id
  bool has_mv = false;     // it has a music video
};

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT GetCollectSong : public RequestBase {
 public:
  // `rn` songs from position `pn`.
  GetCollectSong(std::wstring kwtok, unsigned int pn, unsigned int rn);
  ~GetCollectSong() override;
  GetCollectSong(const GetCollectSong&) = delete;
  GetCollectSong& operator=(const GetCollectSong&) = delete;

  std::wstring kwtok;                  // the session token, sent as "kwtok"
  uint32_t pn;                         // the position of the page's first song
  uint32_t rn;                         // how many songs
  bool havemore = false;               // a later page has more songs
  std::vector<CollectSongItem> songs;  // this page's songs, in answer order

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
  bool IsErrorCodeAccepted() override;
};

}  // namespace lumoapi::favorite

#endif  // LUMOAPI_FAVORITE_GET_COLLECT_SONG_H_
