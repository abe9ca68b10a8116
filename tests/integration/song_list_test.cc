// The song-list requests and tasks through the real transport to the sandbox: gathering tasks
// bring every list and every song exactly once, and each edit a player makes is visible in the
// next read, with texts arriving and coming back as typed.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "integration/sandbox_environment.h"
#include "lumoapi/diy/add_favorite_song_list.h"
#include "lumoapi/diy/add_list.h"
#include "lumoapi/diy/add_list_song.h"
#include "lumoapi/diy/add_ugc_song_list_at_once.h"
#include "lumoapi/diy/cancel_favorite_song_list.h"
#include "lumoapi/diy/del_list.h"
#include "lumoapi/diy/del_list_song.h"
#include "lumoapi/diy/get_album_info.h"
#include "lumoapi/diy/get_all_playlist_songs.h"
#include "lumoapi/diy/get_all_playlists.h"
#include "lumoapi/diy/get_channels.h"
#include "lumoapi/diy/get_comment_list.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/diy/sort_song_list_songs.h"
#include "lumoapi/diy/up_list.h"
#include "support/page_answering.h"
#include "support/ui_test_util.h"

namespace lumo::integration {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;
using sandbox::testing::At;
using Ids = std::vector<std::wstring>;
namespace diy = lumoapi::diy;

const std::wstring kOrdinary = ToUtf16(sandbox::kOrdinaryUserToken);
const std::wstring kBig = ToUtf16(sandbox::kBigUserToken);

// The sandbox's own answer to a song-list method, asked with the sandbox tests' client.
web::json::value AskSandbox(const std::string& method, const sandbox::testing::Params& params,
                            const std::string& token) {
  const auto answer = SandboxClient().Get(sandbox::testing::EncryptedTarget(method, params), token);
  EXPECT_EQ(answer.error_code(), 22000) << answer.body;
  return answer.json;
}

std::vector<diy::PlayListItem> AllLists(const std::wstring& token, int kind) {
  lumo::testing::EndProbe end;
  diy::GetAllPlayLists task(token, kind);
  task.task_completed.connect(&end, &lumo::testing::EndProbe::OnTaskCompleted);
  task.BeginRequest();
  EXPECT_TRUE(lumo::testing::RunUiUntil([&] { return end.count > 0; }, std::chrono::seconds(30)));
  EXPECT_EQ(end.count, 1);
  EXPECT_TRUE(task._GetSucceeded());
  return task.lists;
}

// Every song of a list, gathered by the task.
std::vector<diy::PlayListSong> AllSongs(const std::wstring& token, const std::wstring& list_id,
                                        diy::PlayListInfo* info = nullptr) {
  Completion done;
  diy::GetAllPlayListSongs task(token, list_id);
  EXPECT_TRUE(done.Run(task));
  EXPECT_TRUE(task._GetSucceeded()) << task._GetStatus();
  if (info) *info = task.info;
  return task.songs;
}

Ids IdsOf(const std::vector<diy::PlayListSong>& songs) {
  Ids ids;
  for (const auto& song : songs) ids.push_back(song.song_id);
  return ids;
}

class SongListIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSandbox(); }
};

// Each kind of list, and the songs of the largest list, each once and as many as the sandbox
// counts: more than one page of each.
TEST_F(SongListIntegrationTest, GathersEveryListAndEverySongOnce) {
  static constexpr const char* kSelectors[][2] = {{"0", "10"}, {"0", "0"}, {"1", "0"}};
  std::wstring largest;
  for (int kind : {0, 1, 2}) {
    SCOPED_TRACE(kind);
    const std::vector<diy::PlayListItem> lists = AllLists(kBig, kind);
    const web::json::value count = AskSandbox(
        "norda.lumo.ugcdiy.userList",
        {{"offset", "0"}, {"source", kSelectors[kind][0]}, {"type", kSelectors[kind][1]}},
        sandbox::kBigUserToken);
    const size_t listnum = At(count, {"result", "listnum"}).as_integer();
    EXPECT_GT(listnum, 50u);
    EXPECT_EQ(lists.size(), listnum);
    std::set<std::wstring> ids;
    for (const auto& list : lists) {
      ids.insert(list.list_id);
      if (kind == 0 && list.song_num == 500) largest = list.list_id;
    }
    EXPECT_EQ(ids.size(), lists.size());
  }
  ASSERT_FALSE(largest.empty());
  const Ids ids = IdsOf(AllSongs(kBig, largest));
  EXPECT_EQ(ids.size(), 500u);
  EXPECT_EQ(std::set<std::wstring>(ids.begin(), ids.end()).size(), 500u);
}

