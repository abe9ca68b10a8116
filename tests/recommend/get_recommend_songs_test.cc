#include "lumoapi/recommend/get_recommend_songs.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace lumoapi::recommend {
namespace {

using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::QueryPairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;
using lumo::testing::ValueOf;

// One "[...]" per record: id, title, author, artist, album title, album id, large and small
// picture, "mv" when it has a video, and the kind.
std::wstring Summary(const GetRecommendSongs& request) {
  std::wstring text;
  for (const auto& s : request.songs) {
    text += L"[" + s->song_id + L"|" + s->title + L"|" + s->author + L"|" + s->artist_id + L"|" +
            s->album_title + L"|" + s->album_id + L"|" + s->pic_big + L"|" + s->pic_small +
            (s->has_mv ? L"|mv|" : L"||") + std::to_wstring(s->item_kind) + L"]";
  }
  return text;
}

TEST(GetRecommendSongsTest, SendsSongAndFixedCount) {
  struct Case {
    std::wstring song_id;
    std::string sent;
  };
  const Case cases[] = {{L"877578", "877578"}, {L"", ""}, {L"1&num=5", "1&num=5"}};
  for (const Case& c : cases) {
    GetRecommendSongs request(c.song_id);
    const std::wstring url = request.BuildUrl();
    EXPECT_EQ(ValueOf(QueryPairs(url), "method"), "norda.lumo.song.getRecommandSongList");
    EXPECT_EQ(OwnPairs(url), (Pairs{{"song_id", c.sent}, {"num", "20"}}));
  }
}

TEST(GetRecommendSongsTest, MakesRecordsForUsableEntries) {
  struct Case {
    const char* body;
    std::wstring summary;
  };
  const Case cases[] = {
      {R"({"result":{"list":[
          {"song_id":"1","title":"T","author":"A","artist_id":9,"album_title":"AT",
           "album_id":"5","pic_huge":"h","pic_small":"s","has_mv":1},
          {"song_id":"0","title":"skipped"},
          {"song_id":3,"pic_big":"b","has_mv":false}]}})",
       L"[1|T|A|9|AT|5|h|s|mv|2][3||||||b|b||2]"},
      {R"({"result":{"list":[{"title":"no id"},{"song_id":""},{"song_id":0},{"song_id":null}]}})",
       L""},
      {R"({"result":{"list":[{"song_id":"7","pic_premium":"p","pic_big":"b"}]}})",
       L"[7||||||p|b||2]"},
      {R"({"result":{"list":{"song_id":"1"}}})", L""},
      {R"({"result":[{"list":[{"song_id":"1"}]}]})", L""},
      {R"({"list":[{"song_id":"1"}]})", L""},
  };
  for (const Case& c : cases) {
    ScopedFakeTransport transport;
    GetRecommendSongs request(L"1");
    ASSERT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_TRUE(request.succeeded) << c.body;
    EXPECT_EQ(Summary(request), c.summary) << c.body;
  }
}

}  // namespace
}  // namespace lumoapi::recommend
