#include "lumoapi/recommend/get_recommend_songs.h"

#include <gtest/gtest.h>

#include <string>

#include "support/request_harness.h"

namespace lumoapi::recommend {
namespace {

namespace lt = lumo::testing;

// One "[...]" per record: ids, texts, large and small picture, "mv", kind.
TEST(GetRecommendSongsTest, RecordsForEntriesWithSongId) {
  const std::pair<const char*, std::wstring> cases[] = {
      {R"({"result":{"list":[
          {"song_id":"1","title":"T","author":"A","artist_id":9,"album_title":"AT",
           "album_id":"5","pic_huge":"h","pic_small":"s","has_mv":1},
          {"song_id":"0","title":"skipped"},
          {"song_id":3,"pic_big":"b"}]}})",
       L"[1|T|A|9|AT|5|h|s|mv|2][3||||||b|b||2]"},
      {R"({"result":{"list":[{"title":"x"},{"song_id":""},{"song_id":0},{"song_id":null}]}})", L""},
      {R"({"result":{"list":{"song_id":"1"}}})", L""},
      {R"({"result":[{"list":[{"song_id":"1"}]}]})", L""},
  };
  for (const auto& [body, expected] : cases) {
    lt::ScopedFakeTransport transport;
    GetRecommendSongs request(L"1");
    ASSERT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded) << body;
    std::wstring text;
    for (const auto& s : request.songs) {
      text += L"[" + s->song_id + L"|" + s->title + L"|" + s->author + L"|" + s->artist_id + L"|" +
              s->album_title + L"|" + s->album_id + L"|" + s->pic_big + L"|" + s->pic_small +
              (s->has_mv ? L"|mv|" : L"||") + std::to_wstring(s->item_kind) + L"]";
    }
    EXPECT_EQ(text, expected) << body;
  }
}

}  // namespace
}  // namespace lumoapi::recommend
