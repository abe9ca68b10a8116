#include "call_failure.h"

#include <cwctype>
#include <optional>
#include <utility>

#include "log_masking.h"

namespace lumoapi::internal {
namespace {

using Kind = CallFailure::Kind;

// libcurl's codes, which the default transport reports (its texts are libcurl's too, or its own
// for a body over the limit and a call that waited out its time for a connection).
constexpr int kCouldNotConnect = 7;
constexpr int kTimedOut = 28;
constexpr int kBodyTooLarge = 63;
// WinHTTP's, which the default transport reports on Windows (ERROR_WINHTTP_CANNOT_CONNECT,
// ERROR_WINHTTP_TIMEOUT and ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW). The two sets do not overlap.
constexpr int kWinHttpCannotConnect = 12029;
constexpr int kWinHttpTimeout = 12002;
constexpr int kWinHttpTooLarge = 12184;

// The number that follows `before` in `text`, if one does.
std::optional<int64_t> NumberAfter(const std::wstring& text, const std::wstring& before) {
  const size_t at = text.find(before);
  if (at == std::wstring::npos) return std::nullopt;
  size_t i = at + before.size();
  if (i >= text.size() || !std::iswdigit(text[i])) return std::nullopt;
  int64_t number = 0;
  for (; i < text.size() && std::iswdigit(text[i]) && number < (int64_t{1} << 50); ++i) {
    number = number * 10 + (text[i] - L'0');
  }
  return number;
}

std::wstring TimeoutText(const std::wstring& transport_text) {
  const auto ms = NumberAfter(transport_text, L"after ");
  if (!ms) return L"timed out";
  if (*ms < 1000) return L"timed out after " + std::to_wstring(*ms) + L" ms";
  return L"timed out after " + std::to_wstring((*ms + 500) / 1000) + L" s";
}

std::wstring TooLargeText(const std::wstring& transport_text) {
  constexpr int64_t kMiB = int64_t{1024} * 1024;
  const auto bytes = NumberAfter(transport_text, L"exceeds ");
  if (!bytes) return L"the answer is too large";
  const std::wstring size = *bytes >= kMiB && *bytes % kMiB == 0
                                ? std::to_wstring(*bytes / kMiB) + L" MiB"
                                : std::to_wstring(*bytes) + L" bytes";
  return L"the answer is larger than " + size;
}

std::wstring ConnectText(const std::wstring& transport_text) {
  std::wstring lower = transport_text;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return lower.find(L"refused") != std::wstring::npos || lower.empty() ? L"connection refused"
                                                                       : L"could not connect";
}

// ": " and `detail`, masked, when there is one. A message from a parser or the transport could
// quote the address, which may hold the session token.
std::wstring Detail(const std::wstring& detail) {
  return detail.empty() ? std::wstring() : L": " + MaskSecrets(detail);
}

CallFailure Make(Kind kind, std::wstring text) {
  CallFailure failure;
  failure.kind = kind;
  failure.text = std::move(text);
  return failure;
}

}  // namespace

CallFailure TransportFailure(int code, const std::wstring& text) {
  CallFailure failure;
  switch (code) {
    case kCouldNotConnect:
    case kWinHttpCannotConnect:
      failure = Make(Kind::kConnectionRefused, ConnectText(text));
      break;
    case kTimedOut:
    case kWinHttpTimeout:
      failure = Make(Kind::kTimeout, TimeoutText(text));
      break;
    case kBodyTooLarge:
    case kWinHttpTooLarge:
      failure = Make(Kind::kBodyTooLarge, TooLargeText(text));
      break;
    default:
      failure = Make(Kind::kTransport, L"transport error " + std::to_wstring(code) + Detail(text));
      break;
  }
  failure.transport_code = code;
  return failure;
}

CallFailure AnswerFailure(Kind kind, int32_t http_status, int32_t service_code,
                          const std::wstring& detail) {
  CallFailure failure;
  failure.kind = kind;
  failure.http_status = http_status;
  failure.service_code = service_code;
  switch (kind) {
    case Kind::kHttpStatus:
      failure.text = L"HTTP " + std::to_wstring(http_status);
      break;
    case Kind::kNotJson:
      failure.text = L"the answer is not JSON";
      break;
    case Kind::kServiceCode:
      failure.text = L"service error " + std::to_wstring(service_code);
      break;
    case Kind::kParseError:
      failure.text = L"the answer could not be read" + Detail(detail);
      break;
    default:
      break;
  }
  return failure;
}

CallFailure NotBuiltFailure(const std::wstring& detail) {
  return Make(Kind::kNotBuilt, L"the request could not be built" + Detail(detail));
}

CallFailure PageCapFailure(const CallFailure& last_page, uint64_t pages) {
  CallFailure failure = last_page;
  failure.kind = Kind::kPageCap;
  failure.text = L"stopped after " + std::to_wstring(pages) + L" pages";
  return failure;
}

}  // namespace lumoapi::internal
