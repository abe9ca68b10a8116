// The catalogue and radio requests through the real transport to the sandbox: the sandbox takes
// what they send (the exact bytes are pinned by the parameters test), and what it answers fills
// their results.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

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
}

TEST(CatalogueIntegrationTest, EveryCatalogueRequestFillsItsResult) {
  Completion done[6];
  lumoapi::search::CatalogSug suggest(L"Neon");
  lumoapi::search::SearchMerge merge(L"The Neon Tides");
  lumoapi::search::Lrcpic lyrics(L"Neon Letters", L"林子轩", lumoapi::search::Lrcpic::kSingleSong,
                                 false);
  lumoapi::artist::GetArtistInfo artist(L"2002");
  lumoapi::recommend::GetRecommendSongs recommend(L"100001");
  lumoapi::splash::GetSplashPic splash;
  lumoapi::RequestBase* const requests[] = {&suggest, &merge,     &lyrics,
                                            &artist,  &recommend, &splash};
  for (size_t i = 0; i < std::size(requests); ++i) ASSERT_TRUE(done[i].Run(*requests[i])) << i;

  ASSERT_FALSE(suggest.songs.empty());
  EXPECT_EQ(suggest.songs[0].songid, L"100001");
  EXPECT_EQ(merge.artist_id, L"2069");
  ASSERT_EQ(lyrics.items.size(), 1u);
  EXPECT_EQ(lyrics.items[0].lrclink, L"http://lrc.lumo.example/lrc/100001.lrc");
  // All pictures, not the avatar the request falls back to when the list is empty.
  EXPECT_EQ(artist.pics,
            std::vector<std::wstring>{L"http://img.lumo.example/artist/2002/1000.jpg?v=1"});
  ASSERT_EQ(recommend.songs.size(), 20u);
  EXPECT_EQ(splash.pic, L"http://img.lumo.example/splash/winter-2026.jpg");
}

TEST(RadioIntegrationTest, EveryRadioRequestGetsABatchOfSongs) {
  using namespace lumoapi::radio;
  Completion done[4];
  GetPublicRadioSongs channel(L"Rock & Roll");
  GetPrivateRadioSongs personal(L"lin.mei", kToken);
  GetSceneSongs scene(L"4");
  RadioPlayAction action(kToken);
  action.ch_name = L"Jazz Café";
  action.item_id = L"100003";
  action.action_no = 2;
  const std::pair<lumoapi::RequestBase*, const std::vector<std::wstring>*> cases[] = {
      {&channel, &channel.song_ids},
      {&personal, &personal.song_ids},
      {&scene, &scene.song_ids},
      {&action, &action.song_ids},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(done[i].Run(*cases[i].first));
    EXPECT_EQ(cases[i].first->status, 22000) << ToUtf8(cases[i].first->response_text);
    // Ten each; the play action's answer holds twelve and the request keeps ten.
    EXPECT_EQ(cases[i].second->size(), 10u);
  }
}

}  // namespace
}  // namespace lumo::integration
