// Making a CallFailure: the one place where a transport's codes and a call's outcome become the
// kinds and texts the host reads.
#ifndef LUMOAPI_INTERNAL_CALL_FAILURE_H_
#define LUMOAPI_INTERNAL_CALL_FAILURE_H_

#include <cstdint>
#include <string>

#include "lumoapi/call_failure.h"
#include "lumoapi/export.h"

namespace lumoapi::internal {

// A failure the transport reported with its error `code` and `text`.
LUMOAPI_EXPORT_PRIVATE CallFailure TransportFailure(int code, const std::wstring& text);

// The outcome of an answer with `http_status` and `service_code` (0 when not read): kNone,
// kHttpStatus, kNotJson, kServiceCode or kParseError; `detail` is the parser's message.
LUMOAPI_EXPORT_PRIVATE CallFailure AnswerFailure(CallFailure::Kind kind, int32_t http_status,
                                                 int32_t service_code,
                                                 const std::wstring& detail = L"");

// A request whose address could not be built, with the builder's message.
CallFailure NotBuiltFailure(const std::wstring& detail);

// A task's run stopped after `pages` pages; `last_page` is how its last page ended.
CallFailure PageCapFailure(const CallFailure& last_page, uint64_t pages);

}  // namespace lumoapi::internal

#endif  // LUMOAPI_INTERNAL_CALL_FAILURE_H_
