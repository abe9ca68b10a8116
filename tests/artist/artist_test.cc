// The artist request: its picture list, else the avatar.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lumoapi/artist/get_artist_info.h"
#include "support/answered.h"

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;

TEST(GetArtistInfoTest, PictureListElseAvatar) {
  const std::pair<const char*, std::vector<std::wstring>> cases[] = {
      {R"({"pic_list":[{"url":"a"},{"size":1},{"url":"c"}],"avatar_s1000":"v"})",
       {L"a", L"", L"c"}},
      {R"({"pic_list":[],"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":{"url":"a"},"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":null,"avatar_s1000":""})", {}},
  };
  for (const auto& [body, pics] : cases) {
    const auto request = Answered<artist::GetArtistInfo>(body, L"1");
    EXPECT_TRUE(request->succeeded) << body;
    EXPECT_EQ(request->pics, pics) << body;
  }
}

}  // namespace
}  // namespace lumoapi
