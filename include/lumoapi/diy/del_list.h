// DelList: deletes one of the user's song lists.
//
// Sends "norda.lumo.ugcdiy.delList" in the encrypted form with the session token as the account
// cookie and "list_id". No result beyond `status` and `succeeded`.
#ifndef LUMOAPI_DIY_DEL_LIST_H_
#define LUMOAPI_DIY_DEL_LIST_H_

#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT DelList : public RequestBase {
 public:
  DelList(std::wstring kwtok, std::wstring list_id);  // Deletes the list `list_id`.
  ~DelList() override;
  DelList(const DelList&) = delete;
  DelList& operator=(const DelList&) = delete;

  std::wstring kwtok;    // the session token, sent as the account cookie
  std::wstring list_id;  // the list to delete

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_DEL_LIST_H_
