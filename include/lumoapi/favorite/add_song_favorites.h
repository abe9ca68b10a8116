// AddSongFavorites: adds several songs to the user's favourites.
//
// Sends "norda.lumo.favorite.addSongFavorites" in the plain form: "kwtok" (the token as a
// parameter; no account cookie) and "songId", the ids joined by ",".
//
// Result: `added_ids`, the ids the service reports as added (the texts of its "result" array;
// elements that are not texts are skipped). Songs it skipped are simply not listed.
#ifndef LUMOAPI_FAVORITE_ADD_SONG_FAVORITES_H_
#define LUMOAPI_FAVORITE_ADD_SONG_FAVORITES_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::favorite {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT AddSongFavorites : public RequestBase {
 public:
  // Marks every song of `song_ids`.
  AddSongFavorites(std::wstring kwtok, std::vector<std::wstring> song_ids);
  ~AddSongFavorites() override;
  AddSongFavorites(const AddSongFavorites&) = delete;
  AddSongFavorites& operator=(const AddSongFavorites&) = delete;

  std::wstring kwtok;                   // the session token, sent as "kwtok"
  std::vector<std::wstring> song_ids;   // the songs to mark
  std::vector<std::wstring> added_ids;  // the songs the service reports as added

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::favorite

#endif  // LUMOAPI_FAVORITE_ADD_SONG_FAVORITES_H_
