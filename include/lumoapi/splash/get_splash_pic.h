// The picture shown while the player starts.
//
// Sends "norda.lumo.active.startPC" with no parameters of its own. After a successful call `pic`
// holds the picture's address, or stays empty when the service has none to show. Any code other
// than 22000, and an answer whose picture entry has no address, fail the call.
#ifndef LUMOAPI_SPLASH_GET_SPLASH_PIC_H_
#define LUMOAPI_SPLASH_GET_SPLASH_PIC_H_

#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::splash {

// Owned by the caller. Construction, BeginRequest and destruction on the UI thread only;
// `completed` may arrive on the network thread or on the UI thread. The request may be deleted
// from inside a receiver of its own `completed`.
class LUMOAPI_EXPORT GetSplashPic : public RequestBase {
 public:
  GetSplashPic();
  ~GetSplashPic() override;
  GetSplashPic(const GetSplashPic&) = delete;
  GetSplashPic& operator=(const GetSplashPic&) = delete;

  std::wstring pic;  // the picture's address

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& result) override;
};

}  // namespace lumoapi::splash

#endif  // LUMOAPI_SPLASH_GET_SPLASH_PIC_H_
