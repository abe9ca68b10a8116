#include "lumoapi/cloud/expand.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::cloud {

Expand::Expand(std::wstring kwtok) : kwtok(std::move(kwtok)) {}

Expand::~Expand() { StopHttpRequest(); }

std::wstring Expand::GetMethodName() { return L"norda.lumo.cloud.expand"; }

std::wstring Expand::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"kwtok", kwtok);
  return QueryText(builder);
}

void Expand::ParseResult(web::json::value& result) {
  using utilities::json::ToInt;
  const web::json::value& body = Member(result, "result");
  expand = ToInt(Member(body, "expand"), 0);
  cloud_limit = ToInt(Member(body, "cloud_limit"), 0);
  used = ToInt(Member(body, "used"), 0);
}

}  // namespace lumoapi::cloud
