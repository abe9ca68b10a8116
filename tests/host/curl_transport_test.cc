// The default (libcurl) transport end to end: WinHttpRequest against the loopback server.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/http/transport.h"
#include "base/http/win_http_request.h"
#include "support/loopback_server.h"

namespace {

using base::http::TransportLimits;
using base::http::WinHttpRequest;
using lumo::testing::CannedResponse;
using lumo::testing::LoopbackServer;
using lumo::testing::RecordedRequest;

constexpr auto kSignalTimeout = std::chrono::seconds(20);

// Records the one signal of a request; signals arrive on the network thread.
class Outcome : public sigslot::has_slots<> {
 public:
  explicit Outcome(WinHttpRequest* request) : request_(request) {
    request->response_completed.connect(this, &Outcome::OnCompleted);
    request->request_failed.connect(this, &Outcome::OnFailed);
  }

  void OnCompleted() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++completed;
    status = request_->GetStatus();
    body = request_->GetResponseBody();
    signalled_.notify_all();
  }
  void OnFailed(int code, std::wstring text) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++failed;
    error_code = code;
    error_text = std::move(text);
    signalled_.notify_all();
  }

  // Waits for the signal; false if none came in time.
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return signalled_.wait_for(lock, kSignalTimeout, [this] { return completed + failed > 0; });
  }

  int completed = 0;
  int failed = 0;
  int32_t status = 0;
  std::string body;
  int error_code = 0;
  std::wstring error_text;

 private:
  WinHttpRequest* request_;
  std::mutex mutex_;
  std::condition_variable signalled_;
};

struct Header {
  const wchar_t* name;
  const wchar_t* value;
};

// Sends one GET and waits for its signal. The request is deleted before returning.
std::unique_ptr<Outcome> Fetch(const std::string& url, const std::vector<Header>& headers = {}) {
  WinHttpRequest request;
  auto outcome = std::make_unique<Outcome>(&request);
  request.Open(L"GET", std::wstring(url.begin(), url.end()), true, false);
  for (const Header& header : headers) request.SetRequestHeader(header.name, header.value);
  request.Send(0);
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
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

TEST(CurlTransportTest, SendsTheRequestAsSetAndReturnsTheAnswer) {
  LoopbackServer server([](const RecordedRequest&) {
    CannedResponse response;
    response.body = "{\"error_code\":22000,\"name\":\"\xe4\xb8\xad\"}";
    return response;
  });
  auto outcome = Fetch(server.Url("/v1/restserver/lumo?method=a&x=%26"),
                       {{L"User-Agent", L"lumo-player/2.3 (Linux)"},
                        {L"Referer", L"http://www.lumo.example/"},
                        {L"Cookie", L"KWTOK=abc; other=1"}});
  ASSERT_EQ(outcome->completed, 1);
  EXPECT_EQ(outcome->failed, 0);
  EXPECT_EQ(outcome->status, 200);
  EXPECT_EQ(outcome->body, "{\"error_code\":22000,\"name\":\"\xe4\xb8\xad\"}");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line, "GET /v1/restserver/lumo?method=a&x=%26 HTTP/1.1");
  EXPECT_EQ(requests[0].Header("Host"), server.host_port());
  EXPECT_EQ(requests[0].Header("User-Agent"), "lumo-player/2.3 (Linux)");
  EXPECT_EQ(requests[0].Header("Referer"), "http://www.lumo.example/");
  EXPECT_EQ(requests[0].Header("Cookie"), "KWTOK=abc; other=1");
}

