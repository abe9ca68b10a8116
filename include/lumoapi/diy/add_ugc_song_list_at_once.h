// AddUgcSongListAtOnce: creates a song list that already holds songs.
//
// Sends "norda.lumo.ugcdiy.addSongListOnce" in the encrypted form with the session token both as
// the account cookie and as the parameter "kwtok": "kwtok", "title" (URI-encoded once at
// construction), "process" = 1 and "song_ids", the ids made of digits alone joined by "," (other
// ids are left out; empty when none is left).
//
// Result: `list_id` of the new list and `title` as the service now holds it (plain text), and
// `capacity` = 500. A failed call leaves `list_id` empty, `capacity` 0 and `title` encoded.
#ifndef LUMOAPI_DIY_ADD_UGC_SONG_LIST_AT_ONCE_H_
#define LUMOAPI_DIY_ADD_UGC_SONG_LIST_AT_ONCE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT AddUgcSongListAtOnce : public RequestBase {
 public:
  // The third argument is accepted and not used.
  AddUgcSongListAtOnce(std::wstring kwtok, std::wstring title, std::wstring unused,
                       std::vector<std::wstring> song_ids);
  ~AddUgcSongListAtOnce() override;
  AddUgcSongListAtOnce(const AddUgcSongListAtOnce&) = delete;
  AddUgcSongListAtOnce& operator=(const AddUgcSongListAtOnce&) = delete;

  std::wstring kwtok;    // the session token, sent as the cookie and as "kwtok"
  std::wstring title;    // encoded until a successful answer, then as the service holds it
  std::wstring list_id;  // the new list's id; empty until a successful answer
  std::vector<std::wstring> song_ids;  // the songs the list starts with, as passed
  int32_t capacity = 0;                // 500 after a successful answer

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_ADD_UGC_SONG_LIST_AT_ONCE_H_
