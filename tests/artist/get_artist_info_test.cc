#include "lumoapi/artist/get_artist_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace lumoapi::artist {
namespace {

using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;

TEST(GetArtistInfoTest, SendsArtistAndAllPictures) {
  struct Case {
    std::wstring artist_id;
    std::string sent;
  };
  const Case cases[] = {{L"1483", "1483"}, {L"", ""}, {L"1&all_pic=0", "1&all_pic=0"}};
  for (const Case& c : cases) {
    GetArtistInfo request(c.artist_id);
    EXPECT_EQ(OwnPairs(request.BuildUrl()), (Pairs{{"artistid", c.sent}, {"all_pic", "1"}}));
  }
}

TEST(GetArtistInfoTest, PictureListOrAvatar) {
  struct Case {
    const char* body;
    std::vector<std::wstring> pics;
  };
  const Case cases[] = {
      {R"({"pic_list":[{"url":"a"},{"size":1},{"url":"c"}],"avatar_s1000":"v"})",
       {L"a", L"", L"c"}},
      {R"({"pic_list":[],"avatar_s1000":"v"})", {L"v"}},
      {R"({"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":null,"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":{"url":"a"},"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":[],"avatar_s1000":""})", {}},
      {R"({})", {}},
  };
  for (const Case& c : cases) {
    ScopedFakeTransport transport;
    GetArtistInfo request(L"1");
    ASSERT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_TRUE(request.succeeded) << c.body;
    EXPECT_EQ(request.pics, c.pics) << c.body;
  }
}

}  // namespace
}  // namespace lumoapi::artist
