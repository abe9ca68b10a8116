// The default transport end to end, WinHttpRequest against the loopback server: what the
// platform's driver (libcurl's on Linux, WinHTTP's on Windows) puts on the wire and how each way an
// exchange ends reaches the signals. The core's own rules (admission, waiting, cancellation,
// routes) are tested over a fake driver (transport_core_test.cc).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
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

// A port on 127.0.0.1 that nothing listens on: a server's, once it has gone.
std::string ClosedHostPort() {
  LoopbackServer server;
  return server.host_port();
}

// How the platform's transport names the failures that the library tells apart (its
// call_failure.cc reads these codes), and the start of the texts that go with them.
struct Failures {
  int refused;
  int timed_out;
  int too_large;
  int no_answer;  // the server closed the connection without answering
  std::wstring timed_out_text;
  std::wstring no_answer_text;
};
#ifdef _WIN32
const Failures kFailures = {
    12029, 12002, 12184, 12152, L"The operation timed out", L"The server returned an invalid"};
#else
const Failures kFailures = {7, 28, 63, 52, L"Timeout was reached", L"Server returned nothing"};
#endif

TEST(DefaultTransportTest, SendsTheRequestAsSetAndReturnsTheAnswer) {
  const std::string kBody = "{\"error_code\":22000,\"name\":\"\xe4\xb8\xad\"}";
  LoopbackServer server([&](const RecordedRequest&) {
    CannedResponse response;
    response.body = kBody;
    return response;
  });
  auto outcome = Fetch(server.Url("/v1/restserver/lumo?method=a&x=%26"),
                       {{L"User-Agent", L"lumo-player/2.3 (Linux)"},
                        {L"Referer", L"http://www.lumo.example/"},
                        {L"Cookie", L"KWTOK=abc; other=1"},
                        {L"X-Empty", L""},
                        {L"X-Twice", L"1"},
                        {L"X-Twice", L"2"}});
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
  // Sent as set: an empty value, and a repeated name twice in its order.
  std::vector<std::pair<std::string, std::string>> own;
  for (const auto& [name, value] : requests[0].headers) {
    if (name.rfind("X-", 0) == 0) own.emplace_back(name, value);
  }
  const std::vector<std::pair<std::string, std::string>> kOwn = {
      {"X-Empty", ""}, {"X-Twice", "1"}, {"X-Twice", "2"}};
  EXPECT_EQ(own, kOwn);
}

// Any status with a complete body fires response_completed; every other end fires
// request_failed with the transport's code.
TEST(DefaultTransportTest, CompleteAnswersCompleteAndEverythingElseFails) {
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
      {"closed without answer",
       hang_up,
       {},
       false,
       kFailures.no_answer,
       "",
       kFailures.no_answer_text},
      {"body over the cap", canned(200, too_large), small_body, false, kFailures.too_large, "",
       kTooLarge},
      {"chunked body over the cap", canned(200, too_large, true), small_body, false,
       kFailures.too_large, "", kTooLarge},
      {"total timeout", late, short_total, false, kFailures.timed_out, "",
       kFailures.timed_out_text},
      {"connection refused", {}, {}, false, kFailures.refused, "", L"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedLimits limits(c.limits);
    LoopbackServer server([&c](const RecordedRequest&) { return c.response; });
    auto outcome = Fetch(c.refused ? "http://" + ClosedHostPort() + "/" : server.Url("/"));
    EXPECT_EQ(outcome->completed, c.completes ? 1 : 0);
    EXPECT_EQ(outcome->failed, c.completes ? 0 : 1);
    EXPECT_EQ(outcome->code, c.code);
    EXPECT_EQ(outcome->body, c.body);
    EXPECT_EQ(outcome->error_text.substr(0, c.error_prefix.size()), c.error_prefix)
        << std::string(outcome->error_text.begin(), outcome->error_text.end());
    // Every platform says how long a time limit was, which the library's text repeats.
    if (c.code == kFailures.timed_out) {
      EXPECT_NE(outcome->error_text.find(L"timed out after 200 milliseconds"), std::wstring::npos);
    }
  }
}

TEST(DefaultTransportTest, ConnectToRoutesAHostNameWithoutChangingTheRequest) {
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

// Waits (bounded) until `server` has seen `count` requests.
bool SawRequests(const LoopbackServer& server, size_t count) {
  for (int i = 0; i < 1000 && server.requests().size() < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return server.requests().size() >= count;
}

// Deleting a request stops its exchange wherever it is, and nothing of it is signalled: not when
// the server later drops the connection, not with a body still arriving.
TEST(DefaultTransportTest, DeletedRequestsNeverSignal) {
  auto server = std::make_unique<LoopbackServer>([](const RecordedRequest& request) {
    CannedResponse response;
    if (request.target == "/late") response.delay = std::chrono::seconds(20);
    if (request.target == "/big") {
      response.body.assign(size_t{8} << 20, 'x');
      response.chunked = true;
    }
    return response;
  });
  struct InFlight {
    std::unique_ptr<WinHttpRequest> request = std::make_unique<WinHttpRequest>();
    Outcome outcome{request.get()};
  };
  std::vector<std::unique_ptr<InFlight>> in_flight;
  auto start = [&](const char* target) {
    in_flight.push_back(std::make_unique<InFlight>());
    Start(*in_flight.back()->request, server->Url(target));
  };
  for (int i = 0; i < 4; ++i) start("/late");
  for (int i = 0; i < 4; ++i) start("/big");
  ASSERT_TRUE(SawRequests(*server, 8));
  for (int i = 0; i < 4; ++i) start("/late");  // deleted before the server may have seen them
  for (auto& exchange : in_flight) exchange->request.reset();

  // The server goes, cutting every connection; a later exchange has its answer after that.
  server.reset();
  LoopbackServer next;
  EXPECT_EQ(Fetch(next.Url("/next"))->completed, 1);
  for (const auto& exchange : in_flight) {
    EXPECT_EQ(exchange->outcome.completed + exchange->outcome.failed, 0);
  }
}

TEST(DefaultTransportTest, SequentialRequestsReuseTheConnection) {
  LoopbackServer server;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Fetch(server.Url("/again"))->completed, 1);
  EXPECT_EQ(server.requests().size(), 3u);
  EXPECT_EQ(server.accepted_connections(), 1u);
}

}  // namespace
