// UpList: edits one of the user's song lists: its title, description, tag and picture.
//
// Sends "norda.lumo.ugcdiy.editDiy" in the encrypted form with the session token as the account
// cookie: "list_id", "desc" (URI-encoded once at construction), "tag", "diypic", "title"
// (URI-encoded once at construction) and "process" = 1.
//
// The code 22231 (the service shortened the description) is accepted besides 22469 and 24003.
// Result: `title` and `desc` as the service now holds them (plain text).
#ifndef LUMOAPI_DIY_UP_LIST_H_
#define LUMOAPI_DIY_UP_LIST_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT UpList : public RequestBase {
 public:
  // The last argument is stored and not used.
  UpList(std::wstring kwtok, std::wstring list_id, std::wstring title, std::wstring desc,
         std::wstring tag, std::wstring diypic, int process);
  ~UpList() override;
  UpList(const UpList&) = delete;
  UpList& operator=(const UpList&) = delete;

  std::wstring list_id;  // the list to edit
  std::wstring tag;      // its new tags
  std::wstring desc;     // its new description; after a successful answer, the service's
  std::wstring diypic;   // its new picture's address
  std::wstring kwtok;    // the session token, sent as the account cookie
  std::wstring title;    // its new title; after a successful answer, the service's
  int32_t process;       // stored, not used

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
  bool IsErrorCodeAccepted() override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_UP_LIST_H_
