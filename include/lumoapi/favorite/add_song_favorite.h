// AddSongFavorite: adds one song to the user's favourites and reports what the service says
// about it.
//
// Sends "norda.lumo.favorite.addSongFavorite" in the plain form: "kwtok" (the token as a
// parameter; no account cookie), "songId" and "time" (signed decimal, passed through).
//
// Every answer that is JSON is read by this class itself. Outcome by code:
//   22000, 22322 (already a favourite): `succeeded` true, completed directly;
//   22469 (the song must be bought): `item` filled from "result" (all but `tips`), then fails;
//   24003 (the song is blocked): `item.tips` set from "result", then fails;
//   any other code: fails.
// A failing call completes on the UI thread with the code in `status`; GetSongInfo then tells the
// song's data or the service's hint.
#ifndef LUMOAPI_FAVORITE_ADD_SONG_FAVORITE_H_
#define LUMOAPI_FAVORITE_ADD_SONG_FAVORITE_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::favorite {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT AddSongFavorite : public RequestBase {
 public:
  // What the service says about the song: its data when it must be bought, a hint when it is
  // blocked.
  struct ResultItem {
    std::wstring song_id;           // the song's id
    std::wstring song_title;        // its title
    std::wstring author;            // its artists
    std::wstring album_title;       // its album's title
    std::wstring album_pic;         // its album's picture
    int32_t resource_type_ext = 0;  // the service's kind of resource
    std::wstring buy_url;           // where to buy it
    std::wstring song_pic;          // its picture
    std::wstring publishtime;       // when it was published
    std::wstring tips;              // a message for the user
  };

  // Marks `song_id`; `time` is sent as the moment of marking.
  AddSongFavorite(std::wstring kwtok, std::wstring song_id, int64_t time);
  ~AddSongFavorite() override;
  AddSongFavorite(const AddSongFavorite&) = delete;
  AddSongFavorite& operator=(const AddSongFavorite&) = delete;

  // A copy of `item`.
  ResultItem GetSongInfo() const;

  std::wstring kwtok;    // the session token, sent as "kwtok"
  std::wstring song_id;  // the song's id
  int64_t time;          // sent as "time"
  ResultItem item;       // what the answer said about the song

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
  bool IsErrorCodeAccepted() override;
};

}  // namespace lumoapi::favorite

#endif  // LUMOAPI_FAVORITE_ADD_SONG_FAVORITE_H_
