// The fault rules under /_sandbox/rules: each action does what it says, counts run out, skipped
// calls pass, and refused calls are faulted only when a rule asks for them.
#include <gtest/gtest.h>

#include <string>

#include "exchange.h"
#include "fault_rules.h"
#include "raw_connection.h"
#include "refusal.h"
#include "sandbox/server.h"
#include "sandbox_fixture.h"

namespace lumo::sandbox::testing {
namespace {

using web::json::value;

const std::string kSplash = "norda.lumo.active.startPC";

class FaultsTest : public SandboxTest {
 protected:
  Response AddRule(const std::string& json) {
    return client().Send("POST", "/_sandbox/rules", {"Content-Type: application/json"}, json);
  }

  Response Splash() { return client().Get(PlainTarget(kSplash, {})); }
};

// A delayed answer still arrives; that it is held back shows in the report pool's integration
// test, which keeps a report running behind a long delay.
TEST_F(FaultsTest, EachActionDoesWhatItSays) {
  struct Case {
    const char* action;
    int curl_code;
    long status;              // 0: no answer
    int error_code;           // -1: the body is not JSON
    const char* answer_type;  // as the log tells it; empty when nothing was answered
    const char* body_start = "";
  };
  constexpr const char* kJson = "application/json; charset=utf-8";
  const Case cases[] = {
      {R"("close")", kCurlGotNothing, 0, -1, ""},
      {R"("truncate")", kCurlPartialFile, 200, -1, kJson},
      {R"("html502")", kCurlOk, 502, -1, "text/html; charset=utf-8", "<!DOCTYPE html>"},
      {R"("not_json")", kCurlOk, 200, -1, "text/plain; charset=utf-8"},
      {R"("error_code","error_code":22469)", kCurlOk, 200, 22469, kJson},
      {R"("delay","delay_ms":50)", kCurlOk, 200, 22000, kJson},
      {R"("verbatim","body":"{}")", kCurlOk, 200, -1, kJson, "{}"},
      {R"("verbatim","body":"null")", kCurlOk, 200, -1, kJson, "null"},
      {R"("verbatim","body":"[]")", kCurlOk, 200, -1, kJson, "[]"},
      {R"("verbatim","body":"{\"error_code\":22001}")", kCurlOk, 200, 22001, kJson},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    ASSERT_EQ(client().Send("DELETE", "/_sandbox/rules", {}).error_code(), 22000);
    Response added = AddRule(R"({"method":")" + kSplash + R"(","action":)" + c.action + "}");
    ASSERT_EQ(added.error_code(), 22000) << added.body;
    Response faulted = Splash();
    EXPECT_EQ(faulted.curl_code, c.curl_code);
    EXPECT_EQ(faulted.status, c.status);
    EXPECT_EQ(faulted.error_code(), c.error_code) << faulted.body;
    EXPECT_EQ(faulted.body.rfind(c.body_start, 0), 0u) << faulted.body;
    const web::json::value logged = client().Get("/_sandbox/log?method=" + kSplash).json;
    const web::json::value& entries = logged.at(U("entries"));
    EXPECT_EQ(Text(entries.at(entries.size() - 1).at(U("answer_type"))), c.answer_type);
    if (std::string(c.action).find("verbatim") != std::string::npos && c.error_code == -1) {
      EXPECT_EQ(faulted.body, c.body_start);
    }
  }
  // Any method: "*".
  AddRule(R"({"method":"*","action":"error_code","error_code":24003})");
  EXPECT_EQ(
      client().Get(PlainTarget("norda.lumo.search.catalogSug", {{"query", "a"}})).error_code(),
      24003);
}

// The body is generated as it is sent; read off the wire, it is one JSON object of the promised
// length, larger than what the library's transport accepts.
TEST_F(FaultsTest, OversizeSendsAWholeJsonBodyBeyondTheCap) {
  ASSERT_EQ(AddRule(R"({"method":")" + kSplash + R"(","action":"oversize"})").error_code(), 22000);
  RawConnection connection(SandboxEnvironment::port());
  ASSERT_TRUE(connection.connected()) << connection.error();
  ASSERT_TRUE(connection.Send(RequestText("GET", PlainTarget(kSplash, {}))));
  const RawAnswer answer = connection.ReadAnswer();
  EXPECT_EQ(answer.status, 200) << answer.head;
  EXPECT_NE(answer.head.find("Content-Length: " + std::to_string(kOversizeBodyBytes)),
            std::string::npos)
      << answer.head;
  EXPECT_NE(answer.head.find("application/json"), std::string::npos) << answer.head;
  ASSERT_EQ(answer.body.size(), kOversizeBodyBytes);
  EXPECT_GT(answer.body.size(), size_t{32} * 1024 * 1024);
  EXPECT_EQ(answer.body.rfind(R"({"error_code":22000,"padding":"xxx)", 0), 0u);
  EXPECT_EQ(answer.body.substr(answer.body.size() - 4), R"(xx"})");
  EXPECT_EQ(answer.body.find_first_not_of('x', 32), answer.body.size() - 2);
  EXPECT_TRUE(connection.PeerCloses());
}

// A rule's count runs out, "skip" lets the first matching calls through without using it up,
// and other methods are untouched.
TEST_F(FaultsTest, CountAndSkipPickTheCallsFaulted) {
  const std::pair<const char*, std::vector<int>> cases[] = {
      {R"("count":2)", {24003, 24003, 22000}},
      {R"("skip":2,"count":1)", {22000, 22000, 24003, 22000}},
  };
  for (const auto& [fields, codes] : cases) {
    SCOPED_TRACE(fields);
    ASSERT_EQ(AddRule(R"({"method":")" + kSplash +
                      R"(","action":"error_code","error_code":24003,)" + fields + "}")
                  .error_code(),
              22000);
    EXPECT_EQ(
        client().Get(PlainTarget("norda.lumo.search.catalogSug", {{"query", "a"}})).error_code(),
        22000);
    for (int code : codes) EXPECT_EQ(Splash().error_code(), code);
    EXPECT_EQ(client().Get("/_sandbox/rules").json.at(U("rules")).size(), 0u);
  }
}

// A call the checks refuse is left alone unless the rule asks for refused calls as well.
TEST_F(FaultsTest, RefusedCallsAreFaultedOnlyWhenAsked) {
  const std::string unknown_token = PlainTarget("norda.lumo.cloud.expand", {{"kwtok", "nobody"}});
  ASSERT_EQ(
      AddRule(R"({"method":"norda.lumo.cloud.expand","action":"html502","count":1})").error_code(),
      22000);
  EXPECT_EQ(client().Get(unknown_token).error_code(), code::kUnknownToken);
  ASSERT_EQ(AddRule(R"({"method":"norda.lumo.cloud.expand","action":"verbatim","body":"[]",)"
                    R"("refused":true,"count":1})")
                .error_code(),
            22000);
  Response faulted = client().Get(unknown_token);
  EXPECT_EQ(faulted.status, 200);
  EXPECT_EQ(faulted.body, "[]");
  // The first rule still waits for a call that passes the checks.
  EXPECT_EQ(client().Get("/_sandbox/rules").json.at(U("rules")).size(), 1u);
}

TEST_F(FaultsTest, InvalidRulesAreRefused) {
  const char* const rules[] = {
      R"({"method":"*","action":"verbatim"})",
      R"({"method":"*","action":"verbatim","body":7})",
      R"({"method":"*","action":"html502","body":"{}"})",
      R"({"method":"*","action":"oversize","skip":-1})",
      R"({"method":"*","action":"close","skip":"1"})",
      R"({"method":"*","action":"close","refused":1})",
      R"({"method":"*","action":"stream"})",
  };
  for (const char* rule : rules) {
    EXPECT_EQ(AddRule(rule).error_code(), code::kBadRule) << rule;
  }
  const std::string long_body = R"({"method":"*","action":"verbatim","body":")" +
                                std::string(kMaxVerbatimBody + 1, ' ') + R"("})";
  EXPECT_EQ(AddRule(long_body).error_code(), code::kBadRule);
  const std::string long_method =
      R"({"method":")" + std::string(kMaxRuleMethod + 1, 'm') + R"(","action":"close"})";
  EXPECT_EQ(AddRule(long_method).error_code(), code::kBadRule);
  // The largest body a verbatim rule takes, every byte escaped, still fits the request's limit.
  std::string escaped;
  for (size_t i = 0; i < kMaxVerbatimBody; ++i) escaped += "\\u0001";
  Response widest = AddRule(R"({"method":"*","action":"verbatim","body":")" + escaped + R"("})");
  EXPECT_EQ(widest.error_code(), 22000) << widest.status;
  // Beyond it the body is not read.
  Response huge = AddRule(R"({"method":")" + std::string(1024 * 1024 - 64, 'm') + R"("})");
  EXPECT_EQ(huge.status, 413);
  EXPECT_EQ(huge.error_code(), code::kBodyTooLarge);
  EXPECT_EQ(client().Get("/_sandbox/rules").json.at(U("rules")).size(), 1u);
}

// Only so many rules are in force; removing one makes room for the next.
TEST_F(FaultsTest, RulesInForceAreCapped) {
  const std::string rule = R"({"method":")" + kSplash + R"(","action":"delay","delay_ms":1})";
  for (size_t i = 0; i < kMaxRules; ++i) ASSERT_EQ(AddRule(rule).error_code(), 22000) << i;
  Response refused = AddRule(rule);
  EXPECT_EQ(refused.status, 429);
  EXPECT_EQ(refused.error_code(), code::kTooManyRules);
  const value rules = client().Get("/_sandbox/rules").json.at(U("rules"));
  ASSERT_EQ(rules.size(), kMaxRules);
  const std::string first = std::to_string(rules.at(0).at(U("id")).as_integer());
  ASSERT_EQ(client().Send("DELETE", "/_sandbox/rules/" + first, {}).error_code(), 22000);
  EXPECT_EQ(AddRule(rule).error_code(), 22000);
}

}  // namespace
}  // namespace lumo::sandbox::testing
