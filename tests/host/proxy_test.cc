// Proxies of the default transport: the environment's (Linux), SetProxy's, and the hosts that
// bypass them.
// A LoopbackServer stands in for the proxy: a request through it arrives with the whole address
// as its target ("GET http://127.0.0.1:PORT/path HTTP/1.1").
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/http/transport.h"
#include "base/http/win_http_request.h"
#include "outcome.h"
#include "support/loopback_server.h"

namespace {

using base::http::WinHttpRequest;
using lumo::testing::CannedResponse;
using lumo::testing::LoopbackServer;
using lumo::testing::Outcome;
using lumo::testing::RecordedRequest;

// Sets the environment variable `name` to `value`, or removes it when `value` is null.
void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value != nullptr ? value : "");
#else
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
#endif
}

// The default transport reads the proxy variables on Linux (libcurl does); on Windows the
// user's proxy setting stands in their place.
#ifdef _WIN32
constexpr bool kReadsProxyVariables = false;
#else
constexpr bool kReadsProxyVariables = true;
#endif

// Clears the proxy variables for the test and puts back what the process had afterwards, and
// leaves SetProxy and SetNoProxy unset again.
class ScopedProxyEnvironment {
 public:
  ScopedProxyEnvironment() {
    for (const char* name : kNames) {
      if (const char* value = std::getenv(name)) saved_[name] = value;
      SetVariable(name, nullptr);
    }
  }
  ~ScopedProxyEnvironment() {
    for (const char* name : kNames) {
      auto it = saved_.find(name);
      SetVariable(name, it == saved_.end() ? nullptr : it->second.c_str());
    }
    base::http::SetProxy("");
    base::http::SetNoProxy("");
  }
  ScopedProxyEnvironment(const ScopedProxyEnvironment&) = delete;
  ScopedProxyEnvironment& operator=(const ScopedProxyEnvironment&) = delete;

  static void Set(const char* name, const std::string& value) { SetVariable(name, value.c_str()); }

 private:
  static constexpr const char* kNames[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                           "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};
  std::map<std::string, std::string> saved_;
};

LoopbackServer::Handler Answer(const std::string& body) {
  return [body](const RecordedRequest&) {
    CannedResponse response;
    response.body = body;
    return response;
  };
}

// Fetches `url` with the default transport; the answer's body, or nothing on a failure.
std::optional<std::string> Fetch(const std::string& url) {
  auto request = std::make_unique<WinHttpRequest>();
  Outcome outcome(request.get());
  request->Open(L"GET", std::wstring(url.begin(), url.end()), true, false);
  request->Send(0);
  EXPECT_TRUE(outcome.Wait()) << url;
  // Deleted first: its destructor waits for the emission, which may still be running after the
  // outcome has seen the signal, to end before the outcome disconnects.
  request.reset();
  if (outcome.completed != 1) return std::nullopt;
  return outcome.body;
}

// Whether `request`, as a proxy received it, asks for `url` on `host_port`: the whole address as
// its target. Wine's WinHTTP writes the path alone when the proxy and the address share a host (as
// here, both on 127.0.0.1), which a proxy reads with the Host header.
bool IsProxyRequestFor(const RecordedRequest& request, const std::string& url,
                       const std::string& host_port) {
  if (request.request_line == "GET " + url + " HTTP/1.1") return true;
#ifdef _WIN32
  const std::string path = url.substr(url.find('/', url.find("://") + 3));
  return request.request_line == "GET " + path + " HTTP/1.1" && request.Header("Host") == host_port;
#else
  static_cast<void>(host_port);
  return false;
#endif
}

// Where the proxy settings come from in one case. "{proxy}" stands for the proxy's address,
// "{other}" for a second proxy that must not be used.
struct ProxyCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> environment;
  const char* api_proxy;     // SetProxy, "" for none
  const char* api_no_proxy;  // SetNoProxy, "" for none
  bool routed;               // the address is routed to the server with SetConnectTo
  bool through_proxy;        // expected: the proxy answers, not the server
};

std::string Expand(std::string text, const std::string& proxy, const std::string& other) {
  for (const auto& [key, value] : {std::pair{"{proxy}", proxy}, std::pair{"{other}", other}}) {
    const std::string needle = key;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle)) {
      text.replace(at, needle.size(), value);
    }
  }
  return text;
}

