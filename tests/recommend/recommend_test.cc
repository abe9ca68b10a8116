// The recommendation request: every field of a recommended song from its own key, and which
// entries make records.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lumoapi/recommend/get_recommend_songs.h"
#include "support/answered.h"
#include "support/record_fields.h"
#include "utilities/song_info.h"

namespace lumo::testing {

LUMO_FIELDS_OF(utilities::SongInfo, LUMO_FIELD(song_id), LUMO_FIELD(title), LUMO_FIELD(author),
               LUMO_FIELD(artist_id), LUMO_FIELD(album_title), LUMO_FIELD(album_id),
               LUMO_FIELD(pic_big), LUMO_FIELD(pic_small), LUMO_FIELD(item_kind),
               LUMO_FIELD(has_mv), LUMO_FIELD(lebo))

}  // namespace lumo::testing

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;
using lt::Describe;
using lt::ExpectRecord;
using lt::Fields;
using lt::Is;
using lt::RecordRow;
using lt::TheOne;
using Ids = std::vector<std::wstring>;

TEST(RecordReadersTest, RecommendedSongFieldsFromTheirOwnKeys) {
  // Where one reader's answer could carry another reader's keys, it does ("x"), so that a reader
  // that takes one of them shows.
  const std::string recommended =
      R"({"result":{"list":[{"song_id":"id-1","title":"title-2","author":"author-3",
          "artist_id":"artist-4","album_title":"album-5","album_id":"album-id-6",
          "pic_huge":"huge-7","pic_small":"small-8","has_mv":1,"item_kind":9,"lebo":1}]}})";

  const RecordRow rows[] = {
      {"recommended song",
       [&] {
         const auto request = Answered<recommend::GetRecommendSongs>(recommended, L"1");
         return request->songs.size() == 1 ? Describe(*request->songs[0]) : Fields();
       }(),
       {Is("song_id", L"id-1"), Is("title", L"title-2"), Is("author", L"author-3"),
        Is("artist_id", L"artist-4"), Is("album_title", L"album-5"), Is("album_id", L"album-id-6"),
        Is("pic_big", L"huge-7"), Is("pic_small", L"small-8"), Is("item_kind", 2),
        Is("has_mv", true)}},
  };
  for (const RecordRow& row : rows) ExpectRecord(row);
}

// Only entries with a song id make records.
TEST(GetRecommendSongsTest, RecordsForEntriesWithSongId) {
  const std::pair<const char*, Ids> cases[] = {
      {R"({"result":{"list":[{"song_id":"1"},{"song_id":"0","title":"skipped"},{"song_id":3}]}})",
       {L"1", L"3"}},
      {R"({"result":{"list":[{"title":"x"},{"song_id":""},{"song_id":0},{"song_id":null}]}})", {}},
      {R"({"result":{"list":{"song_id":"1"}}})", {}},
  };
  for (const auto& [body, song_ids] : cases) {
    const auto request = Answered<recommend::GetRecommendSongs>(body, L"1");
    EXPECT_TRUE(request->succeeded) << body;
    Ids read;
    for (const auto& song : request->songs) read.push_back(song->song_id);
    EXPECT_EQ(read, song_ids) << body;
  }
}

}  // namespace
}  // namespace lumoapi
