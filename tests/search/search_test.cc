// The search requests: every field of the suggestion and lyrics records from its own key, each
// suggestion list on its own, the merged search's artist, and the lyrics request's address and
// lists.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/search/lrcpic.h"
#include "lumoapi/search/search_merge.h"
#include "sandbox/address_form.h"
#include "support/answered.h"
#include "support/record_fields.h"

namespace lumo::testing {

using SongSugItem = lumoapi::search::CatalogSug::SongSugItem;
using ArtistSugItem = lumoapi::search::CatalogSug::ArtistSugItem;
using AlbumSugItem = lumoapi::search::CatalogSug::AlbumSugItem;
using LrcpicItem = lumoapi::search::Lrcpic::LrcpicItem;

LUMO_FIELDS_OF(SongSugItem, LUMO_FIELD(songid), LUMO_FIELD(songname), LUMO_FIELD(artistname))
LUMO_FIELDS_OF(ArtistSugItem, LUMO_FIELD(artistid), LUMO_FIELD(artistname), LUMO_FIELD(artistpic))
LUMO_FIELDS_OF(AlbumSugItem, LUMO_FIELD(albumid), LUMO_FIELD(albumname), LUMO_FIELD(artistname),
               LUMO_FIELD(artistpic))
LUMO_FIELDS_OF(LrcpicItem, LUMO_FIELD(song_id), LUMO_FIELD(song_title), LUMO_FIELD(author),
               LUMO_FIELD(artist_id), LUMO_FIELD(lrclink), LUMO_FIELD(pic_s500),
               LUMO_FIELD(pic_s180), LUMO_FIELD(avatar_s500), LUMO_FIELD(avatar_s180))
// The host's record holds its files too, which no answer fills.

}  // namespace lumo::testing

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;
using lt::Describe;
using lt::ExpectRecord;
using lt::Is;
using lt::RecordRow;
using lt::TheOne;

TEST(RecordReadersTest, SearchFieldsFromTheirOwnKeys) {
  // Where one reader's answer could carry another reader's keys, it does ("x"), so that a reader
  // that takes one of them shows.
  const std::string suggestions =
      R"({"song":[{"songid":"song-1","songname":"name-2","artistname":"artist-3",
          "artistid":"x","albumname":"x"}],
          "artist":[{"artistid":"artist-4","artistname":"artist-5","artistpic":"pic-6",
          "songid":"x"}],
          "album":[{"albumid":"album-7","albumname":"name-8","artistname":"artist-9",
          "artistpic":"pic-10","artistid":"x"}]})";
  const std::string lyrics_song =
      R"({"songinfo":{"song_id":"id-1","song_title":"title-2","author":"author-3",
          "artist_id":"x","lrclink":"lrc-4","pic_radio":"radio-5","pic_s500":"x",
          "pic_s180":"x","avatar_s500":"x","avatar_s180":"x"}})";
  const std::string lyrics_list =
      R"({"songinfo":[{"song_id":"id-11","song_title":"title-12","author":"author-13",
          "artist_id":"artist-14","lrclink":"lrc-15","pic_s500":"pic500-16",
          "pic_s180":"pic180-17","avatar_s500":"avatar500-18","avatar_s180":"avatar180-19",
          "pic_radio":"x"}]})";

  const RecordRow rows[] = {
      {"suggested song",
       TheOne(Answered<search::CatalogSug>(suggestions, L"q")->songs),
       {Is("songid", L"song-1"), Is("songname", L"name-2"), Is("artistname", L"artist-3")}},
      {"suggested artist",
       TheOne(Answered<search::CatalogSug>(suggestions, L"q")->artists),
       {Is("artistid", L"artist-4"), Is("artistname", L"artist-5"), Is("artistpic", L"pic-6")}},
      {"suggested album",
       TheOne(Answered<search::CatalogSug>(suggestions, L"q")->albums),
       {Is("albumid", L"album-7"), Is("albumname", L"name-8"), Is("artistname", L"artist-9"),
        Is("artistpic", L"pic-10")}},
      {"lyrics of one song",
       TheOne(Answered<search::Lrcpic>(lyrics_song, L"a", L"b", search::Lrcpic::kSingleSong, false)
                  ->items),
       {Is("song_id", L"id-1"), Is("song_title", L"title-2"), Is("author", L"author-3"),
        Is("lrclink", L"lrc-4"), Is("pic_s180", L"radio-5")}},
      {"lyrics list entry",
       TheOne(Answered<search::Lrcpic>(lyrics_list, L"a", L"b", search::Lrcpic::kSongList, false)
                  ->items),
       {Is("song_id", L"id-11"), Is("song_title", L"title-12"), Is("author", L"author-13"),
        Is("artist_id", L"artist-14"), Is("lrclink", L"lrc-15"), Is("pic_s500", L"pic500-16"),
        Is("pic_s180", L"pic180-17"), Is("avatar_s500", L"avatar500-18"),
        Is("avatar_s180", L"avatar180-19")}},
  };
  for (const RecordRow& row : rows) ExpectRecord(row);
}

