#include "support/every_request.h"

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "lumoapi/artist/get_artist_info.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
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
#include "lumoapi/user/user_down.h"
#include "utilities/song_info.h"

namespace lumo::testing {
namespace {

namespace diy = lumoapi::diy;
namespace favorite = lumoapi::favorite;

using Ids = std::vector<std::wstring>;

// A row's maker: a T made of copies of `args`.
template <class T, class... Args>
std::function<std::unique_ptr<lumoapi::RequestBase>()> Make(Args... args) {
  return [args...] { return std::make_unique<T>(args...); };
}

constexpr char kCommon[] = "format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1";
constexpr char kCommon220[] = "format=json&from=qxpc&version=2.2.0&version_d=10.1.1.1";

std::shared_ptr<utilities::SongInfo> Song(std::wstring id, std::wstring title,
                                          std::wstring author) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = std::move(id);
  song->title = std::move(title);
  song->author = std::move(author);
  song->album_title = L"Album";
  song->files.push_back(std::make_shared<utilities::SongFile>(
      utilities::SongFile{L"D:\\Music\\a.b.mp3", 5242880, 245999, 320}));
  return song;
}

}  // namespace

const std::vector<RequestRow>& EveryRequestRow() {
  const std::string c = kCommon;
  const std::string c220 = kCommon220;
  static const std::vector<RequestRow> rows = {
      {"user down", Make<lumoapi::user::UserDown>(Ids{L"1", L"2"}, L"7"),
       "method=norda.lumo.user.down&" + c + "&songid=1,2&uid=7"},
      {"song link by id",
       [] {
         return std::make_unique<lumoapi::song::GetSongLink>(Song(L"42", L"T", L"A"), true, L"320",
                                                             true, L"tok");
       },
       "method=norda.lumo.song.getSongLink&" + c +
           "&songid=42&lebo=0&down=1&bit=320&type=2&kwtok=tok"},
      {"song link by title and author",
       [] {
         return std::make_unique<lumoapi::song::GetSongLink>(Song(L"", L"T&1", L"A"), false, L"",
                                                             false, L"");
       },
       "method=norda.lumo.song.getSongLink&" + c +
           "&songid=T%261$$A&lebo=0&down=0&bit=&type=1&kwtok="},
      {"suggestions", Make<lumoapi::search::CatalogSug>(L"rock & roll=1+1 周"),
       "method=norda.lumo.search.catalogSug&" + c + "&query=rock%20%26%20roll%3D1%2B1%20%E5%91%A8"},
      // Its query holds the time of the call, so the search tests check it instead.
      {"lyrics and pictures",
       Make<lumoapi::search::Lrcpic>(L"Title", L"Artist", lumoapi::search::Lrcpic::kSingleSong,
                                     false),
       ""},
      {"merged search", Make<lumoapi::search::SearchMerge>(L"a&type=2"),
       "method=norda.lumo.search.merge&" + c + "&query=a%26type%3D2&type=1"},
      {"artist pictures", Make<lumoapi::artist::GetArtistInfo>(L"1&all_pic=0"),
       "method=norda.lumo.artist.getInfo&" + c + "&artistid=1%26all_pic%3D0&all_pic=1"},
      {"recommended songs", Make<lumoapi::recommend::GetRecommendSongs>(L"9"),
       "method=norda.lumo.song.getRecommandSongList&" + c + "&song_id=9&num=20"},
      {"splash", Make<lumoapi::splash::GetSplashPic>(), "method=norda.lumo.active.startPC&" + c},
      {"public radio", Make<lumoapi::radio::GetPublicRadioSongs>(L"Jazz & 爵士"),
       "method=norda.lumo.radio.getChannelSong&" + c220 +
           "&channelname=Jazz%20%26%20%E7%88%B5%E5%A3%AB&rn=10&kwtok=acct"},
      {"scene radio", Make<lumoapi::radio::GetSceneSongs>(L"42"),
       "method=norda.lumo.song.getSmartSongList&" + c220 +
           "&scene_id=42&item_id=0&page_size=10&kwtok=acct"},
      {"private radio", Make<lumoapi::radio::GetPrivateRadioSongs>(L"alice", L"secret"),
       "method=norda.lumo.radio.serv&" + c + "&usrname=alice&needdata=true&kwtok=secret"},
      {"play action",
       [] {
         auto action = std::make_unique<lumoapi::radio::RadioPlayAction>(L"tk");
         action->ch_name = L"pop";
         action->item_id = L"123";
         action->action_no = -3;
         return action;
       },
       "method=norda.lumo.radio.playAction&" + c +
           "&nordaid={id}&ch_name=pop&item_id=123&action_no=-3&kwtok=tk"},
      {"upload check",
       Make<lumoapi::cloud::CheckFile>(L"cmd5", L"smd5", L"mp3", 5242880, 0x80000001u),
       "method=norda.lumo.cloud.checkFile&" + c +
           "&content_md5=cmd5&slice_md5=smd5&ext=mp3&content_length=5242880"
           "&content_crc32=2147483649&id={id}&isXos=1"},
      {"storage signature", Make<lumoapi::cloud::Signature>(L"music/a b.mp3", 1234, L"cmd5"),
       "method=norda.lumo.cloud.signature2&" + c +
           "&input_method=PUT&object=music/a%20b.mp3&content_length=1234&content_md5=cmd5"
           "&content_type=application/octet-stream"},
      {"cloud record",
       [] {
         return std::make_unique<lumoapi::cloud::Record>(L"tok", L"md5x", L"http://l/f",
                                                         Song(L"s1", L"Title", L"Artist"));
       },
       "method=norda.lumo.cloud.record&" + c +
           "&kwtok=tok&song_id=s1&file_link=http://l/f&md5=md5x&song_title=Title"
           "&album_title=Album&artist_name=Artist&file_name=a.b&compose=&songwriting="
           "&publish_time=&style=&file_bitrate=320&file_duartion=245&file_size=5242880&ext=mp3"
           "&id={id}&isXos=1"},
      {"quota", Make<lumoapi::cloud::Expand>(L"tok"),
       "method=norda.lumo.cloud.expand&" + c + "&kwtok=tok"},
      // Song lists: encrypted, so the query is the method and the decrypted inner text.
      {"list pages", Make<diy::GetPlayLists>(L"tok", 2, 50, 0),
       "method=norda.lumo.ugcdiy.userList&" + c + "&offset=100&source=0&type=10", true, L"tok"},
      {"list detail", Make<diy::GetPlayList>(L"tok", L"123", 200, 20),
       "method=norda.lumo.ugcdiy.getBaseInfo&" + c +
           "&list_id=123&size=100&withsong=1&offset=200&withcount=1",
       true, L"tok"},
      {"channels", Make<diy::GetChannels>(), "method=norda.lumo.ugcdiy.getChannels&" + c, true,
       L""},
      {"comment count", Make<diy::GetCommentList>(L"42", 2, 20, 0),
       "method=norda.lumo.ugcmsg.getCommentListByType&" + c + "&type_id=42&type=2&size=20&offset=0",
       true, L""},
      {"album", Make<diy::GetAlbumInfo>(L"ignored", L"7"),
       "method=norda.lumo.album.getAlbumInfo&" + c + "&album_id=7"},
      // Titles and descriptions are encoded once by the request, then again as query values.
      {"new list", Make<diy::AddList>(L"tok", L"My list & 周", 0),
       "method=norda.lumo.ugcdiy.addSongList&" + c +
           "&title=My%2520list%2520%2526%2520%25E5%2591%25A8&process=1",
       true, L"tok"},
      {"list edit", Make<diy::UpList>(L"tok", L"5", L"T i", L"D&d", L"t", L"p.jpg", 9),
       "method=norda.lumo.ugcdiy.editDiy&" + c +
           "&list_id=5&desc=D%2526d&tag=t&diypic=p.jpg&title=T%2520i&process=1",
       true, L"tok"},
      {"list deletion", Make<diy::DelList>(L"tok", L"5"),
       "method=norda.lumo.ugcdiy.delList&" + c + "&list_id=5", true, L"tok"},
      {"songs added", Make<diy::AddListSong>(L"tok", L"5", Ids{L"1", L"2", L"3"}, L"x"),
       "method=norda.lumo.ugcdiy.addSongToDiy&" + c + "&song_ids=1,2,3&list_id=5", true, L"tok"},
      {"songs removed", Make<diy::DelListSong>(L"tok", L"5", Ids{L"7"}),
       "method=norda.lumo.ugcdiy.delListSongs&" + c + "&song_ids=7&list_id=5", true, L"tok"},
      {"new list with songs",
       Make<diy::AddUgcSongListAtOnce>(L"tok", L"New", L"x", Ids{L"12", L"a3", L"45"}),
       "method=norda.lumo.ugcdiy.addSongListOnce&" + c +
           "&kwtok=tok&title=New&process=1&song_ids=12,45",
       true, L"tok"},
      {"song order", Make<diy::SortSongListSongs>(L"tok", L"5", Ids{L"9", L"3", L"5"}),
       "method=norda.lumo.ugcdiy.sortDiySongs&" + c + "&list_id=5&song_ids=9,3,5", true, L"tok"},
      {"list favourite", Make<diy::AddFavoriteSongList>(L"tok", L"5", 1),
       "method=norda.lumo.ugcdiy.addFavoriteDiy&" + c + "&list_id=5&source=1", true, L"tok"},
      {"list favourite removed", Make<diy::CancelFavoriteSongList>(L"tok", L"5", 0),
       "method=norda.lumo.ugcdiy.deleteFavoriteDiy&" + c + "&list_id=5&source=0", true, L"tok"},
      // Favourites: plain, the token as a parameter and no cookie.
      {"favourite page", Make<favorite::GetFavoriteSong>(L"tok", 100, 50),
       "method=norda.lumo.favorite.getFavoriteSong&" + c + "&kwtok=tok&pn=100&rn=50"},
      {"collected page", Make<favorite::GetCollectSong>(L"tok", 0, 50),
       "method=norda.lumo.favorite.getCollectSong&" + c + "&kwtok=tok&pn=0&rn=50"},
      {"favourite added", Make<favorite::AddSongFavorite>(L"tok", L"42", -5),
       "method=norda.lumo.favorite.addSongFavorite&" + c + "&kwtok=tok&songId=42&time=-5"},
      {"favourites added", Make<favorite::AddSongFavorites>(L"tok", Ids{L"1", L"2"}),
       "method=norda.lumo.favorite.addSongFavorites&" + c + "&kwtok=tok&songId=1,2"},
      {"collected removed, no ids", Make<favorite::DelCollectSong>(L"tok", Ids{}),
       "method=norda.lumo.favorite.delCollectSong&" + c + "&kwtok=tok&songId="},
      {"favourites removed", Make<favorite::DelSongFavorites>(L"tok", Ids{L"1", L"2", L"3"}),
       "method=norda.lumo.favorite.delSongFavorites&" + c + "&kwtok=tok&songId=1,2,3"},
  };
  return rows;
}

