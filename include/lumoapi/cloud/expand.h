// Expand: calls the service's cloud expansion method for the user and reads back the quota.
//
// Sends "norda.lumo.cloud.expand" with the session token as the parameter "kwtok" (no account
// cookie).
//
// Result: the three figures of the answer, in the service's units: `expand`, `cloud_limit` and
// `used`, each 0 when the answer lacks it or the call fails.
#ifndef LUMOAPI_CLOUD_EXPAND_H_
#define LUMOAPI_CLOUD_EXPAND_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::cloud {

// Owned by its creator. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT Expand : public RequestBase {
 public:
  explicit Expand(std::wstring kwtok);  // The cloud quota of the account of `kwtok`.
  ~Expand() override;
  Expand(const Expand&) = delete;
  Expand& operator=(const Expand&) = delete;

  std::wstring kwtok;       // the session token, sent as "kwtok"
  int32_t expand = 0;       // the answer's "expand", in the service's units
  int32_t cloud_limit = 0;  // the quota, in the service's units
  int32_t used = 0;         // how much of the quota is used

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::cloud

#endif  // LUMOAPI_CLOUD_EXPAND_H_
