// The fault rules under /_sandbox/rules: each action does what it says, and counts run out.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include "refusal.h"
#include "sandbox/server.h"
#include "sandbox_fixture.h"

namespace lumo::sandbox::testing {
namespace {

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
    long status;     // 0: no answer
    int error_code;  // -1: the body is not JSON
    const char* body_start = "";
  };
  const Case cases[] = {
      {R"("close")", CURLE_GOT_NOTHING, 0, -1},
      {R"("truncate")", CURLE_PARTIAL_FILE, 200, -1},
      {R"("html502")", CURLE_OK, 502, -1, "<!DOCTYPE html>"},
      {R"("not_json")", CURLE_OK, 200, -1},
      {R"("error_code","error_code":22469)", CURLE_OK, 200, 22469},
      {R"("delay","delay_ms":50)", CURLE_OK, 200, 22000},
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
  }
  // Any method: "*".
  AddRule(R"({"method":"*","action":"error_code","error_code":24003})");
  EXPECT_EQ(
      client().Get(PlainTarget("norda.lumo.search.catalogSug", {{"query", "a"}})).error_code(),
      24003);
}

TEST_F(FaultsTest, CountRunsOutAndOtherMethodsAreUntouched) {
  AddRule(
      R"({"method":"norda.lumo.active.startPC","action":"error_code","error_code":24003,"count":2})");
  EXPECT_EQ(
      client().Get(PlainTarget("norda.lumo.search.catalogSug", {{"query", "a"}})).error_code(),
      22000);
  EXPECT_EQ(Splash().error_code(), 24003);
  EXPECT_EQ(Splash().error_code(), 24003);
  EXPECT_EQ(Splash().error_code(), 22000);
  EXPECT_EQ(client().Get("/_sandbox/rules").json.at("rules").size(), 0u);
}

}  // namespace
}  // namespace lumo::sandbox::testing
