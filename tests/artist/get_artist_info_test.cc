#include "lumoapi/artist/get_artist_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/request_harness.h"

namespace lumoapi::artist {
namespace {

namespace lt = lumo::testing;

TEST(GetArtistInfoTest, PictureListElseAvatar) {
  const std::pair<const char*, std::vector<std::wstring>> cases[] = {
      {R"({"pic_list":[{"url":"a"},{"size":1},{"url":"c"}],"avatar_s1000":"v"})",
       {L"a", L"", L"c"}},
      {R"({"pic_list":[],"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":{"url":"a"},"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":null,"avatar_s1000":""})", {}},
  };
  for (const auto& [body, pics] : cases) {
    lt::ScopedFakeTransport transport;
    GetArtistInfo request(L"1");
    ASSERT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded) << body;
    EXPECT_EQ(request.pics, pics) << body;
  }
}

}  // namespace
}  // namespace lumoapi::artist
