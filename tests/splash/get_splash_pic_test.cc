#include "lumoapi/splash/get_splash_pic.h"

#include <gtest/gtest.h>

#include <string>

#include "support/request_harness.h"

namespace lumoapi::splash {
namespace {

namespace lt = lumo::testing;

// A refused answer, or a first entry without a picture, fails; either way with one completion.
TEST(GetSplashPicTest, FirstPictureOrFailure) {
  struct Case {
    const char* body;
    bool succeeded;
    int32_t status;
    std::wstring pic;
  };
  const Case cases[] = {
      {R"({"result":[{"pic":"A"},{"pic":"B"}]})", true, 22000, L"A"},
      {R"({"result":{"pic":"A"}})", true, 22000, L""},
      {R"({"result":[]})", true, 22000, L""},
      {R"({"error_code":24003,"result":[{"pic":"A"}]})", false, 24003, L""},
      {R"({"error_code":22469,"result":[{"pic":"A"}]})", false, 22469, L""},
      {R"({"result":[{"url":"A"},{"pic":"B"}]})", false, 22000, L""},
  };
  for (const Case& c : cases) {
    lt::ScopedFakeTransport transport;
    GetSplashPic request;
    EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, c.body), 1) << c.body;
    EXPECT_EQ(request.succeeded, c.succeeded) << c.body;
    EXPECT_EQ(request.status, c.status) << c.body;
    EXPECT_EQ(request.pic, c.pic) << c.body;
  }
}

}  // namespace
}  // namespace lumoapi::splash
