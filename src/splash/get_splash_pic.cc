#include "lumoapi/splash/get_splash_pic.h"

#include <stdexcept>
#include <string>

#include "json_access.h"
#include "utilities/json.h"

namespace lumoapi::splash {

GetSplashPic::GetSplashPic() = default;

GetSplashPic::~GetSplashPic() { StopHttpRequest(); }

std::wstring GetSplashPic::GetMethodName() { return L"norda.lumo.active.startPC"; }

std::wstring GetSplashPic::BuildParams() { return std::wstring(); }

// Strict on purpose: a splash answer that is not plainly a success, or a picture entry without a
// text address, fails the call rather than showing something half read.
void GetSplashPic::ParseResult(web::json::value& answer) {
  if (status != 22000) throw std::runtime_error("status error " + std::to_string(status));
  const web::json::value& result = Member(answer, "result");
  if (!IsArray(result) || result.size() == 0) return;
  pic = utilities::json::WideOf(Member(result.at(0), "pic").as_string());
}

}  // namespace lumoapi::splash
