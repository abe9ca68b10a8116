// A player's library screens against a service at HOST:PORT (a lumo-sandbox), with the song-list
// and favourite classes of the installed package: it gathers the user's lists and the songs of
// one, reads the channel tags, a comment count and an album, creates a list, fills, sorts, edits,
// marks and deletes it; then gathers the favourite and collected songs and sets and clears
// hearts. Exits 0 when every step did what it should.
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/http/transport.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/diy/add_favorite_song_list.h"
#include "lumoapi/diy/add_favorite_song_list_task.h"
#include "lumoapi/diy/add_list.h"
#include "lumoapi/diy/add_list_song.h"
#include "lumoapi/diy/add_ugc_song_list_at_once.h"
#include "lumoapi/diy/cancel_favorite_song_list.h"
#include "lumoapi/diy/cancel_favorite_song_list_task.h"
#include "lumoapi/diy/del_list.h"
#include "lumoapi/diy/del_list_song.h"
#include "lumoapi/diy/get_album_info.h"
#include "lumoapi/diy/get_all_playlist_songs.h"
#include "lumoapi/diy/get_all_playlists.h"
#include "lumoapi/diy/get_channels.h"
#include "lumoapi/diy/get_comment_list.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/diy/sort_song_list_songs.h"
#include "lumoapi/diy/sort_song_list_songs_task.h"
#include "lumoapi/diy/up_list.h"
#include "lumoapi/favorite/add_song_favorite.h"
#include "lumoapi/favorite/add_song_favorites.h"
#include "lumoapi/favorite/del_collect_song.h"
#include "lumoapi/favorite/del_song_favorites.h"
#include "lumoapi/favorite/get_all_collect_songs.h"
#include "lumoapi/favorite/get_all_favorite_songs.h"
#include "lumoapi/favorite/get_collect_song.h"
#include "lumoapi/favorite/get_favorite_song.h"

namespace diy = lumoapi::diy;
namespace favorite = lumoapi::favorite;

namespace {

const std::wstring kToken = L"sbx-ordinary-7f3a9c21";

// Waits for the end signal of whatever it is connected to (`completed` or `task_completed`).
class Ending : public sigslot::has_slots<> {
 public:
  void OnCompleted() { ++count_; }
  void OnTaskCompleted(int selector, int status) {
    selector_ = selector;
    status_ = status;
    ++count_;
  }
  bool Wait() {
    const int before = seen_;
    seen_ = before + 1;
    return base::thread::UiLoop::Instance().RunUntil([&] { return count_ > before; },
                                                     std::chrono::seconds(30));
  }
  int selector() const { return selector_; }
  int status() const { return status_; }

 private:
  std::atomic<int> count_{0};
  std::atomic<int> selector_{0};
  std::atomic<int> status_{0};
  int seen_ = 0;
};

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::cout << (ok ? "ok    " : "FAILED ") << what << "\n";
  if (!ok) ++failures;
}

