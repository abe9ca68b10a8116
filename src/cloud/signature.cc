#include "lumoapi/cloud/signature.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::cloud {

Signature::Signature(std::wstring object, uint64_t content_length, std::wstring content_md5)
    : object(std::move(object)),
      content_length(content_length),
      content_md5(std::move(content_md5)) {}

Signature::~Signature() { StopHttpRequest(); }

std::wstring Signature::GetMethodName() { return L"norda.lumo.cloud.signature2"; }

std::wstring Signature::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"input_method", L"PUT");
  AppendPair(builder, L"object", object);
  AppendPair(builder, L"content_length", content_length);
  AppendPair(builder, L"content_md5", content_md5);
  AppendPair(builder, L"content_type", L"application/octet-stream");
  return QueryText(builder);
}

// The answer's keys are the names of the headers the upload must carry.
void Signature::ParseResult(web::json::value& result) {
  using utilities::json::ToInt64;
  using utilities::json::ToString;
  const web::json::value& body = Member(result, "result");
  host = ToString(Member(body, "Host"));
  content_length = ToInt64(Member(body, "Content-Length"), 0);
  content_type = ToString(Member(body, "Content-Type"));
  date = ToString(Member(body, "x-qcs-date"));
  authorization = ToString(Member(body, "Authorization"));
}

}  // namespace lumoapi::cloud
