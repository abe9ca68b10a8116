// The transport behind base::http::WinHttpRequest: something that performs one HTTP exchange and
// reports its outcome through a callback. The default runs on one network thread over libcurl's
// multi interface on Linux and over WinHTTP's asynchronous interface on Windows; tests install
// their own to answer or fail requests on a thread of their choice.
#ifndef BASE_HTTP_TRANSPORT_H_
#define BASE_HTTP_TRANSPORT_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/export.h"

namespace base::http {

// One exchange to perform.
struct TransportRequest {
  std::string method;                                        // "GET"
  std::string url;                                           // the whole address
  std::vector<std::pair<std::string, std::string>> headers;  // in the order they were set
};

// How one exchange ended.
struct TransportResult {
  bool ok = false;     // true: an answer arrived (any HTTP status); false: the exchange failed
  int32_t status = 0;  // HTTP status, when ok
  std::string body;    // the whole body as bytes, when ok
  // The transport's error code, when !ok: for the default transport libcurl's CURLcode on Linux,
  // the WinHTTP (or system) error number on Windows.
  int error_code = 0;
  std::string error_text;  // its description, when !ok
};

// Called exactly once per started exchange unless it was cancelled first, on the transport's
// thread.
using TransportCallback = std::function<void(TransportResult)>;

// Implementations must be safe to use from any thread.
class LUMOHOST_EXPORT Transport {
 public:
  using ExchangeId = uint64_t;  // names one exchange of a transport

  virtual ~Transport() = default;

  // Starts an exchange and returns at once. `done` is never called inside Start.
  virtual ExchangeId Start(TransportRequest request, TransportCallback done) = 0;

  // Stops an exchange; its callback is not called after Cancel returns, unless Cancel is called
  // from inside that very callback (which has then already been called). Unknown or finished ids
  // are ignored.
  virtual void Cancel(ExchangeId id) = 0;
};

// The transport used by WinHttpRequest objects constructed from now on. Passing nullptr restores
// the default transport. Any thread.
LUMOHOST_EXPORT void SetTransport(std::shared_ptr<Transport> transport);
// The transport new WinHttpRequest objects use. Any thread.
LUMOHOST_EXPORT std::shared_ptr<Transport> GetTransport();

// Sends every request for `host_port` (for example "api.lumo.example:80") to `to_host_port`
// (for example "127.0.0.1:40123") instead, like curl's --connect-to. The address, the Host header
// and everything else of the request stay unchanged. An empty `to_host_port` removes the route.
// Applies to exchanges started afterwards. Any thread.
LUMOHOST_EXPORT void SetConnectTo(const std::string& host_port, const std::string& to_host_port);

// The proxy of the default transport, like curl's --proxy: "http://127.0.0.1:3128" (any proxy
// address libcurl takes, such as "socks5://127.0.0.1:1080"; on Windows an http proxy, written
// "http://host:port" or "host:port": WinHTTP reaches no other kind, and an exchange that would
// use one fails, its text saying so). An empty
// `proxy_url` leaves the choice to the platform. Linux: the environment, as libcurl reads it:
// http_proxy for http addresses, HTTPS_PROXY (or https_proxy) for https ones, ALL_PROXY for
// either; the upper-case HTTP_PROXY is not read. Windows: the user's proxy setting, or else
// WinHTTP's default configuration (proxy scripts and automatic detection are not followed). Hosts
// routed with SetConnectTo are always reached directly. Applies to exchanges started afterwards.
// Any thread.
LUMOHOST_EXPORT void SetProxy(const std::string& proxy_url);

// The hosts reached without a proxy, like curl's --noproxy: a comma-separated list of host names,
// domains (which cover their subdomains) and IP addresses, or "*" for every host. An empty `hosts`
// leaves it to the platform: the environment's no_proxy (or NO_PROXY) on Linux, the bypass list of
// the user's proxy setting on Windows. Applies to exchanges started afterwards. Any thread.
LUMOHOST_EXPORT void SetNoProxy(const std::string& hosts);

// Limits of the default transport.
struct TransportLimits {
  int64_t connect_timeout_ms = 10'000;                 // to have the connection
  int64_t total_timeout_ms = 30'000;                   // for the whole exchange
  int64_t max_body_bytes = int64_t{32} * 1024 * 1024;  // a longer answer fails the exchange
};
// Applies to exchanges started afterwards. Any thread.
LUMOHOST_EXPORT void SetTransportLimits(const TransportLimits& limits);

}  // namespace base::http

#endif  // BASE_HTTP_TRANSPORT_H_
