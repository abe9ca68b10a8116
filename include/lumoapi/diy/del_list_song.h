// DelListSong: removes songs from one of the user's song lists.
//
// Sends "norda.lumo.ugcdiy.delListSongs" in the encrypted form with the session token as the
// account cookie: "song_ids" (the ids as passed, joined by ","; empty for no ids) and "list_id". No
// result beyond `status` and `succeeded`.
#ifndef LUMOAPI_DIY_DEL_LIST_SONG_H_
#define LUMOAPI_DIY_DEL_LIST_SONG_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT DelListSong : public RequestBase {
 public:
  // Removes `song_ids` from the list `list_id`.
  DelListSong(std::wstring kwtok, std::wstring list_id, std::vector<std::wstring> song_ids);
  ~DelListSong() override;
  DelListSong(const DelListSong&) = delete;
  DelListSong& operator=(const DelListSong&) = delete;

  std::wstring kwtok;                  // the session token, sent as the account cookie
  std::wstring list_id;                // the list to remove from
  std::vector<std::wstring> song_ids;  // the songs to remove

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_DEL_LIST_SONG_H_