// --- Search -------------------------------------------------------------------------------------

using search::Lrcpic;

// Each list is read on its own; entries are kept as sent, repeats included. (songs, artists,
// albums)
TEST(CatalogSugTest, ReadsEachList) {
  const std::pair<const char*, std::tuple<size_t, size_t, size_t>> cases[] = {
      {R"({"song":[{"songid":"1"},{}],"artist":[],"album":[{"albumid":"1"}]})", {2, 0, 1}},
      {R"({"album":[{"albumid":"1","albumname":"X"},{"albumid":"1","albumname":"X"}]})", {0, 0, 2}},
      {R"({"song":{"songid":"1"},"artist":[{"artistid":"2"}],"album":null})", {0, 1, 0}},
      {R"({"result":{"song":[{"songid":"1"}]}})", {0, 0, 0}},
  };
  for (const auto& [body, sizes] : cases) {
    const auto request = Answered<search::CatalogSug>(body, L"q");
    EXPECT_TRUE(request->succeeded) << body;
    EXPECT_EQ(
        std::make_tuple(request->songs.size(), request->artists.size(), request->albums.size()),
        sizes)
        << body;
  }
}

TEST(SearchMergeTest, TakesFirstArtist) {
  const std::pair<const char*, std::wstring> cases[] = {
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":"7"},{"artist_id":"8"}]}}})", L"7"},
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":42}]}}})", L"42"},
      {R"({"result":{"artist_info":{"artist_list":[{"name":"x"},{"artist_id":"8"}]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":[]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":{"artist_id":"7"}}}})", L""},
  };
  for (const auto& [body, artist_id] : cases) {
    const auto request = Answered<search::SearchMerge>(body, L"q");
    EXPECT_TRUE(request->succeeded) << body;
    EXPECT_EQ(request->artist_id, artist_id) << body;
  }
}

using Type = Lrcpic::LrcpicRequestTypeEnum;

class LrcpicParams : public Lrcpic {
 public:
  using Lrcpic::BuildParams;
  using Lrcpic::Lrcpic;
};

// query1, query2, type, drop_empty_first, then the "query" and "type" texts as sent. The
// encrypted copy is checked against the service's own cipher, which shares no code with the
// library's.
TEST(LrcpicTest, PlainPartThenItsEncryptedCopy) {
  const std::tuple<std::wstring, std::wstring, Type, bool, std::wstring, std::wstring> cases[] = {
      {L"T", L"A", Lrcpic::kSingleSong, true, L"T$$A", L"1"},
      {L"", L"A", Lrcpic::kSongList, true, L"A", L"2"},
      {L"", L"A", Lrcpic::kSongList, false, L"$$A", L"2"},
      {L"T", L"", Lrcpic::kSongList, true, L"T$$", L"2"},
      {L"a&b c", L"x=y+z/晴", static_cast<Type>(7), false, L"a%26b%20c$$x%3Dy%2Bz%2F%E6%99%B4",
       L"7"},
  };
  const std::wregex kShape(L"query=([^&]*)&ts=[0-9]+&type=([0-9]+)&e=(.+)");
  for (const auto& [query1, query2, type, drop, query, type_text] : cases) {
    const std::wstring text = LrcpicParams(query1, query2, type, drop).BuildParams();
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(text, match, kShape)) << text;
    EXPECT_EQ(match[1].str(), query) << text;
    EXPECT_EQ(match[2].str(), type_text) << text;
    const std::string encrypted = base::string_utils::ToUtf8(match[3].str());
    EXPECT_EQ(encrypted.find_first_of("+/="), std::string::npos) << text;
    EXPECT_EQ(lt::SplitQuery("e=" + encrypted)[0].second,
              lumo::sandbox::EncryptLyricsValue(
                  base::string_utils::ToUtf8(text.substr(0, text.find(L"&e=")))))
        << text;
  }
}

// Every list entry is kept; a single song is one record even when nothing matched.
TEST(LrcpicTest, SingleSongOrList) {
  const std::tuple<Type, const char*, size_t> cases[] = {
      {Lrcpic::kSingleSong, R"({"songinfo":{}})", 1},
      {Lrcpic::kSingleSong, R"({"songinfo":[{"song_id":"1"}]})", 1},
      {Lrcpic::kSongList, R"({"songinfo":[{"song_id":"1"},{}]})", 2},
      {Lrcpic::kSongList, R"({"songinfo":{"song_id":"1"}})", 0},
  };
  for (const auto& [type, body, count] : cases) {
    const auto request = Answered<Lrcpic>(body, L"a", L"b", type, false);
    EXPECT_TRUE(request->succeeded) << body;
    EXPECT_EQ(request->items.size(), count) << body;
  }
}

}  // namespace
}  // namespace lumoapi
