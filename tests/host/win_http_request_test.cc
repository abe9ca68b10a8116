// WinHttpRequest over the fake transport: what it hands to the transport in UTF-8 and its one
// signal per Send. Deleting requests in flight, inside their signal and while an answer is being
// handled is tested through RequestBase (tests/core) and the real transport.
#include "base/http/win_http_request.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "outcome.h"
#include "support/fake_transport.h"

namespace {

using base::http::WinHttpRequest;
using lumo::testing::Outcome;
using lumo::testing::ScopedFakeTransport;

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
    int completed;
    std::wstring text;  // the response text, or the failure's text
  };
  const Case cases[] = {
      {"utf-8 with an invalid byte",
       [](auto& t, uint64_t id) { return t.Answer(id, 404, "\xe4\xb8\xad\xff"); }, 1,
       L"\u4e2d\ufffd"},
      {"failure", [](auto& t, uint64_t id) { return t.Fail(id, 7, "Couldn't connect: \xc3\xa9"); },
       0, L"Couldn't connect: \u00e9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedFakeTransport transport;
    WinHttpRequest request;
    Outcome outcome(&request);
    request.Open(L"GET", L"http://api.lumo.example/", true, false);
    request.Send(0);
    request.Send(0);  // ignored
    ASSERT_EQ(transport->Started().size(), 1u);
    const uint64_t id = transport->Started()[0].id;

    std::thread answering([&] { EXPECT_TRUE(c.finish(*transport, id)); });
    answering.join();
    EXPECT_FALSE(transport->Answer(id, 200, "again"));
    EXPECT_FALSE(transport->Fail(id, 1, "again"));

    EXPECT_EQ(outcome.completed, c.completed);
    EXPECT_EQ(outcome.failed, 1 - c.completed);
    if (c.completed) {
      EXPECT_EQ(request.GetResponseText(), c.text);
    } else {
      EXPECT_EQ(outcome.code, 7);
      EXPECT_EQ(outcome.error_text, c.text);
    }
  }
}

}  // namespace