// A list's life as a player drives it; each step is checked in the next read.
TEST_F(SongListIntegrationTest, CreateFillSortEditMarkAndDeleteAList) {
  const std::wstring title = L"Road & trip = 1+1 周末";
  diy::AddList created(kOrdinary, title, 0);
  RunOk(created);
  EXPECT_EQ(created.title, title);
  const std::wstring list_id = created.list_id;
  ASSERT_FALSE(list_id.empty());

  diy::AddListSong added(kOrdinary, list_id, {L"100001", L"100002", L"100003", L"100004"}, L"");
  RunOk(added);
  EXPECT_EQ(IdsOf(AllSongs(kOrdinary, list_id)), (Ids{L"100001", L"100002", L"100003", L"100004"}));

  diy::SortSongListSongs sorted(kOrdinary, list_id, {L"100004", L"100003", L"100002", L"100001"});
  RunOk(sorted);
  EXPECT_EQ(IdsOf(AllSongs(kOrdinary, list_id)), (Ids{L"100004", L"100003", L"100002", L"100001"}));

  diy::DelListSong removed(kOrdinary, list_id, {L"100003", L"100001"});
  RunOk(removed);
  EXPECT_EQ(IdsOf(AllSongs(kOrdinary, list_id)), (Ids{L"100004", L"100002"}));

  const std::wstring new_title = L"Nights & days=2 +周";
  const std::wstring description = L"for the road: 100% & more = joy 的";
  diy::UpList edited(kOrdinary, list_id, new_title, description, L"pop", L"", 0);
  RunOk(edited);
  EXPECT_EQ(edited.title, new_title);
  EXPECT_EQ(edited.desc, description);
  diy::PlayListInfo info;
  AllSongs(kOrdinary, list_id, &info);
  EXPECT_EQ(info.list_title, new_title);
  EXPECT_EQ(info.list_desc, description);
  EXPECT_EQ(info.list_tag, L"pop");

  const auto is_favourite = [&] {
    for (const auto& list : AllLists(kOrdinary, 1)) {
      if (list.list_id == list_id) return true;
    }
    return false;
  };
  for (int source : {0, 1, 2}) {
    SCOPED_TRACE(source);
    diy::AddFavoriteSongList marked(kOrdinary, list_id, source);
    RunOk(marked);
    EXPECT_TRUE(is_favourite());
    diy::CancelFavoriteSongList unmarked(kOrdinary, list_id, source);
    RunOk(unmarked);
    EXPECT_FALSE(is_favourite());
  }

  diy::DelList deleted(kOrdinary, list_id);
  RunOk(deleted);
  for (const auto& list : AllLists(kOrdinary, 0)) EXPECT_NE(list.list_id, list_id);
  Completion done;
  diy::GetPlayList gone(kOrdinary, list_id, 0, 100);
  ASSERT_TRUE(done.Run(gone));
  EXPECT_FALSE(gone.succeeded);
}

TEST_F(SongListIntegrationTest, CreateAListHoldingSongsAtOnce) {
  diy::AddUgcSongListAtOnce created(kOrdinary, L"At once & all", L"",
                                    {L"100010", L"x1", L"100011"});
  RunOk(created);
  EXPECT_EQ(created.title, L"At once & all");
  EXPECT_EQ(created.capacity, 500);
  EXPECT_EQ(IdsOf(AllSongs(kOrdinary, created.list_id)), (Ids{L"100010", L"100011"}));
}

TEST_F(SongListIntegrationTest, ChannelsCommentsAndAnAlbum) {
  diy::GetChannels channels;
  RunOk(channels);
  EXPECT_FALSE(channels.hot.empty());
  EXPECT_FALSE(channels.channels.empty());

  const std::wstring list_id = AllLists(kOrdinary, 0).front().list_id;
  diy::GetCommentList comments(list_id, 2, 20, 0);
  RunOk(comments);
  const web::json::value count = AskSandbox(
      "norda.lumo.ugcmsg.getCommentListByType",
      {{"type_id", ToUtf8(list_id)}, {"type", "2"}, {"size", "20"}, {"offset", "0"}}, "");
  EXPECT_EQ(comments.commentlist_last_nums,
            At(count, {"result", "commentlist_last_nums"}).as_integer());

  diy::GetAlbumInfo album(L"", L"5001");
  RunOk(album);
  EXPECT_EQ(album.info.userid, L"5001");
  EXPECT_FALSE(album.info.list_title.empty());
  EXPECT_FALSE(album.songs.empty());
}

}  // namespace
}  // namespace lumo::integration
