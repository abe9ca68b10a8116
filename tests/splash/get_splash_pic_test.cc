#include "lumoapi/splash/get_splash_pic.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace lumoapi::splash {
namespace {

using lumo::testing::OwnPairs;
using lumo::testing::QueryPairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;
using lumo::testing::ValueOf;

TEST(GetSplashPicTest, SendsNoParametersOfItsOwn) {
  GetSplashPic request;
  const std::wstring url = request.BuildUrl();
  EXPECT_EQ(ValueOf(QueryPairs(url), "method"), "norda.lumo.active.startPC");
  EXPECT_TRUE(OwnPairs(url).empty());
}

// Answers the parser refuses end the call through the failure way: one completion, posted to the
// UI thread after the HTTP request has been dropped.
TEST(GetSplashPicTest, FirstPictureOrFailure) {
  struct Case {
    const char* body;
    bool succeeded;
    int32_t status;
    std::wstring pic;
  };
  const Case cases[] = {
      {R"({"result":[{"pic":"A"},{"pic":"B"}]})", true, 22000, L"A"},
      {R"({"error_code":22000,"result":[{"pic":""}]})", true, 22000, L""},
      {R"({"result":{"pic":"A"}})", true, 22000, L""},
      {R"({"result":[]})", true, 22000, L""},
      {R"({})", true, 22000, L""},
      {R"({"error_code":24003,"result":[{"pic":"A"}]})", false, 24003, L""},
      {R"({"error_code":22469,"result":[{"pic":"A"}]})", false, 22469, L""},
      {R"({"result":[{"url":"A"},{"pic":"B"}]})", false, 22000, L""},
      {R"({"result":[{"pic":7}]})", false, 22000, L""},
      {R"({"result":[{"pic":null}]})", false, 22000, L""},
      {R"({"result":["A"]})", false, 22000, L""},
  };
  for (const Case& c : cases) {
    ScopedFakeTransport transport;
    GetSplashPic request;
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1) << c.body;
    EXPECT_EQ(request.succeeded, c.succeeded) << c.body;
    EXPECT_EQ(request.status, c.status) << c.body;
    EXPECT_EQ(request.pic, c.pic) << c.body;
    EXPECT_TRUE(request.finished) << c.body;
    EXPECT_EQ(request.http_request == nullptr, !c.succeeded) << c.body;
  }
}

}  // namespace
}  // namespace lumoapi::splash
