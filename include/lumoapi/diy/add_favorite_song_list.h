// AddFavoriteSongList: marks a song list as one of the user's favourites.
//
// Sends "norda.lumo.ugcdiy.addFavoriteDiy" in the encrypted form with the session token as the
// account cookie: "list_id" and "source", when `source` is 0, 1 or 2 (what they mean is the
// service's); for any other `source` no parameters at all. No result beyond `status` and
// `succeeded`.
#ifndef LUMOAPI_DIY_ADD_FAVORITE_SONG_LIST_H_
#define LUMOAPI_DIY_ADD_FAVORITE_SONG_LIST_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT AddFavoriteSongList : public RequestBase {
 public:
  // `source` selects the parameters sent (see above).
  AddFavoriteSongList(std::wstring kwtok, std::wstring list_id, int source);
  ~AddFavoriteSongList() override;
  AddFavoriteSongList(const AddFavoriteSongList&) = delete;
  AddFavoriteSongList& operator=(const AddFavoriteSongList&) = delete;

  std::wstring kwtok;      // the session token, sent as the account cookie
  std::wstring list_id;    // the list to mark
  int32_t source;          // sent as "source" when 0, 1 or 2
  int32_t capacity = 500;  // the most songs a list holds

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_ADD_FAVORITE_SONG_LIST_H_
