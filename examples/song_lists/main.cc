// A player's song-list screen against a service at HOST:PORT (a lumo-sandbox): it gathers the
// user's lists and the songs of one, reads the channel tags, a comment count and an album, then
// creates a list, fills, sorts, edits, marks and deletes it, with the library's song-list
// classes built by the installed package. Exits 0 when every step did what it should.
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

namespace diy = lumoapi::diy;

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

  std::cout << (failures == 0 ? "every song-list class did its part\n" : "some steps failed\n");
  return failures == 0 ? 0 : 1;
}
