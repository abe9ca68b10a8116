// DelCollectSong: removes songs from the user's collected songs.
//
// Sends "norda.lumo.favorite.delCollectSong" in the plain form: "kwtok" (the token as a parameter;
// no account cookie) and "songId", the ids joined by ",". No result beyond `status` and
// `succeeded`.
#ifndef LUMOAPI_FAVORITE_DEL_COLLECT_SONG_H_
#define LUMOAPI_FAVORITE_DEL_COLLECT_SONG_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::favorite {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT DelCollectSong : public RequestBase {
 public:
  // Removes every song of `song_ids` from the collected songs.
  DelCollectSong(std::wstring kwtok, std::vector<std::wstring> song_ids);
  ~DelCollectSong() override;
  DelCollectSong(const DelCollectSong&) = delete;
  DelCollectSong& operator=(const DelCollectSong&) = delete;

  std::wstring kwtok;                  // the session token, sent as "kwtok"
  std::vector<std::wstring> song_ids;  // the songs to remove

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::favorite

#endif  // LUMOAPI_FAVORITE_DEL_COLLECT_SONG_H_
