// The search requests read their answers: suggestions, the merged search's first artist and the
// lyrics lookup, whose plain part travels with an encrypted copy.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>

#include "lumoapi/encryption.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/search/lrcpic.h"
#include "lumoapi/search/search_merge.h"
#include "support/request_harness.h"

namespace lumoapi::search {
namespace {

namespace lt = lumo::testing;

// Each list is read on its own; entries are kept as sent, gaps and repeats included.
TEST(CatalogSugTest, ReadsEachList) {
  const std::pair<const char*, std::wstring> cases[] = {
      {R"({"song":[{"songid":"1","songname":"S1","artistname":"A1"},{"songid":2,"songname":"S2"}],
          "artist":[{"artistid":"9","artistname":"A9","artistpic":"p9"}],
          "album":[{"albumid":"5","albumname":"L5","artistname":"A9","artistpic":"p9"}]})",
       L"S[1|S1|A1]S[2|S2|]A[9|A9|p9]L[5|L5|A9|p9]"},
      {R"({"album":[{"albumid":"1","albumname":"X"},{"albumid":"1","albumname":"X"}]})",
       L"L[1|X||]L[1|X||]"},
      {R"({"song":{"songid":"1"},"artist":[{"artistid":"2"}],"album":null})", L"A[2||]"},
      {R"({"result":{"song":[{"songid":"1"}]}})", L""},
  };
  for (const auto& [body, expected] : cases) {
    lt::ScopedFakeTransport transport;
    CatalogSug request(L"q");
    ASSERT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded) << body;
    std::wstring text;
    for (const auto& s : request.songs) {
      text += L"S[" + s.songid + L"|" + s.songname + L"|" + s.artistname + L"]";
    }
    for (const auto& a : request.artists) {
      text += L"A[" + a.artistid + L"|" + a.artistname + L"|" + a.artistpic + L"]";
    }
    for (const auto& l : request.albums) {
      text +=
          L"L[" + l.albumid + L"|" + l.albumname + L"|" + l.artistname + L"|" + l.artistpic + L"]";
    }
    EXPECT_EQ(text, expected) << body;
  }
}

TEST(SearchMergeTest, TakesFirstArtist) {
  const std::pair<const char*, std::wstring> cases[] = {
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":"7"},{"artist_id":"8"}]}}})", L"7"},
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":42}]}}})", L"42"},
      {R"({"result":{"artist_info":{"artist_list":[{"name":"x"},{"artist_id":"8"}]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":[]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":{"artist_id":"7"}}}})", L""},
      {R"({"result":[{"artist_info":{"artist_list":[{"artist_id":"7"}]}}]})", L""},
  };
  for (const auto& [body, artist_id] : cases) {
    lt::ScopedFakeTransport transport;
    SearchMerge request(L"q");
    ASSERT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded) << body;
    EXPECT_EQ(request.artist_id, artist_id) << body;
  }
}

using Type = Lrcpic::LrcpicRequestTypeEnum;

class LrcpicParams : public Lrcpic {
 public:
  using Lrcpic::BuildParams;
  using Lrcpic::Lrcpic;
};

// query1, query2, type, drop_empty_first, then the "query" and "type" texts as sent.
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
    std::wsmatch parts;
    ASSERT_TRUE(std::regex_match(text, parts, kShape)) << text;
    EXPECT_EQ(parts[1].str(), query) << text;
    EXPECT_EQ(parts[2].str(), type_text) << text;
    EXPECT_EQ(parts[3].str(), encryption::LumoAPIEncryption::Instance().EncryptText(
                                  text.substr(0, text.find(L"&e="))))
        << text;
  }
}

// One "[...]" per item with its nine fields joined by "|".
TEST(LrcpicTest, SingleSongOrList) {
  const std::tuple<Type, const char*, std::wstring> cases[] = {
      {Lrcpic::kSingleSong,
       R"({"songinfo":{"song_id":1,"song_title":"T","author":"A","artist_id":"x","lrclink":"l",
           "pic_radio":"r","pic_s180":"x","avatar_s500":"x"}})",
       L"[1|T|A||l||r||]"},
      {Lrcpic::kSingleSong, R"({"songinfo":{}})", L"[||||||||]"},
      {Lrcpic::kSongList,
       R"({"songinfo":[{"song_id":"1","song_title":"T","author":"A","artist_id":"9",
           "lrclink":"l","pic_s500":"p5","pic_s180":"p1","avatar_s500":"a5",
           "avatar_s180":"a1","pic_radio":"x"},{"song_id":"2"}]})",
       L"[1|T|A|9|l|p5|p1|a5|a1][2||||||||]"},
      {Lrcpic::kSongList, R"({"songinfo":{"song_id":"1"}})", L""},
  };
  for (const auto& [type, body, expected] : cases) {
    lt::ScopedFakeTransport transport;
    Lrcpic request(L"a", L"b", type, false);
    ASSERT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded) << body;
    std::wstring text;
    for (const auto& i : request.items) {
      text += L"[" + i.song_id + L"|" + i.song_title + L"|" + i.author + L"|" + i.artist_id + L"|" +
              i.lrclink + L"|" + i.pic_s500 + L"|" + i.pic_s180 + L"|" + i.avatar_s500 + L"|" +
              i.avatar_s180 + L"]";
    }
    EXPECT_EQ(text, expected) << body;
  }
}

}  // namespace
}  // namespace lumoapi::search
