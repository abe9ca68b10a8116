// The splash picture request: the first picture, or a failure.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "lumoapi/splash/get_splash_pic.h"
#include "support/answered.h"

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;

// A refused answer, or a first entry without a picture, fails.
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
      {R"({"result":[{"url":"A"},{"pic":"B"}]})", false, 22000, L""},
  };
  for (const Case& c : cases) {
    const auto request = Answered<splash::GetSplashPic>(c.body);
    EXPECT_EQ(request->succeeded, c.succeeded) << c.body;
    EXPECT_EQ(request->status, c.status) << c.body;
    EXPECT_EQ(request->pic, c.pic) << c.body;
  }
}

}  // namespace
}  // namespace lumoapi