namespace {

// Whether T has the member that Member<T> names.
template <class T, template <class> class Member, class = void>
struct Has : std::false_type {};
template <class T, template <class> class Member>
struct Has<T, Member, std::void_t<Member<T>>> : std::true_type {};

template <class T>
using TaskCompleted = decltype(&T::task_completed);
template <class T>
using GetSucceeded = decltype(&T::_GetSucceeded);
template <class T>
using Songs = decltype(&T::songs);
template <class T>
using Lists = decltype(&T::lists);

// Owns one task of any class.
template <class T>
class TaskOf : public Task {
 public:
  explicit TaskOf(std::unique_ptr<T> task) : task_(std::move(task)) {
    if constexpr (Has<T, TaskCompleted>::value) {
      task_->task_completed.connect(&end, &EndProbe::OnTaskCompleted);
    }
    task_->completed.connect(&end, &EndProbe::OnCompleted);
  }
  void BeginRequest() override { task_->BeginRequest(); }
  bool succeeded() const override {
    if constexpr (Has<T, GetSucceeded>::value) return task_->_GetSucceeded();
    return task_->request && task_->request->succeeded;
  }
  int32_t status() const override { return task_->request ? task_->request->status : 0; }
  lumoapi::CallFailure Failure() const override { return task_->Failure(); }
  size_t gathered() const override {
    if constexpr (Has<T, Songs>::value) return task_->songs.size();
    if constexpr (Has<T, Lists>::value) return task_->lists.size();
    return 0;
  }
  bool signals_status() const override { return Has<T, TaskCompleted>::value; }

