// The default transport end to end, WinHttpRequest against the loopback server: what the libcurl
// driver puts on the wire and how each way an exchange ends reaches the signals. The core's own
// rules (admission, waiting, cancellation, routes) are tested over a fake driver
// (transport_core_test.cc).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/http/transport.h"
#include "base/http/win_http_request.h"
#include "outcome.h"
#include "support/loopback_server.h"

namespace {

using base::http::TransportLimits;
using base::http::WinHttpRequest;
using lumo::testing::CannedResponse;
using lumo::testing::LoopbackServer;
using lumo::testing::Outcome;
using lumo::testing::RecordedRequest;
using Headers = std::vector<std::pair<const wchar_t*, const wchar_t*>>;

void Start(WinHttpRequest& request, const std::string& url, const Headers& headers = {}) {
  request.Open(L"GET", std::wstring(url.begin(), url.end()), true, false);
  for (const auto& [name, value] : headers) request.SetRequestHeader(name, value);
  request.Send(0);
}

// Sends one GET and waits for its signal. The request is deleted before returning.
std::unique_ptr<Outcome> Fetch(const std::string& url, const Headers& headers = {}) {
  WinHttpRequest request;
  auto outcome = std::make_unique<Outcome>(&request);
  Start(request, url, headers);
  EXPECT_TRUE(outcome->Wait()) << url;
  return outcome;
}

// Restores the default limits when it goes out of scope.
class ScopedLimits {
 public:
  explicit ScopedLimits(const TransportLimits& limits) { base::http::SetTransportLimits(limits); }
  ~ScopedLimits() { base::http::SetTransportLimits(TransportLimits{}); }
};

uint16_t ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  const bool bound = fd >= 0 &&
                     ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                     ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (fd >= 0) ::close(fd);
  // Nothing listens on port 1 either.
  return bound ? ntohs(address.sin_port) : 1;
}

TEST(CurlTransportTest, SendsTheRequestAsSetAndReturnsTheAnswer) {
  const std::string kBody = "{\"error_code\":22000,\"name\":\"\xe4\xb8\xad\"}";
  LoopbackServer server([&](const RecordedRequest&) {
    CannedResponse response;
    response.body = kBody;
    return response;
  });
  auto outcome = Fetch(server.Url("/v1/restserver/lumo?method=a&x=%26"),
                       {{L"User-Agent", L"lumo-player/2.3 (Linux)"},
                        {L"Referer", L"http://www.lumo.example/"},
                        {L"Cookie", L"KWTOK=abc; other=1"}});
  ASSERT_EQ(outcome->completed, 1);
  EXPECT_EQ(outcome->failed, 0);
  EXPECT_EQ(outcome->code, 200);
  EXPECT_EQ(outcome->body, kBody);

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line, "GET /v1/restserver/lumo?method=a&x=%26 HTTP/1.1");
  EXPECT_EQ(requests[0].Header("Host"), server.host_port());
  EXPECT_EQ(requests[0].Header("User-Agent"), "lumo-player/2.3 (Linux)");
  EXPECT_EQ(requests[0].Header("Referer"), "http://www.lumo.example/");
  EXPECT_EQ(requests[0].Header("Cookie"), "KWTOK=abc; other=1");
}

// Any status with a complete body fires response_completed; every other end fires
// request_failed with the CURLcode.
TEST(CurlTransportTest, CompleteAnswersCompleteAndEverythingElseFails) {
  auto canned = [](int status, std::string body, bool chunked = false) {
    CannedResponse response;
    response.status = status;
    response.body = std::move(body);
    response.chunked = chunked;
    return response;
  };
  CannedResponse redirect = canned(302, "moved");
  redirect.headers.emplace_back("Location", "/elsewhere");
  CannedResponse hang_up;
  hang_up.close_without_answer = true;
  CannedResponse late;
  late.delay = std::chrono::seconds(10);
  TransportLimits small_body;
  small_body.max_body_bytes = 1000;
  TransportLimits short_total;
  short_total.total_timeout_ms = 200;
  const std::string big(300'000, 'x');
  const std::string too_large(5000, 'b');
  const std::wstring kTooLarge = L"response body exceeds 1000 bytes";

  struct Case {
    const char* name;
    CannedResponse response;
    TransportLimits limits;
    bool completes;
    int32_t code;
    std::string body;
    std::wstring error_prefix = L"";
    bool refused = false;  // no server listens
  };
  const Case cases[] = {
      {"chunked large body", canned(200, big, true), {}, true, 200, big},
      {"error page", canned(500, "<html>error</html>", true), {}, true, 500, "<html>error</html>"},
      {"empty body", canned(503, ""), {}, true, 503, ""},
      {"redirect, not followed", redirect, {}, true, 302, "moved"},
      {"closed without answer", hang_up, {}, false, 52, "", L"Server returned nothing"},
      {"body over the cap", canned(200, too_large), small_body, false, 63, "", kTooLarge},
      {"chunked body over the cap", canned(200, too_large, true), small_body, false, 63, "",
       kTooLarge},
      {"total timeout", late, short_total, false, 28, "", L"Timeout was reached"},
      {"connection refused", {}, {}, false, 7, "", L"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedLimits limits(c.limits);
    LoopbackServer server([&c](const RecordedRequest&) { return c.response; });
    auto outcome =
        Fetch(c.refused ? "http://127.0.0.1:" + std::to_string(ClosedPort()) : server.Url("/"));
    EXPECT_EQ(outcome->completed, c.completes ? 1 : 0);
    EXPECT_EQ(outcome->failed, c.completes ? 0 : 1);
    EXPECT_EQ(outcome->code, c.code);
    EXPECT_EQ(outcome->body, c.body);
    EXPECT_EQ(outcome->error_text.substr(0, c.error_prefix.size()), c.error_prefix)
        << std::string(outcome->error_text.begin(), outcome->error_text.end());
  }
}

TEST(CurlTransportTest, ConnectToRoutesAHostNameWithoutChangingTheRequest) {
  LoopbackServer server;
  base::http::SetConnectTo("api.lumo.example:80", server.host_port());
  // (That a routed host never goes through a proxy is a case of the proxy test.)
  auto outcome = Fetch("http://api.lumo.example/v1/restserver/lumo?a=1");
  base::http::SetConnectTo("api.lumo.example:80", "");

  EXPECT_EQ(outcome->completed, 1);
  EXPECT_EQ(outcome->body, "ok");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line, "GET /v1/restserver/lumo?a=1 HTTP/1.1");
  EXPECT_EQ(requests[0].Header("Host"), "api.lumo.example");
}

TEST(CurlTransportTest, SequentialRequestsReuseTheConnection) {
  LoopbackServer server;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Fetch(server.Url("/again"))->completed, 1);
  EXPECT_EQ(server.requests().size(), 3u);
  EXPECT_EQ(server.accepted_connections(), 1u);
}

}  // namespace