TEST(CurlTransportTest, AnyStatusWithACompleteBodyIsAnAnswer) {
  struct Case {
    int status;
    std::string body;
    bool chunked;
  };
  const Case cases[] = {
      {200, std::string(300'000, 'x'), true},
      {500, "<html>error</html>", true},
      {503, "", false},
      {302, "moved", false},  // not followed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.status << (c.chunked ? " chunked" : ""));
    LoopbackServer server([&c](const RecordedRequest&) {
      CannedResponse response;
      response.status = c.status;
      response.body = c.body;
      response.chunked = c.chunked;
      if (c.status == 302) response.headers.emplace_back("Location", "/elsewhere");
      return response;
    });
    auto outcome = Fetch(server.Url("/"));
    EXPECT_EQ(outcome->completed, 1);
    EXPECT_EQ(outcome->failed, 0);
    EXPECT_EQ(outcome->status, c.status);
    EXPECT_EQ(outcome->body, c.body);
  }
}

TEST(CurlTransportTest, FailuresFireRequestFailedWithTheCurlCode) {
  struct Case {
    const char* name;
    CannedResponse response;
    TransportLimits limits;
    int error_code;  // CURLcode
    std::wstring text_prefix;
  };
  TransportLimits small_body;
  small_body.max_body_bytes = 1000;
  TransportLimits short_total;
  short_total.total_timeout_ms = 200;
  CannedResponse too_large;
  too_large.body = std::string(5000, 'b');
  CannedResponse too_large_chunked = too_large;
  too_large_chunked.chunked = true;
  CannedResponse hang_up;
  hang_up.close_without_answer = true;
  CannedResponse late;
  late.delay = std::chrono::seconds(10);

  const Case cases[] = {
      {"closed without answer", hang_up, {}, 52, L"Server returned nothing"},
      {"body over the cap", too_large, small_body, 63, L"response body exceeds 1000 bytes"},
      {"chunked body over the cap", too_large_chunked, small_body, 63,
       L"response body exceeds 1000 bytes"},
      {"total timeout", late, short_total, 28, L"Timeout was reached"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedLimits limits(c.limits);
    LoopbackServer server([&c](const RecordedRequest&) { return c.response; });
    auto outcome = Fetch(server.Url("/"));
    EXPECT_EQ(outcome->completed, 0);
    EXPECT_EQ(outcome->failed, 1);
    EXPECT_EQ(outcome->error_code, c.error_code);
    EXPECT_EQ(outcome->error_text.substr(0, c.text_prefix.size()), c.text_prefix)
        << std::string(outcome->error_text.begin(), outcome->error_text.end());
  }
}

TEST(CurlTransportTest, ConnectionRefusedFails) {
  auto outcome = Fetch("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/");
  EXPECT_EQ(outcome->failed, 1);
  EXPECT_EQ(outcome->error_code, 7);  // CURLE_COULDNT_CONNECT
}

TEST(CurlTransportTest, ConnectToRoutesAHostNameWithoutChangingTheRequest) {
  LoopbackServer server;
  base::http::SetConnectTo("api.lumo.example:80", server.host_port());
  // A routed host never goes through a proxy, even one set in the environment.
  ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(ClosedPort())).c_str(), 1);
  auto outcome = Fetch("http://api.lumo.example/v1/restserver/lumo?a=1");
  ::unsetenv("http_proxy");
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

// A receiver on the network thread deletes its own request and another one that is still waiting
// for its answer: neither destructor may wait for the network thread, and the other request
// never signals.
TEST(CurlTransportTest, RequestsMayBeDeletedOnTheNetworkThread) {
  LoopbackServer server([](const RecordedRequest& request) {
    CannedResponse response;
    if (request.target == "/slow") response.delay = std::chrono::seconds(30);
    return response;
  });
  auto* slow = new WinHttpRequest;
  auto* fast = new WinHttpRequest;
  Outcome slow_outcome(slow);
  Outcome fast_outcome(fast);
  struct Deleter : sigslot::has_slots<> {
    void OnCompleted() {
      delete other;
      delete self;
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      deleted.notify_all();
    }
    WinHttpRequest* self;
    WinHttpRequest* other;
    std::mutex mutex;
    std::condition_variable deleted;
    bool done = false;
  } deleter;
  deleter.self = fast;
  deleter.other = slow;
  fast->response_completed.connect(&deleter, &Deleter::OnCompleted);

  const std::string slow_url = server.Url("/slow");
  slow->Open(L"GET", std::wstring(slow_url.begin(), slow_url.end()), true, false);
  slow->Send(0);
  while (server.requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string fast_url = server.Url("/fast");
  fast->Open(L"GET", std::wstring(fast_url.begin(), fast_url.end()), true, false);
  fast->Send(0);

  std::unique_lock<std::mutex> lock(deleter.mutex);
  ASSERT_TRUE(deleter.deleted.wait_for(lock, kSignalTimeout, [&] { return deleter.done; }));
  EXPECT_EQ(fast_outcome.completed, 1);
  EXPECT_EQ(slow_outcome.completed + slow_outcome.failed, 0);
}

// Many requests in flight at once over a few connections; every fourth one is deleted from the
// main thread while it may be queued, on the wire or inside its emission.
TEST(CurlTransportTest, ManyRequestsSomeDeletedMidFlight) {
  constexpr int kRequests = 2000;
  constexpr int kDeleteEvery = 4;
  constexpr int kDeleteLag = 10;  // deleted this many requests after it was sent

  struct Counter : sigslot::has_slots<> {
    Counter(WinHttpRequest* request, std::atomic<int>* total) : request(request), total(total) {
      request->response_completed.connect(this, &Counter::OnCompleted);
      request->request_failed.connect(this, &Counter::OnFailed);
    }
    void OnCompleted() {
      body = request->GetResponseBody();
      ++completed;
      ++*total;
    }
    void OnFailed(int, std::wstring) {
      ++failed;
      ++*total;
    }
    WinHttpRequest* request;
    std::atomic<int>* total;
    std::string body;
    std::atomic<int> completed{0};
    std::atomic<int> failed{0};
  };

  LoopbackServer server([](const RecordedRequest& request) {
    CannedResponse response;
    response.body = request.target;
    return response;
  });
  std::atomic<int> signals{0};
  std::vector<std::unique_ptr<WinHttpRequest>> requests(kRequests);
  std::vector<std::unique_ptr<Counter>> counters(kRequests);
  int survivors = 0;
  for (int i = 0; i < kRequests; ++i) {
    requests[i] = std::make_unique<WinHttpRequest>();
    counters[i] = std::make_unique<Counter>(requests[i].get(), &signals);
    const std::string url = server.Url("/n/" + std::to_string(i));
    requests[i]->Open(L"GET", std::wstring(url.begin(), url.end()), true, false);
    requests[i]->Send(0);
    const int victim = i - kDeleteLag;
    if (victim >= 0 && victim % kDeleteEvery == 0) requests[victim].reset();
  }
  for (int i = 0; i < kRequests; ++i) {
    if (i % kDeleteEvery == 0 && i + kDeleteLag >= kRequests) requests[i].reset();
    survivors += requests[i] != nullptr;
  }

  // Deleted requests may or may not have signalled, so wait for the survivors one by one.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int i = 0; i < kRequests; ++i) {
    if (!requests[i]) continue;
    while (counters[i]->completed + counters[i]->failed == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  requests.clear();
  int survivors_answered = 0;
  for (int i = 0; i < kRequests; ++i) {
    const Counter& counter = *counters[i];
    if (i % kDeleteEvery == 0) {
      EXPECT_LE(counter.completed + counter.failed, 1) << i;
      continue;
    }
    EXPECT_EQ(counter.completed, 1) << i;
    EXPECT_EQ(counter.failed, 0) << i;
    EXPECT_EQ(counter.body, "/n/" + std::to_string(i));
    survivors_answered += counter.completed;
  }
  EXPECT_EQ(survivors_answered, survivors);
  EXPECT_LE(signals, kRequests);
}

}  // namespace
