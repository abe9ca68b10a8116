#include "lumoapi/user/user_down.h"

#include <utility>

#include "base/http/win_http_request.h"
#include "base/os_utils.h"
#include "id_list.h"
#include "query_builder.h"

namespace lumoapi::user {

UserDown::UserDown(std::vector<std::wstring> songids, std::wstring uid)
    : songids(std::move(songids)), uid(std::move(uid)) {}

UserDown::~UserDown() { StopHttpRequest(); }

std::wstring UserDown::GetMethodName() { return L"norda.lumo.user.down"; }

std::wstring UserDown::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"songid", JoinIds(songids));
  AppendPair(builder, L"uid", uid);
  return QueryText(builder);
}

void UserDown::ParseResult(web::json::value&) {}

void UserDown::SetExtraHeaders() {
  http_request->SetRequestHeader(L"CUID", base::os_utils::GetMachineID());
}

}  // namespace lumoapi::user
