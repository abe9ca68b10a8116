// The catalogue and radio requests through the real transport to the sandbox: what they send
// arrives as the service reads it, and what it answers fills their results.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "base/string_utils.h"
#include "integration/sandbox_environment.h"
#include "lumoapi/artist/get_artist_info.h"
#include "lumoapi/radio/get_private_radio_songs.h"
#include "lumoapi/radio/get_public_radio_songs.h"
#include "lumoapi/radio/get_scene_songs.h"
#include "lumoapi/radio/radio_play_action.h"
#include "lumoapi/recommend/get_recommend_songs.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/search/lrcpic.h"
#include "lumoapi/search/search_merge.h"
#include "lumoapi/song/get_song_link.h"
#include "lumoapi/splash/get_splash_pic.h"

namespace lumo::integration {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;

const std::wstring kToken = ToUtf16(sandbox::kOrdinaryUserToken);

std::shared_ptr<utilities::SongInfo> Song(const std::wstring& id) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = id;
  return song;
}

TEST(CatalogueIntegrationTest, SongLinkOfAFreeAPaidAndABlockedSong) {
  struct Case {
    const wchar_t* song_id;
    int32_t status;
    bool has_link, has_buy_url, has_tips;
  };
  const Case cases[] = {
      {L"100001", 22000, true, false, false},
      {L"100017", 22469, false, true, false},
      {L"100029", 24003, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.song_id));
    Completion done;
    lumoapi::song::GetSongLink request(Song(c.song_id), false, L"", false, kToken);
    ASSERT_TRUE(done.Run(request));
    EXPECT_EQ(request.status, c.status);
    EXPECT_TRUE(request.succeeded);
    const auto item = request.GetSongInfo();
    EXPECT_EQ(!item.file_link.empty(), c.has_link);
    EXPECT_EQ(!item.buy_url.empty(), c.has_buy_url);
    EXPECT_EQ(!item.tips.empty(), c.has_tips);
  }
  // The full answer: song 100001 offers 128 and 320 kbit/s, and the last file is the one played.
  Completion done;
  lumoapi::song::GetSongLink request(Song(L"100001"), false, L"", false, kToken);
  ASSERT_TRUE(done.Run(request));
  EXPECT_EQ(request.item.best_rate, 1);
  EXPECT_EQ(request.item.file_bitrate, 320);
  EXPECT_EQ(request.item.song_id, L"100001");
}

// Text with the characters that break a query when a layer forgets to encode them.
TEST(CatalogueIntegrationTest, SearchTextArrivesIntact) {
  const std::wstring text = L"Simon & Garfunkel + 周杰伦 #1 =50%";
  struct Case {
    const char* method;
    std::function<std::unique_ptr<lumoapi::RequestBase>()> make;
    std::string expected_query;
  };
  const Case cases[] = {
      {"norda.lumo.search.catalogSug",
       [&] { return std::make_unique<lumoapi::search::CatalogSug>(text); }, ToUtf8(text)},
      {"norda.lumo.search.merge",
       [&] { return std::make_unique<lumoapi::search::SearchMerge>(text); }, ToUtf8(text)},
      {"norda.lumo.search.lrcpic",
       [&] {
         return std::make_unique<lumoapi::search::Lrcpic>(
             text, L"歌手 & Co", lumoapi::search::Lrcpic::kSongList, false);
       },
       ToUtf8(text + L"$$歌手 & Co")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    Completion done;
    std::unique_ptr<lumoapi::RequestBase> request = c.make();
    ASSERT_TRUE(done.Run(*request));
    EXPECT_EQ(request->status, 22000) << ToUtf8(request->response_text);
    const auto entries = Logged(c.method);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().at("params").at("query").as_string(), c.expected_query);
  }
}

TEST(CatalogueIntegrationTest, EveryCatalogueRequestFillsItsResult) {
  {
    Completion done;
    lumoapi::search::CatalogSug request(L"Neon");
    ASSERT_TRUE(done.Run(request));
    ASSERT_FALSE(request.songs.empty());
    EXPECT_EQ(request.songs[0].songid, L"100001");
    EXPECT_FALSE(request.artists.empty());
    EXPECT_FALSE(request.albums.empty());
  }
  {
    Completion done;
    lumoapi::search::SearchMerge request(L"The Neon Tides");
    ASSERT_TRUE(done.Run(request));
    EXPECT_EQ(request.artist_id, L"2069");
  }
  {
    Completion done;
    lumoapi::search::Lrcpic request(L"Neon Letters", L"林子轩",
                                    lumoapi::search::Lrcpic::kSingleSong, false);
    ASSERT_TRUE(done.Run(request));
    ASSERT_EQ(request.items.size(), 1u);
    EXPECT_EQ(request.items[0].song_id, L"100001");
    EXPECT_EQ(request.items[0].lrclink, L"http://lrc.lumo.example/lrc/100001.lrc");
  }
  {
    Completion done;
    lumoapi::artist::GetArtistInfo request(L"2002");
    ASSERT_TRUE(done.Run(request));
    EXPECT_FALSE(request.pics.empty());
  }
  {
    Completion done;
    lumoapi::recommend::GetRecommendSongs request(L"100001");
    ASSERT_TRUE(done.Run(request));
    ASSERT_EQ(request.songs.size(), 20u);
    EXPECT_EQ(request.songs[0]->item_kind, 2);
    EXPECT_FALSE(request.songs[0]->title.empty());
  }
  {
    Completion done;
    lumoapi::splash::GetSplashPic request;
    ASSERT_TRUE(done.Run(request));
    EXPECT_EQ(request.pic, L"http://img.lumo.example/splash/winter-2026.jpg");
  }
}

TEST(RadioIntegrationTest, EveryRadioRequestGetsABatchOfSongs) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<lumoapi::RequestBase>()> make;
    std::function<const std::vector<std::wstring>&(lumoapi::RequestBase&)> ids;
  };
  using namespace lumoapi::radio;
  const Case cases[] = {
      {"public channel", [] { return std::make_unique<GetPublicRadioSongs>(L"Rock & Roll"); },
       [](auto& r) -> const auto& {return static_cast<GetPublicRadioSongs&>(r).song_ids;
}
}  // namespace
, {"private radio", [] { return std::make_unique<GetPrivateRadioSongs>(L"lin.mei", kToken); },
   [](auto& r) -> const auto& {return static_cast<GetPrivateRadioSongs&>(r).song_ids;
}  // namespace lumo::integration
}
, {"scene", [] { return std::make_unique<GetSceneSongs>(L"4"); },
   [](auto& r) -> const auto& {return static_cast<GetSceneSongs&>(r).song_ids;
}
}
, {"play action",
   [] {
     auto action = std::make_unique<RadioPlayAction>(kToken);
     action->ch_name = L"Jazz Café";
     action->item_id = L"100003";
     action->action_no = 2;
     return action;
   },
   [](auto& r) -> const auto& {return static_cast<RadioPlayAction&>(r).song_ids;
}
}
,
}
;
for (const Case& c : cases) {
  SCOPED_TRACE(c.name);
  Completion done;
  std::unique_ptr<lumoapi::RequestBase> request = c.make();
  ASSERT_TRUE(done.Run(*request));
  EXPECT_EQ(request->status, 22000) << ToUtf8(request->response_text);
  // Ten each; the play action's answer holds twelve and the request keeps ten.
  EXPECT_EQ(c.ids(*request).size(), 10u);
}
}

}  // namespace
}  // namespace lumo::integration