 private:
  std::unique_ptr<T> task_;
};

template <class T, class... Args>
std::unique_ptr<Task> Own(Args&&... args) {
  return std::make_unique<TaskOf<T>>(std::make_unique<T>(std::forward<Args>(args)...));
}

using Token = const std::wstring&;
using ListId = const std::wstring&;

}  // namespace

const std::vector<TaskRow>& EveryTaskRow() {
  static const std::vector<TaskRow> rows = {
      {"all lists", [](Token t, ListId) { return Own<diy::GetAllPlayLists>(t, 0); }, "list pages",
       "norda.lumo.ugcdiy.userList", 50},
      {"all songs of a list",
       [](Token t, ListId list) { return Own<diy::GetAllPlayListSongs>(t, list); }, "list detail",
       "norda.lumo.ugcdiy.getBaseInfo", 100},
      {"song order task",
       [](Token t, ListId list) {
         return Own<diy::SortSongListSongsTask>(t, list, std::vector<std::wstring>{L"1"});
       },
       "song order", "norda.lumo.ugcdiy.sortDiySongs", 0},
      {"list favourite task",
       [](Token t, ListId list) { return Own<diy::AddFavoriteSongListTask>(t, list, 1); },
       "list favourite", "norda.lumo.ugcdiy.addFavoriteDiy", 0},
      {"list favourite removal task",
       [](Token t, ListId list) { return Own<diy::CancelFavoriteSongListTask>(t, list, 1); },
       "list favourite removed", "norda.lumo.ugcdiy.deleteFavoriteDiy", 0},
      {"all collected songs", [](Token t, ListId) { return Own<favorite::GetAllCollectSongs>(t); },
       "collected page", "norda.lumo.favorite.getCollectSong", 50},
      {"all favourite songs", [](Token t, ListId) { return Own<favorite::GetAllFavoriteSongs>(t); },
       "favourite page", "norda.lumo.favorite.getFavoriteSong", 50},
  };
  return rows;
}

}  // namespace lumo::testing
