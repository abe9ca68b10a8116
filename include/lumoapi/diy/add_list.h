// AddList: creates an empty song list for the user.
//
// Sends "norda.lumo.ugcdiy.addSongList" in the encrypted form with the session token as the
// account cookie: "title" (URI-encoded once at construction, and encoded again as a query value)
// and "process" = 1, when `process` is 0 or 1; for any other `process` no parameters at all.
//
// Result: `list_id` of the new list and `title` as the service now holds it (plain text), and
// `capacity` = 500. A failed call leaves `list_id` empty, `capacity` 0 and `title` encoded.
#ifndef LUMOAPI_DIY_ADD_LIST_H_
#define LUMOAPI_DIY_ADD_LIST_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT AddList : public RequestBase {
 public:
  // `title` is plain text; `process` selects the parameters sent (see above).
  AddList(std::wstring kwtok, std::wstring title, int process);
  ~AddList() override;
  AddList(const AddList&) = delete;
  AddList& operator=(const AddList&) = delete;

  std::wstring kwtok;    // the session token, sent as the account cookie
  std::wstring title;    // encoded until a successful answer, then as the service holds it
  std::wstring list_id;  // the new list's id; empty until a successful answer
  int32_t capacity = 0;  // 500 after a successful answer
  int32_t process;       // sends "title" and "process" when 0 or 1

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_ADD_LIST_H_
