// The favourite requests and tasks through the real transport to the sandbox: every favourite and
// collected song of the large seed user gathered once, hearts set and cleared, and the refusals of
// a song that must be bought, one that is blocked and one that is a favourite already.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "integration/sandbox_environment.h"
#include "lumoapi/favorite/add_song_favorite.h"
#include "lumoapi/favorite/add_song_favorites.h"
#include "lumoapi/favorite/del_collect_song.h"
#include "lumoapi/favorite/del_song_favorites.h"
#include "lumoapi/favorite/get_all_collect_songs.h"
#include "lumoapi/favorite/get_all_favorite_songs.h"

namespace lumo::integration {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;
using Ids = std::vector<std::wstring>;
namespace favorite = lumoapi::favorite;

const std::wstring kOrdinary = ToUtf16(sandbox::kOrdinaryUserToken);

// The ids a gathering task brings for `token`, in order.
template <class Task>
Ids Gather(const std::wstring& token) {
  Completion done;
  Task task(token);
  EXPECT_TRUE(done.Run(task));
  EXPECT_EQ(done.count(), 1);
  EXPECT_TRUE(task._GetSucceeded()) << task._GetStatus();
  Ids ids;
  for (const auto& song : task.songs) ids.push_back(song.song_id);
  return ids;
}

bool Has(const Ids& ids, const std::wstring& id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

class FavoriteIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSandbox(); }
};

TEST_F(FavoriteIntegrationTest, GathersEveryFavouriteAndCollectedSongOnce) {
  const std::pair<Ids, const char*> cases[] = {
      {Gather<favorite::GetAllFavoriteSongs>(ToUtf16(sandbox::kBigUserToken)),
       "norda.lumo.favorite.getFavoriteSong"},
      {Gather<favorite::GetAllCollectSongs>(ToUtf16(sandbox::kBigUserToken)),
       "norda.lumo.favorite.getCollectSong"},
  };
  for (const auto& [ids, method] : cases) {
    // The "total" the sandbox itself reports.
    const auto answer = SandboxClient().Get(sandbox::testing::PlainTarget(
        method, {{"kwtok", sandbox::kBigUserToken}, {"pn", "0"}, {"rn", "1"}}));
    ASSERT_EQ(answer.error_code(), 22000) << answer.body;
    EXPECT_EQ(static_cast<int>(ids.size()),
              sandbox::testing::At(answer.json, {"total"}).as_integer())
        << method;
    EXPECT_EQ(std::set<std::wstring>(ids.begin(), ids.end()).size(), ids.size()) << method;
  }
  EXPECT_EQ(cases[0].first.size(), 2400u);
  EXPECT_EQ(cases[1].first.size(), 1500u);
}

TEST_F(FavoriteIntegrationTest, HeartsSetAndCleared) {
  const Ids added = {L"100050", L"100061", L"100062"};
  favorite::AddSongFavorite one(kOrdinary, added[0], 1700000000);
  RunOk(one);
  favorite::AddSongFavorites several(kOrdinary, {added[1], added[2], L"100017"});
  RunOk(several);
  EXPECT_EQ(several.added_ids, (Ids{added[1], added[2]}));  // the paid song is skipped
  Ids now = Gather<favorite::GetAllFavoriteSongs>(kOrdinary);
  for (const std::wstring& id : added) EXPECT_TRUE(Has(now, id)) << ToUtf8(id);

  favorite::DelSongFavorites removed(kOrdinary, added);
  RunOk(removed);
  now = Gather<favorite::GetAllFavoriteSongs>(kOrdinary);
  for (const std::wstring& id : added) EXPECT_FALSE(Has(now, id)) << ToUtf8(id);

  const Ids collected = Gather<favorite::GetAllCollectSongs>(kOrdinary);
  ASSERT_FALSE(collected.empty());
  favorite::DelCollectSong uncollected(kOrdinary, {collected.front()});
  RunOk(uncollected);
  const Ids again = Gather<favorite::GetAllCollectSongs>(kOrdinary);
  EXPECT_EQ(again.size(), collected.size() - 1);
  EXPECT_FALSE(Has(again, collected.front()));
}

TEST_F(FavoriteIntegrationTest, RefusalsReachTheHostWithWhatTheServiceSaid) {
  favorite::AddSongFavorite first(kOrdinary, L"100060", 0);
  RunOk(first);
  struct Case {
    const wchar_t* song_id;
    int32_t status;
    bool succeeded;
    bool has_buy_url;
    bool has_tips;
  };
  const Case cases[] = {
      {L"100060", 22322, true, false, false},  // a favourite already
      {L"100017", 22469, false, true, false},  // must be bought
      {L"100029", 24003, false, false, true},  // blocked
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.song_id));
    Completion done;
    favorite::AddSongFavorite add(kOrdinary, c.song_id, 0);
    ASSERT_TRUE(done.Run(add));
    EXPECT_EQ(add.status, c.status);
    EXPECT_EQ(add.succeeded, c.succeeded);
    const auto item = add.GetSongInfo();
    EXPECT_EQ(!item.buy_url.empty(), c.has_buy_url);
    EXPECT_EQ(!item.tips.empty(), c.has_tips);
    if (c.has_buy_url) {
      EXPECT_EQ(item.song_id, c.song_id);
    }
  }
  EXPECT_FALSE(Has(Gather<favorite::GetAllFavoriteSongs>(kOrdinary), L"100017"));
}

}  // namespace
}  // namespace lumo::integration
