// The tool's own exchanges over WinHTTP's synchronous interface, with the limits, route and
// failures of the libcurl version.
#include <windows.h>
// After windows.h, which it needs.
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "base/string_utils.h"
#include "direct_http.h"

namespace lumo::cli {
namespace {

// The connect limit of the service's transport.
constexpr int64_t kConnectTimeoutMs = 10'000;
constexpr DWORD kReadSize = 64 * 1024;

// A WinHTTP handle, closed on destruction.
class Handle {
 public:
  explicit Handle(HINTERNET handle) : handle_(handle) {}
  ~Handle() {
    if (handle_) WinHttpCloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

std::wstring Wide(const std::string& utf8) { return base::string_utils::ToUtf16(utf8); }

std::string ErrorText(DWORD code) {
  switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "could not connect to the server";
    case ERROR_WINHTTP_TIMEOUT:
      return "the operation timed out";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "the server sent no valid answer";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "the connection was reset or closed";
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return "the address is not an http or https address";
    default:
      return "WinHTTP error " + std::to_string(code);
  }
}

// Where a "HOST:PORT:TO_HOST:TO_PORT" route sends `host`:`port`; nothing when it does not apply.
std::optional<std::pair<std::wstring, INTERNET_PORT>> Routed(const std::string& route,
                                                             const std::wstring& host,
                                                             INTERNET_PORT port) {
  const size_t first = route.find(':');
  const size_t second = first == std::string::npos ? first : route.find(':', first + 1);
  const size_t third = second == std::string::npos ? second : route.rfind(':');
  if (third == std::string::npos || third <= second) return std::nullopt;
  if (Wide(route.substr(0, first)) != host ||
      route.substr(first + 1, second - first - 1) != std::to_string(port)) {
    return std::nullopt;
  }
  const unsigned long to_port = std::strtoul(route.c_str() + third + 1, nullptr, 10);
  if (to_port == 0 || to_port > 65535) return std::nullopt;
  return std::make_pair(Wide(route.substr(second + 1, third - second - 1)),
                        static_cast<INTERNET_PORT>(to_port));
}

// Performs the exchange into `result`: ERROR_SUCCESS once a whole answer is in, else the error,
// with its words in result.error when WinHTTP's code alone would not say it.
DWORD Exchange(const DirectRequest& request, DirectResult& result) {
  const auto deadline = std::chrono::steady_clock::now() + request.timeout;
  const std::wstring url = Wide(request.url);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    return GetLastError();
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  }
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  INTERNET_PORT port = parts.nPort;
  std::wstring target = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  target.erase(std::min(target.find(L'#'), target.size()));
  if (target.empty() || target[0] != L'/') target.insert(0, L"/");

  // A routed exchange connects to the route's address, without a proxy; the Host header stays
  // the address's own.
  std::wstring headers;
  const auto route = Routed(request.connect_to, host, port);
  if (route) {
    const INTERNET_PORT scheme_port =
        secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    headers =
        L"Host: " + host + (port == scheme_port ? L"" : L":" + std::to_wstring(port)) + L"\r\n";
    std::tie(host, port) = *route;
  }
  for (const auto& [name, value] : request.headers) {
    headers += Wide(name) + L": " + Wide(value) + L"\r\n";
  }

  // No agent: no User-Agent header unless the request has one, as with libcurl.
  const Handle session(
      WinHttpOpen(nullptr, route ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session.get()) return GetLastError();
  const Handle connection(WinHttpConnect(session.get(), host.c_str(), port, 0));
  if (!connection.get()) return GetLastError();
  // The address is sent as it is, already encoded.
  const DWORD flags = (secure ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE |
                      WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
  const Handle exchange(WinHttpOpenRequest(connection.get(), Wide(request.method).c_str(),
                                           target.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!exchange.get()) return GetLastError();
  DWORD disabled = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
  WinHttpSetOption(exchange.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof(disabled));
  const int64_t total_ms = std::chrono::milliseconds(request.timeout).count();
  const int total = static_cast<int>(std::clamp<int64_t>(total_ms, 0, INT_MAX));
  const int connect = static_cast<int>(std::min<int64_t>(kConnectTimeoutMs, total));
  WinHttpSetTimeouts(exchange.get(), connect, connect, total, total);
  if (!headers.empty() &&
      !WinHttpAddRequestHeaders(exchange.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                                WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
    return GetLastError();
  }
  const auto length = static_cast<DWORD>(request.body.size());
  if (!WinHttpSendRequest(exchange.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          const_cast<char*>(request.body.data()), length, length, 0) ||
      !WinHttpReceiveResponse(exchange.get(), nullptr)) {
    return GetLastError();
  }

  DWORD status = 0;
  DWORD size = sizeof(status);
  WinHttpQueryHeaders(exchange.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  std::optional<uint64_t> announced;
  wchar_t announced_text[32] = {};
  size = sizeof(announced_text);
  if (WinHttpQueryHeaders(exchange.get(), WINHTTP_QUERY_CONTENT_LENGTH,
                          WINHTTP_HEADER_NAME_BY_INDEX, announced_text, &size,
                          WINHTTP_NO_HEADER_INDEX)) {
    announced = _wcstoui64(announced_text, nullptr, 10);
  }
  const std::string over_limit =
      "the answer is over " + std::to_string(request.max_answer_bytes) + " bytes";
  if (announced && *announced > request.max_answer_bytes) {
    result.error = over_limit;
    return ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW;
  }
  std::string buffer(kReadSize, '\0');
  for (;;) {
    if (std::chrono::steady_clock::now() > deadline) return ERROR_WINHTTP_TIMEOUT;
    DWORD got = 0;
    if (!WinHttpReadData(exchange.get(), buffer.data(), kReadSize, &got)) return GetLastError();
    if (got == 0) break;
    if (result.body.size() + got > request.max_answer_bytes) {
      result.error = over_limit;
      return ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW;
    }
    result.body.append(buffer.data(), got);
  }
  // WinHTTP ends a body quietly when the server closes early; libcurl reports a short one.
  if (announced && result.body.size() < *announced) {
    result.error = "the connection closed after " + std::to_string(result.body.size()) + " of " +
                   std::to_string(*announced) + " bytes";
    return ERROR_WINHTTP_CONNECTION_ERROR;
  }
  result.http_status = static_cast<long>(status);
  return ERROR_SUCCESS;
}

}  // namespace

DirectResult SendDirect(const DirectRequest& request) {
  if (request.verbose) {
    TraceRequest(request.method, request.url, request.headers, request.show_token);
  }
  const auto start = std::chrono::steady_clock::now();
  DirectResult result;
  const DWORD error = Exchange(request, result);
  const auto took = std::chrono::steady_clock::now() - start;
  if (error != ERROR_SUCCESS) {
    result.error_code = static_cast<int>(error);
    if (result.error.empty()) result.error = ErrorText(error);
    result.body.clear();
    if (request.verbose) TraceFailure(result.error, took);
    return result;
  }
  result.answered = true;
  if (request.verbose) {
    TraceAnswer(static_cast<int>(result.http_status), result.body.size(), took);
  }
  return result;
}

FailureKind FailureKindOf(int error_code) {
  switch (error_code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return FailureKind::kRefused;
    case ERROR_WINHTTP_TIMEOUT:
      return FailureKind::kTimedOut;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return FailureKind::kNothingAnswered;
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return FailureKind::kCutShort;
    default:
      return FailureKind::kOther;
  }
}

}  // namespace lumo::cli
