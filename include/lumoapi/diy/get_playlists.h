// GetPlayLists: one page of the user's song lists of one kind.
//
// Sends "norda.lumo.ugcdiy.userList" in the encrypted form with the session token as the account
// cookie: "offset" = `page` x `size` (the position of the page's first entry), then "source" and
// "type" by `kind`: kind 0 sends source 0 and type 10, kind 1 source 0 and type 0, kind 2 source 1
// and type 0 (its entries are albums, read from album keys), kind 3 source 2 and type 0 (only the
// count `listnum` is read); other kinds send "offset" alone. Which lists each kind selects is the
// service's business (docs/sandbox.md tells the sandbox's choice).
//
// Result, only for the error code 22000: `listnum` (the total), `lists` (this page's entries in
// answer order, each with `capacity` 500 and the request's `kind`) and `havemore`. An accepted code
// (22469, 24003) succeeds with nothing read.
#ifndef LUMOAPI_DIY_GET_PLAYLISTS_H_
#define LUMOAPI_DIY_GET_PLAYLISTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// One entry of a page of lists (for kind 2, an album).
struct PlayListItem {
  std::wstring list_id;  // the list's (or album's) id
  std::wstring title;    // its title
  std::wstring pic;      // its picture
  int32_t song_num = 0;  // how many songs it has
  int32_t capacity = 0;  // 500
  int32_t kind = 0;      // the request's `kind`
};

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT GetPlayLists : public RequestBase {
 public:
  // Page `page` of `size` entries of the lists of `kind`.
  GetPlayLists(std::wstring kwtok, unsigned int page, unsigned int size, int kind);
  ~GetPlayLists() override;
  GetPlayLists(const GetPlayLists&) = delete;
  GetPlayLists& operator=(const GetPlayLists&) = delete;

  std::wstring kwtok;               // the session token, sent as the account cookie
  uint32_t page;                    // the page asked for, from 0
  uint32_t size;                    // entries per page
  bool havemore = false;            // a later page has more entries
  int32_t listnum = 0;              // the total number of entries
  int32_t capacity = 500;           // the most songs a list holds
  std::vector<PlayListItem> lists;  // this page's entries, in answer order
  int32_t kind;                     // which lists (see above)

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_GET_PLAYLISTS_H_