// Runs one request to its end; true when it succeeded.
bool Run(lumoapi::RequestBase& request) {
  Ending ending;
  request.completed.connect(&ending, &Ending::OnCompleted);
  request.BeginRequest();
  return ending.Wait() && request.succeeded;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: song_lists HOST:PORT\n";
    return 2;
  }
  base::thread::UiLoop::Instance().BindToCurrentThread();
  base::http::SetConnectTo("api.lumo.example:80", argv[1]);

  Ending lists_end;
  diy::GetAllPlayLists lists(kToken, 0);
  lists.task_completed.connect(&lists_end, &Ending::OnTaskCompleted);
  lists.BeginRequest();
  const bool lists_ended = lists_end.Wait();
  Check(lists_ended && lists._GetSucceeded() && lists_end.selector() == 0 &&
            lists_end.status() == 22000 && lists._GetStatus() == 22000u &&
            lists._GetCapacity() == 500u && !lists.lists.empty() &&
            lists.lists.size() == static_cast<size_t>(lists.listnum),
        "GetAllPlayLists: " + std::to_string(lists.lists.size()) + " lists");
  if (lists.lists.empty()) return 1;
  const diy::PlayListItem& first = lists.lists.front();

  diy::GetPlayLists page(kToken, 0, 50, 0);
  Check(Run(page) && page.capacity == 500 && page.kind == 0 && page.listnum == lists.listnum,
        "GetPlayLists");

  Ending songs_end;
  diy::GetAllPlayListSongs songs(kToken, first.list_id);
  songs.completed.connect(&songs_end, &Ending::OnCompleted);
  songs.BeginRequest();
  const bool songs_ended = songs_end.Wait();
  Check(songs_ended && songs._GetSucceeded() &&
            songs.songs.size() == static_cast<size_t>(songs.song_num) &&
            songs.info.list_id == first.list_id,
        "GetAllPlayListSongs: " + std::to_string(songs.songs.size()) + " songs");

  diy::GetPlayList detail(kToken, first.list_id, 0, 100);
  const bool detail_ok = Run(detail);
  Check(detail_ok && detail.song_num == songs.song_num && detail.offset == 0u,
        "GetPlayList: " + base::string_utils::ToUtf8(detail.info.list_title));
  Check(diy::FirstOfCommaList(L"7 , 8") == L"7", "FirstOfCommaList");

  diy::GetChannels channels;
  Check(Run(channels) && !channels.hot.empty() && !channels.result_text.empty(), "GetChannels");
  diy::GetCommentList comments(first.list_id, 2, 20, 0);
  Check(Run(comments) && comments.commentlist_last_nums >= 0, "GetCommentList");
  diy::GetAlbumInfo album(L"", L"5001");
  Check(Run(album) && album.info.userid == L"5001" && !album.songs.empty(), "GetAlbumInfo");

  diy::AddList created(kToken, L"Host & list", 0);
  Check(Run(created) && created.title == L"Host & list" && created.capacity == 500, "AddList");
  const std::wstring list_id = created.list_id;
  diy::AddListSong added(kToken, list_id, {L"100001", L"100002"}, L"");
  Check(Run(added), "AddListSong");
  Ending sort_end;
  diy::SortSongListSongsTask sorted(kToken, list_id, {L"100002", L"100001"});
  sorted.completed.connect(&sort_end, &Ending::OnCompleted);
  sorted.BeginRequest();
  Check(sort_end.Wait() && sorted._GetSucceeded() && sorted._GetStatus() == 22000u,
        "SortSongListSongsTask");
  diy::SortSongListSongs sorted_back(kToken, list_id, {L"100001", L"100002"});
  Check(Run(sorted_back), "SortSongListSongs");
  diy::DelListSong removed(kToken, list_id, {L"100002"});
  Check(Run(removed), "DelListSong");
  diy::UpList edited(kToken, list_id, L"Renamed", L"A description", L"pop", L"", 0);
  Check(Run(edited) && edited.title == L"Renamed" && edited.desc == L"A description", "UpList");

  Ending mark_end;
  diy::AddFavoriteSongListTask mark(kToken, list_id, 1);
  mark.task_completed.connect(&mark_end, &Ending::OnTaskCompleted);
  mark.BeginRequest();
  Check(mark_end.Wait() && mark_end.selector() == 1 && mark_end.status() == 22000,
        "AddFavoriteSongListTask");
  Ending unmark_end;
  diy::CancelFavoriteSongListTask unmark(kToken, list_id, 1);
  unmark.task_completed.connect(&unmark_end, &Ending::OnTaskCompleted);
  unmark.BeginRequest();
  Check(unmark_end.Wait() && unmark_end.status() == 22000, "CancelFavoriteSongListTask");
  diy::AddFavoriteSongList marked(kToken, list_id, 2);
  Check(Run(marked) && marked.capacity == 500, "AddFavoriteSongList");
  diy::CancelFavoriteSongList unmarked(kToken, list_id, 2);
  Check(Run(unmarked), "CancelFavoriteSongList");
  diy::DelList deleted(kToken, list_id);
  Check(Run(deleted), "DelList");

  diy::AddUgcSongListAtOnce at_once(kToken, L"At once", L"", {L"100003", L"x"});
  Check(Run(at_once) && !at_once.list_id.empty(), "AddUgcSongListAtOnce");
  diy::DelList cleaned(kToken, at_once.list_id);
  Check(Run(cleaned), "DelList of the list made at once");

  Ending favourites_end;
  favorite::GetAllFavoriteSongs favourites(kToken);
  favourites.completed.connect(&favourites_end, &Ending::OnCompleted);
  favourites.BeginRequest();
  const bool favourites_ended = favourites_end.Wait();
  Check(favourites_ended && favourites._GetSucceeded() && favourites._GetStatus() == 22000u,
        "GetAllFavoriteSongs: " + std::to_string(favourites.songs.size()) + " songs");
  Ending collected_end;
  favorite::GetAllCollectSongs collected(kToken);
  collected.completed.connect(&collected_end, &Ending::OnCompleted);
  collected.BeginRequest();
  const bool collected_ended = collected_end.Wait();
  Check(collected_ended && collected._GetSucceeded() && !collected.songs.empty(),
        "GetAllCollectSongs: " + std::to_string(collected.songs.size()) + " songs");
  favorite::GetFavoriteSong favourite_page(kToken, 0, 50);
  Check(Run(favourite_page) && favourite_page.pn == 0u && favourite_page.rn == 50u,
        "GetFavoriteSong");
  favorite::GetCollectSong collected_page(kToken, 0, 50);
  Check(Run(collected_page) && !collected_page.songs.empty(), "GetCollectSong");

  favorite::AddSongFavorite heart(kToken, L"100050", 0);
  Check(Run(heart), "AddSongFavorite");
  favorite::AddSongFavorite paid(kToken, L"100017", 0);
  const bool paid_ok = Run(paid);
  const favorite::AddSongFavorite::ResultItem paid_item = paid.GetSongInfo();
  Check(!paid_ok && paid.status == 22469 && !paid_item.buy_url.empty(),
        "AddSongFavorite of a song that must be bought");
  favorite::AddSongFavorites hearts(kToken, {L"100061", L"100062"});
  Check(Run(hearts) && hearts.added_ids.size() == 2, "AddSongFavorites");
  favorite::DelSongFavorites cleared(kToken, {L"100050", L"100061", L"100062"});
  Check(Run(cleared), "DelSongFavorites");
  favorite::DelCollectSong uncollected(kToken, {collected.songs.front().song_id});
  Check(Run(uncollected), "DelCollectSong");

  std::cout << (failures == 0 ? "every song-list and favourite class did its part\n"
                              : "some steps failed\n");
  return failures == 0 ? 0 : 1;
}