TEST(ProxyTest, RequestsGoThroughTheProxyUnlessExcluded) {
  const std::vector<ProxyCase> cases = {
      {"nothing set: direct", {}, "", "", false, false},
      {"http_proxy", {{"http_proxy", "{proxy}"}}, "", "", false, true},
      {"upper-case HTTP_PROXY is not read", {{"HTTP_PROXY", "{other}"}}, "", "", false, false},
      {"ALL_PROXY", {{"ALL_PROXY", "{proxy}"}}, "", "", false, true},
      {"no_proxy names the address",
       {{"http_proxy", "{other}"}, {"no_proxy", "example.invalid,127.0.0.1"}},
       "",
       "",
       false,
       false},
      {"NO_PROXY=*", {{"http_proxy", "{other}"}, {"NO_PROXY", "*"}}, "", "", false, false},
      {"SetProxy", {}, "{proxy}", "", false, true},
      {"SetProxy ahead of http_proxy", {{"http_proxy", "{other}"}}, "{proxy}", "", false, true},
      {"SetNoProxy bypasses SetProxy", {}, "{other}", "127.0.0.1", false, false},
      {"SetNoProxy bypasses http_proxy", {{"http_proxy", "{other}"}}, "", "*", false, false},
      {"SetNoProxy ahead of no_proxy",
       {{"no_proxy", "127.0.0.1"}},
       "{proxy}",
       "example.invalid",
       false,
       true},
      {"a routed host never uses one", {{"http_proxy", "{other}"}}, "{other}", "", true, false},
  };

  LoopbackServer server(Answer("direct"));
  LoopbackServer proxy(Answer("proxied"));
  LoopbackServer other(Answer("wrong proxy"));
  const std::string proxy_url = "http://" + proxy.host_port();
  const std::string other_url = "http://" + other.host_port();
  // A routed address names a port nothing listens on; the route leads to the server.
  const std::string kRoutedHostPort = "127.0.0.1:9";

  for (const ProxyCase& c : cases) {
    if (!kReadsProxyVariables && !c.environment.empty()) continue;
    SCOPED_TRACE(c.name);
    ScopedProxyEnvironment environment;
    for (const auto& [name, value] : c.environment) {
      ScopedProxyEnvironment::Set(name, Expand(value, proxy_url, other_url));
    }
    base::http::SetProxy(Expand(c.api_proxy, proxy_url, other_url));
    base::http::SetNoProxy(c.api_no_proxy);
    if (c.routed) base::http::SetConnectTo(kRoutedHostPort, server.host_port());
    const std::string url =
        "http://" + (c.routed ? kRoutedHostPort : server.host_port()) + "/v1/call?x=1";
    const size_t proxied_before = proxy.requests().size();

    EXPECT_EQ(Fetch(url), c.through_proxy ? "proxied" : "direct");
    const std::vector<RecordedRequest> seen = proxy.requests();
    if (c.through_proxy) {
      ASSERT_EQ(seen.size(), proxied_before + 1);
      EXPECT_TRUE(IsProxyRequestFor(seen.back(), url, server.host_port()))
          << seen.back().request_line;
    }
    if (c.routed) base::http::SetConnectTo(kRoutedHostPort, "");
  }
  EXPECT_TRUE(other.requests().empty());
}

#ifdef _WIN32
// WinHTTP reaches http proxies only: a proxy of another scheme fails the exchange, saying why,
// instead of being read as a host called "socks5".
TEST(ProxyTest, AProxyOfAnotherSchemeFailsTheExchangeOnWindows) {
  LoopbackServer server(Answer("direct"));
  base::http::SetProxy("socks5://127.0.0.1:9");
  auto request = std::make_unique<WinHttpRequest>();
  Outcome outcome(request.get());
  request->Open(
      L"GET",
      L"http://" + std::wstring(server.host_port().begin(), server.host_port().end()) + L"/", true,
      false);
  request->Send(0);
  EXPECT_TRUE(outcome.Wait());
  request.reset();
  base::http::SetProxy("");
  EXPECT_EQ(outcome.failed, 1);
  EXPECT_NE(outcome.error_text.find(L"is not an http proxy"), std::wstring::npos);
  EXPECT_TRUE(server.requests().empty());
}
#endif

}  // namespace
