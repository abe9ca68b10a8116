// WinHttpRequest over the fake transport: what it hands to the transport, its one signal per
// Send, and its destruction while an answer is being delivered.
#include "base/http/win_http_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "support/fake_transport.h"

namespace {

using base::http::WinHttpRequest;
using lumo::testing::ScopedFakeTransport;

// Counts the signals of one request; optional hooks run inside the slots.
class Receiver : public sigslot::has_slots<> {
 public:
  explicit Receiver(WinHttpRequest* request) {
    request->response_completed.connect(this, &Receiver::OnCompleted);
    request->request_failed.connect(this, &Receiver::OnFailed);
  }

  void OnCompleted() {
    ++completed;
    if (on_signal) on_signal();
  }
  void OnFailed(int code, std::wstring text) {
    ++failed;
    error_code = code;
    error_text = std::move(text);
    if (on_signal) on_signal();
  }

  std::atomic<int> completed{0};
  std::atomic<int> failed{0};
  int error_code = 0;
  std::wstring error_text;
  std::function<void()> on_signal;
};

TEST(WinHttpRequestTest, HandsMethodAddressAndHeadersToTheTransportInUtf8) {
  ScopedFakeTransport transport;
  WinHttpRequest request;
  request.Open(L"GET", L"http://api.lumo.example/v1?q=\u4e2d", true, false);
  request.SetRequestHeader(L"User-Agent", L"lumo/1.0");
  request.SetRequestHeader(L"Cookie", L"KWTOK=t\u00e9");
  request.SetRequestHeader(L"Cookie", L"second=1");
  request.Send(0);

  const auto started = transport->Started();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].request.method, "GET");
  EXPECT_EQ(started[0].request.url, "http://api.lumo.example/v1?q=\xe4\xb8\xad");
  const std::vector<std::pair<std::string, std::string>> expected_headers = {
      {"User-Agent", "lumo/1.0"}, {"Cookie", "KWTOK=t\xc3\xa9"}, {"Cookie", "second=1"}};
  EXPECT_EQ(started[0].request.headers, expected_headers);
}

TEST(WinHttpRequestTest, FiresExactlyOneSignalPerSend) {
  struct Case {
    const char* name;
    std::function<bool(lumo::testing::FakeTransport&, uint64_t)> finish;
    int completed, failed;
    int32_t status;
    std::wstring text;
    int error_code;
    std::wstring error_text;
  };
  const Case cases[] = {
      {"ok", [](auto& t, uint64_t id) { return t.Answer(id, 200, "{\"a\":\"\xe4\xb8\xad\"}"); }, 1,
       0, 200, L"{\"a\":\"\u4e2d\"}", 0, L""},
      {"not found with body", [](auto& t, uint64_t id) { return t.Answer(id, 404, "missing"); }, 1,
       0, 404, L"missing", 0, L""},
      {"empty body", [](auto& t, uint64_t id) { return t.Answer(id, 204, ""); }, 1, 0, 204, L"", 0,
       L""},
      {"invalid utf-8",
       [](auto& t, uint64_t id) {
         return t.Answer(id, 200,
                         "a\xff"
                         "b");
       },
       1, 0, 200, L"a\ufffdb", 0, L""},
      {"failure", [](auto& t, uint64_t id) { return t.Fail(id, 7, "Couldn't connect: \xc3\xa9"); },
       0, 1, 0, L"", 7, L"Couldn't connect: \u00e9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedFakeTransport transport;
    WinHttpRequest request;
    Receiver receiver(&request);
    request.Open(L"GET", L"http://api.lumo.example/", true, false);
    request.Send(0);
    request.Send(0);  // ignored
    ASSERT_EQ(transport->Started().size(), 1u);
    const uint64_t id = transport->Started()[0].id;

    std::thread answering([&] { EXPECT_TRUE(c.finish(*transport, id)); });
    answering.join();
    EXPECT_FALSE(transport->Answer(id, 200, "again"));
    EXPECT_FALSE(transport->Fail(id, 1, "again"));

    EXPECT_EQ(receiver.completed, c.completed);
    EXPECT_EQ(receiver.failed, c.failed);
    if (c.completed) {
      EXPECT_EQ(request.GetStatus(), c.status);
      EXPECT_EQ(request.GetResponseText(), c.text);
    } else {
      EXPECT_EQ(receiver.error_code, c.error_code);
      EXPECT_EQ(receiver.error_text, c.error_text);
    }
  }
}

TEST(WinHttpRequestTest, DeletingBeforeTheAnswerCancelsTheExchange) {
  ScopedFakeTransport transport;
  auto request = std::make_unique<WinHttpRequest>();
  Receiver receiver(request.get());
  request->Open(L"GET", L"http://api.lumo.example/", true, false);
  request->Send(0);
  const uint64_t id = transport->Started()[0].id;

  request.reset();
  EXPECT_TRUE(transport->IsCancelled(id));
  EXPECT_FALSE(transport->Answer(id, 200, "late"));
  EXPECT_EQ(receiver.completed + receiver.failed, 0);
}

TEST(WinHttpRequestTest, MayBeDeletedFromInsideItsOwnSignalOnTheAnsweringThread) {
  for (const bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "request_failed" : "response_completed");
    ScopedFakeTransport transport;
    auto* request = new WinHttpRequest;
    Receiver receiver(request);
    receiver.on_signal = [&request] {
      delete request;
      request = nullptr;
    };
    request->Open(L"GET", L"http://api.lumo.example/", true, false);
    request->Send(0);
    const uint64_t id = transport->Started()[0].id;

    // A destructor that waited for its own emission would hang this thread forever.
    auto answered = std::async(std::launch::async, [&] {
      return fail ? transport->Fail(id, 28, "timeout") : transport->Answer(id, 200, "ok");
    });
    ASSERT_EQ(answered.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(answered.get());
    EXPECT_EQ(request, nullptr);
    EXPECT_EQ(receiver.completed + receiver.failed, 1);
  }
}

TEST(WinHttpRequestTest, DestructorWaitsForAnEmissionOnAnotherThread) {
  ScopedFakeTransport transport;
  auto* request = new WinHttpRequest;
  Receiver receiver(request);
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> slot_returned{false};
  receiver.on_signal = [&] {
    entered.set_value();
    released.wait();
    slot_returned = true;
  };
  request->Open(L"GET", L"http://api.lumo.example/", true, false);
  request->Send(0);
  const uint64_t id = transport->Started()[0].id;

  std::thread answering([&] { transport->Answer(id, 200, "ok"); });
  entered.get_future().wait();
  // Released only a while after the destructor has started, so a destructor that returned
  // without waiting would be caught before the slot ends.
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release.set_value();
  });
  delete request;
  EXPECT_TRUE(slot_returned);
  releaser.join();
  answering.join();
  EXPECT_EQ(receiver.completed, 1);
}

}  // namespace
