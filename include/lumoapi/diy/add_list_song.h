// AddListSong: adds songs to one of the user's song lists, behind the songs already there.
//
// Sends "norda.lumo.ugcdiy.addSongToDiy" in the encrypted form with the session token as the
// account cookie: "song_ids" (the ids as passed, joined by ","; empty for no ids) and "list_id". No
// result beyond `status` and `succeeded`.
#ifndef LUMOAPI_DIY_ADD_LIST_SONG_H_
#define LUMOAPI_DIY_ADD_LIST_SONG_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT AddListSong : public RequestBase {
 public:
  // The last argument is stored and not sent.
  AddListSong(std::wstring kwtok, std::wstring list_id, std::vector<std::wstring> song_ids,
              std::wstring reserved);
  ~AddListSong() override;
  AddListSong(const AddListSong&) = delete;
  AddListSong& operator=(const AddListSong&) = delete;

  std::wstring kwtok;                  // the session token, sent as the account cookie
  std::wstring list_id;                // the list to add to
  std::vector<std::wstring> song_ids;  // the songs to add, in order
  std::wstring reserved;               // stored, never sent

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_ADD_LIST_SONG_H_
