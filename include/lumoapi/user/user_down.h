// UserDown: reports that a user took songs down from the service (a fire-and-forget report,
// normally handed to ReportPool).
//
// Sends "norda.lumo.user.down" with "songid" (the ids joined by ",") and "uid", and identifies this
// computer by its machine id in the header "CUID". No account cookie is sent. The answer is not
// read: `succeeded` only tells whether the service accepted the report.
#ifndef LUMOAPI_USER_USER_DOWN_H_
#define LUMOAPI_USER_USER_DOWN_H_

#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::user {

// Owned by its creator, or by ReportPool once handed to it. Construction, BeginRequest and
// destruction on the UI thread only; `completed` may arrive on the network thread or on the UI
// thread. The request may be deleted from inside a receiver of its own `completed` (not when the
// pool owns it).
class LUMOAPI_EXPORT UserDown : public RequestBase {
 public:
  // Reports that user `uid` took `songids` down.
  UserDown(std::vector<std::wstring> songids, std::wstring uid);
  ~UserDown() override;
  UserDown(const UserDown&) = delete;
  UserDown& operator=(const UserDown&) = delete;

  std::vector<std::wstring> songids;  // the songs taken down
  std::wstring uid;                   // the user's id

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
  void SetExtraHeaders() override;
};

}  // namespace lumoapi::user

#endif  // LUMOAPI_USER_USER_DOWN_H_
