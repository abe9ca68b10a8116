// The favourite requests and tasks through the real transport to the sandbox: every favourite and
// collected song of the large seed user gathered once, hearts set and cleared, and the refusals of
// a song that must be bought, one that is blocked and one that is a favourite already.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "integration/sandbox_environment.h"
#include "lumoapi/favorite/add_song_favorite.h"
#include "lumoapi/favorite/add_song_favorites.h"
#include "lumoapi/favorite/del_collect_song.h"
#include "lumoapi/favorite/del_song_favorites.h"
#include "lumoapi/favorite/get_all_collect_songs.h"
#include "lumoapi/favorite/get_all_favorite_songs.h"
#include "lumoapi/favorite/get_favorite_song.h"

namespace lumo::integration {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;
using Ids = std::vector<std::wstring>;
namespace favorite = lumoapi::favorite;

const std::wstring kOrdinary = ToUtf16(sandbox::kOrdinaryUserToken);
const std::wstring kBig = ToUtf16(sandbox::kBigUserToken);

// Receives the own `completed` of GetAllFavoriteSongs, which is no RequestRoot.
class Ended : public sigslot::has_slots<sigslot::single_threaded> {
 public:
  void OnCompleted() { ++count; }
  std::atomic<int> count{0};
};

// The "total" the sandbox itself reports for the user's favourite or collected songs.
int SandboxTotal(const std::string& method, const char* token) {
  sandbox::testing::Client client(SandboxEnvironment::port());
  const auto answer = client.Get(
      sandbox::testing::PlainTarget(method, {{"kwtok", token}, {"pn", "0"}, {"rn", "1"}}));
  EXPECT_EQ(answer.error_code(), 22000) << answer.body;
  return answer.json.at("total").as_integer();
}

template <class Songs>
std::set<std::wstring> DistinctIds(const Songs& songs) {
  std::set<std::wstring> ids;
  for (const auto& song : songs) ids.insert(song.song_id);
  return ids;
}

Ids Favourites(const std::wstring& token) {
  Ended ended;
  favorite::GetAllFavoriteSongs task(token);
  task.completed.connect(&ended, &Ended::OnCompleted);
  task.BeginRequest();
  EXPECT_TRUE(base::thread::UiLoop::Instance().RunUntil([&] { return ended.count > 0; },
                                                        std::chrono::seconds(60)));
  EXPECT_EQ(ended.count, 1);
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
  const Ids favourites = Favourites(kBig);
  EXPECT_EQ(favourites.size(), 2400u);
  EXPECT_EQ(static_cast<int>(favourites.size()),
            SandboxTotal("norda.lumo.favorite.getFavoriteSong", sandbox::kBigUserToken));
  EXPECT_EQ(std::set<std::wstring>(favourites.begin(), favourites.end()).size(), 2400u);

  Completion done;
  favorite::GetAllCollectSongs collected(kBig);
  done.Watch(collected);
  collected.BeginRequest();
  ASSERT_TRUE(done.WaitFor(1));
  EXPECT_TRUE(collected._GetSucceeded()) << collected._GetStatus();
  EXPECT_EQ(collected.songs.size(), 1500u);
  EXPECT_EQ(static_cast<int>(collected.songs.size()),
            SandboxTotal("norda.lumo.favorite.getCollectSong", sandbox::kBigUserToken));
  EXPECT_EQ(DistinctIds(collected.songs).size(), 1500u);
}

TEST_F(FavoriteIntegrationTest, HeartsSetAndCleared) {
  Completion done[5];
  favorite::AddSongFavorite one(kOrdinary, L"100050", 1700000000);
  ASSERT_TRUE(done[0].Run(one));
  EXPECT_TRUE(one.succeeded) << one.status;
  favorite::AddSongFavorites several(kOrdinary, {L"100061", L"100062", L"100017"});
  ASSERT_TRUE(done[1].Run(several));
  EXPECT_EQ(several.added_ids, (Ids{L"100061", L"100062"}));  // the paid song is skipped
  Ids now = Favourites(kOrdinary);
  for (const wchar_t* id : {L"100050", L"100061", L"100062"}) EXPECT_TRUE(Has(now, id)) << id;

  favorite::DelSongFavorites removed(kOrdinary, {L"100050", L"100061", L"100062"});
  ASSERT_TRUE(done[2].Run(removed));
  EXPECT_TRUE(removed.succeeded) << removed.status;
  now = Favourites(kOrdinary);
  for (const wchar_t* id : {L"100050", L"100061", L"100062"}) EXPECT_FALSE(Has(now, id)) << id;

  Completion collected_done;
  favorite::GetAllCollectSongs collected(kOrdinary);
  collected_done.Watch(collected);
  collected.BeginRequest();
  ASSERT_TRUE(collected_done.WaitFor(1));
  ASSERT_FALSE(collected.songs.empty());
  const std::wstring first = collected.songs.front().song_id;
  favorite::DelCollectSong uncollected(kOrdinary, {first});
  ASSERT_TRUE(done[3].Run(uncollected));
  EXPECT_TRUE(uncollected.succeeded) << uncollected.status;
  favorite::GetAllCollectSongs again(kOrdinary);
  Completion again_done;
  again_done.Watch(again);
  again.BeginRequest();
  ASSERT_TRUE(again_done.WaitFor(1));
  EXPECT_EQ(again.songs.size(), collected.songs.size() - 1);
  EXPECT_EQ(DistinctIds(again.songs).count(first), 0u);
}

TEST_F(FavoriteIntegrationTest, RefusalsReachTheHostWithWhatTheServiceSaid) {
  Completion first_done;
  favorite::AddSongFavorite first(kOrdinary, L"100060", 0);
  ASSERT_TRUE(first_done.Run(first));
  ASSERT_TRUE(first.succeeded);

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
  EXPECT_FALSE(Has(Favourites(kOrdinary), L"100017"));
}

}  // namespace
}  // namespace lumo::integration
