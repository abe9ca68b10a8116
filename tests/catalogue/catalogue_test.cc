// What the requests make of their answers: first every record reader field by field (song links,
// search, lyrics, recommendations, song lists, favourites, uploads), then the catalogue, radio and
// cloud requests' own cases (artist pictures, the splash picture, radio batches), hostile shapes
// included, and what of their addresses the parameters test cannot show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "base/string_utils.h"
#include "lumoapi/artist/get_artist_info.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "lumoapi/diy/get_album_info.h"
#include "lumoapi/diy/get_comment_list.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/favorite/add_song_favorite.h"
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
#include "sandbox/address_form.h"
#include "settings/language_settings.h"
#include "settings/user_account_settings.h"
#include "support/answered.h"
#include "utilities/song_info.h"

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;
using Ids = std::vector<std::wstring>;

// --- Song links ---------------------------------------------------------------------------------

using song::GetSongLink;

std::shared_ptr<utilities::SongInfo> SongWithId(std::wstring id) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = std::move(id);
  return song;
}

std::unique_ptr<GetSongLink> Resolve(const std::string& body) {
  return Answered<GetSongLink>(body, SongWithId(L"1"), false, L"", false, L"");
}

// A full answer with these "songinfo" members and this "bitrate" list.
std::string FullAnswer(const std::string& songinfo, const std::string& bitrate = "[{}]") {
  return R"({"result":{"songinfo":{)" + songinfo + R"(},"bitrate":)" + bitrate + "}}";
}

std::wstring Label(const wchar_t* key) {
  return settings::language::LanguageSettings::Instance().GetString(key);
}

// --- Every record reader, field by field --------------------------------------------------------
//
// One row per reader (classes that share a reader share its row). The row's answer gives every key
// a value of its own, so that a reader that swaps two fields, copies one into another or drops one
// fails on that field by name. A field that a row does not name must keep the value of a record
// made by default; a request that holds its results itself has no such record, so its row names
// every member.

// The text a field is compared by: numbers in decimal, flags as "true" or "false".
template <class T>
std::wstring Text(const T& value) {
  if constexpr (std::is_same_v<T, std::wstring>) {
    return value;
  } else if constexpr (std::is_same_v<T, bool>) {
    return value ? L"true" : L"false";
  } else {
    std::wostringstream text;
    text << value;
    return text.str();
  }
}

template <class Item>
struct FieldOf {
  const char* name;
  std::function<std::wstring(const Item&)> text;
};

template <class Item>
using FieldList = std::vector<FieldOf<Item>>;

template <class Item, class T>
FieldOf<Item> Field(const char* name, T Item::*member) {
  return {name, [member](const Item& item) { return Text(item.*member); }};
}

// Converts to any member type: the longest brace list an aggregate accepts is its member count,
// which the field list of an aggregate must match.
struct AnyMember {
  template <class T>
  operator T() const;
};

template <class Item, class Indices, class = void>
struct TakesInitializers : std::false_type {};
template <class Item, size_t... I>
struct TakesInitializers<Item, std::index_sequence<I...>,
                         std::void_t<decltype(Item{(static_cast<void>(I), AnyMember{})...})>>
    : std::true_type {};

template <class Item, size_t N = 0>
constexpr size_t MemberCount() {
  if constexpr (TakesInitializers<Item, std::make_index_sequence<N + 1>>::value) {
    return MemberCount<Item, N + 1>();
  } else {
    return N;
  }
}

using SongUrlItem = song::GetSongLink::SongUrlItem;
using SongSugItem = search::CatalogSug::SongSugItem;
using ArtistSugItem = search::CatalogSug::ArtistSugItem;
using AlbumSugItem = search::CatalogSug::AlbumSugItem;
using LrcpicItem = search::Lrcpic::LrcpicItem;
using BuyItem = favorite::AddSongFavorite::ResultItem;

// The fields of each record, in the record's order.
template <class Item>
FieldList<Item> FieldsOf();

// The field's name is the member's, so that a list cannot pair a name with another member.
#define LUMO_FIELD(member) Field(#member, &Item::member)
#define LUMO_FIELDS_OF(Record, ...)      \
  template <>                            \
  FieldList<Record> FieldsOf<Record>() { \
    using Item = Record;                 \
    return {__VA_ARGS__};                \
  }

LUMO_FIELDS_OF(SongUrlItem, LUMO_FIELD(file_duration), LUMO_FIELD(song_id),
               LUMO_FIELD(song_file_id), LUMO_FIELD(title), LUMO_FIELD(author),
               LUMO_FIELD(artist_id), LUMO_FIELD(album_title), LUMO_FIELD(album_id),
               LUMO_FIELD(relate_status), LUMO_FIELD(file_link), LUMO_FIELD(show_link),
               LUMO_FIELD(lrclink), LUMO_FIELD(file_extension), LUMO_FIELD(pic_big),
               LUMO_FIELD(pic_small), LUMO_FIELD(file_bitrate), LUMO_FIELD(file_size),
               LUMO_FIELD(hash), LUMO_FIELD(xcode_expire), LUMO_FIELD(best_rate),
               LUMO_FIELD(song_source), LUMO_FIELD(replay_gain), LUMO_FIELD(play_type),
               LUMO_FIELD(free), LUMO_FIELD(resource_type_ext), LUMO_FIELD(buy_url),
               LUMO_FIELD(song_pic), LUMO_FIELD(publishtime), LUMO_FIELD(tips))
LUMO_FIELDS_OF(SongSugItem, LUMO_FIELD(songid), LUMO_FIELD(songname), LUMO_FIELD(artistname))
LUMO_FIELDS_OF(ArtistSugItem, LUMO_FIELD(artistid), LUMO_FIELD(artistname), LUMO_FIELD(artistpic))
LUMO_FIELDS_OF(AlbumSugItem, LUMO_FIELD(albumid), LUMO_FIELD(albumname), LUMO_FIELD(artistname),
               LUMO_FIELD(artistpic))
LUMO_FIELDS_OF(LrcpicItem, LUMO_FIELD(song_id), LUMO_FIELD(song_title), LUMO_FIELD(author),
               LUMO_FIELD(artist_id), LUMO_FIELD(lrclink), LUMO_FIELD(pic_s500),
               LUMO_FIELD(pic_s180), LUMO_FIELD(avatar_s500), LUMO_FIELD(avatar_s180))
// The host's record holds its files too, which no answer fills.
LUMO_FIELDS_OF(utilities::SongInfo, LUMO_FIELD(song_id), LUMO_FIELD(title), LUMO_FIELD(author),
               LUMO_FIELD(artist_id), LUMO_FIELD(album_title), LUMO_FIELD(album_id),
               LUMO_FIELD(pic_big), LUMO_FIELD(pic_small), LUMO_FIELD(item_kind),
               LUMO_FIELD(has_mv), LUMO_FIELD(lebo))
LUMO_FIELDS_OF(diy::PlayListItem, LUMO_FIELD(list_id), LUMO_FIELD(title), LUMO_FIELD(pic),
               LUMO_FIELD(song_num), LUMO_FIELD(capacity), LUMO_FIELD(kind))
LUMO_FIELDS_OF(diy::PlayListInfo, LUMO_FIELD(userid), LUMO_FIELD(username), LUMO_FIELD(userpic),
               LUMO_FIELD(list_id), LUMO_FIELD(list_pic), LUMO_FIELD(list_title),
               LUMO_FIELD(list_tag), LUMO_FIELD(list_desc), LUMO_FIELD(createtime),
               LUMO_FIELD(lastmodify), LUMO_FIELD(share_num), LUMO_FIELD(listen_num),
               LUMO_FIELD(comment_num), LUMO_FIELD(share_url), LUMO_FIELD(collect_num))
LUMO_FIELDS_OF(diy::PlayListSong, LUMO_FIELD(song_id), LUMO_FIELD(title), LUMO_FIELD(author),
               LUMO_FIELD(artist_id), LUMO_FIELD(album_title), LUMO_FIELD(album_id),
               LUMO_FIELD(pic_big), LUMO_FIELD(pic_small), LUMO_FIELD(has_mv))
LUMO_FIELDS_OF(favorite::FavoriteSongItem, LUMO_FIELD(song_id), LUMO_FIELD(title),
               LUMO_FIELD(artist), LUMO_FIELD(album_id), LUMO_FIELD(album), LUMO_FIELD(del_status),
               LUMO_FIELD(resource_type))
LUMO_FIELDS_OF(favorite::CollectSongItem, LUMO_FIELD(song_id), LUMO_FIELD(title),
               LUMO_FIELD(artist), LUMO_FIELD(artist_id), LUMO_FIELD(album), LUMO_FIELD(album_id),
               LUMO_FIELD(has_mv))
LUMO_FIELDS_OF(BuyItem, LUMO_FIELD(song_id), LUMO_FIELD(song_title), LUMO_FIELD(author),
               LUMO_FIELD(album_title), LUMO_FIELD(album_pic), LUMO_FIELD(resource_type_ext),
               LUMO_FIELD(buy_url), LUMO_FIELD(song_pic), LUMO_FIELD(publishtime), LUMO_FIELD(tips))
LUMO_FIELDS_OF(diy::GetCommentList, LUMO_FIELD(type_id), LUMO_FIELD(type), LUMO_FIELD(size),
               LUMO_FIELD(offset), LUMO_FIELD(commentlist_last_nums))
LUMO_FIELDS_OF(cloud::CheckFile, LUMO_FIELD(content_md5), LUMO_FIELD(slice_md5), LUMO_FIELD(ext),
               LUMO_FIELD(content_length), LUMO_FIELD(content_crc32), LUMO_FIELD(song_id),
               LUMO_FIELD(host), LUMO_FIELD(file_link), LUMO_FIELD(object), LUMO_FIELD(time),
               LUMO_FIELD(file_size), LUMO_FIELD(bucket))
LUMO_FIELDS_OF(cloud::Signature, LUMO_FIELD(object), LUMO_FIELD(host), LUMO_FIELD(content_length),
               LUMO_FIELD(content_md5), LUMO_FIELD(content_type), LUMO_FIELD(date),
               LUMO_FIELD(authorization))
LUMO_FIELDS_OF(cloud::Record, LUMO_FIELD(kwtok), LUMO_FIELD(md5), LUMO_FIELD(file_link),
               LUMO_FIELD(song_id), LUMO_FIELD(song_title), LUMO_FIELD(artist_name),
               LUMO_FIELD(album_title), LUMO_FIELD(file_path), LUMO_FIELD(file_bitrate),
               LUMO_FIELD(file_duration), LUMO_FIELD(file_size))
LUMO_FIELDS_OF(cloud::Expand, LUMO_FIELD(kwtok), LUMO_FIELD(expand), LUMO_FIELD(cloud_limit),
               LUMO_FIELD(used))

#undef LUMO_FIELDS_OF
#undef LUMO_FIELD

// A field's name, its value, and what it holds when nothing is read (unset for a request).
struct FieldText {
  std::string name;
  std::wstring value;
  std::optional<std::wstring> unread;
};
using Fields = std::vector<FieldText>;

template <class Item>
Fields Describe(const Item& item) {
  const FieldList<Item> fields = FieldsOf<Item>();
  if constexpr (std::is_aggregate_v<Item>) {
    if (fields.size() != MemberCount<Item>()) {
      ADD_FAILURE() << "the field list of " << typeid(Item).name() << " misses a member";
      return Fields();
    }
  }
  Fields texts;
  for (const FieldOf<Item>& field : fields) {
    std::optional<std::wstring> unread;
    if constexpr (std::is_default_constructible_v<Item>) unread = field.text(Item());
    texts.push_back({field.name, field.text(item), unread});
  }
  return texts;
}

// The only record of `records`; nothing when there is none or more than one.
template <class Item>
Fields TheOne(const std::vector<Item>& records) {
  return records.size() == 1 ? Describe(records[0]) : Fields();
}

// An expected field: its name and its value.
std::pair<std::string, std::wstring> Is(const char* name, std::wstring value) {
  return {name, std::move(value)};
}
template <class T, class = std::enable_if_t<std::is_arithmetic_v<T>>>
std::pair<std::string, std::wstring> Is(const char* name, T value) {
  return {name, Text(value)};
}

using Expected = std::vector<std::pair<std::string, std::wstring>>;

// The fields of a record that has two parts in its answer, part by part.
Expected Joined(Expected first, const Expected& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

struct RecordRow {
  const char* name;
  Fields fields;  // what the reader made
  Expected expected;
};

void ExpectRecord(const RecordRow& row) {
  SCOPED_TRACE(row.name);
  ASSERT_FALSE(row.fields.empty())
      << "not exactly one record, or a field list that misses a member";
  size_t named = 0;
  for (const FieldText& field : row.fields) {
    const auto expected =
        std::find_if(row.expected.begin(), row.expected.end(),
                     [&](const auto& name_value) { return name_value.first == field.name; });
    if (expected != row.expected.end()) {
      ++named;
      EXPECT_EQ(field.value, expected->second) << field.name;
    } else if (field.unread) {
      EXPECT_EQ(field.value, *field.unread)
          << field.name << " is read, and the row does not say so";
    } else {
      ADD_FAILURE() << field.name << " is not named by the row";
    }
  }
  EXPECT_EQ(named, row.expected.size()) << "the row names a field twice or one the record lacks";
}

std::shared_ptr<utilities::SongInfo> SongToRecord() {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = L"id-4";
  song->title = L"title-5";
  song->author = L"author-6";
  song->album_title = L"album-7";
  song->files.push_back(std::make_shared<utilities::SongFile>(
      utilities::SongFile{L"C:\\music\\file-8.mp3", 109, 110999, 111}));
  return song;
}

TEST(RecordReadersTest, EveryFieldFromItsOwnKey) {
  // Where one reader's answer could carry another reader's keys, it does ("x"), so that a reader
  // that takes one of them shows.
  const std::string song_link =
      R"({"result":{"tips":"x","buy_url":"x","song_pic":"x","publishtime":"x",
          "resource_type_ext":9,"songinfo":{"song_id":"id-1","title":"title-2",
          "author":"author-3","artist_id":"artist-4","album_title":"album-5",
          "album_id":"album-id-6","pic_huge":"huge-7","pic_premium":"x","pic_big":"x",
          "pic_small":"small-8","play_type":105,"relate_status":1,"all_rate":"128,flac",
          "lrclink":"lrc-9","resource_type":2,"song_title":"x","album_pic":"x"},
          "bitrate":[{"file_link":"not the last"},{"file_duration":101,
          "song_file_id":"file-10","file_link":"link-11","show_link":"show-12",
          "file_extension":"ext-13","file_bitrate":102,"file_size":103,"hash":"hash-14",
          "xcode_expire":104,"replay_gain":-3.5,"free":0}]}})";
  const std::string song_to_buy =
      R"({"error_code":22469,"result":{"song_id":"id-21","song_title":"title-22",
          "author":"author-23","album_title":"album-24","album_pic":"album-pic-25",
          "song_pic":"song-pic-26","publishtime":"time-27","buy_url":"buy-28",
          "resource_type_ext":109,"tips":"x","title":"x","pic_big":"x",
          "songinfo":{"song_id":"x"},"bitrate":[{"file_link":"x"}]}})";
  const std::string blocked_song =
      R"({"error_code":24003,"result":{"tips":"tips-31","song_id":"x","buy_url":"x",
          "songinfo":{"title":"x"},"bitrate":[{"file_link":"x"}]}})";
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
  const std::string recommended =
      R"({"result":{"list":[{"song_id":"id-1","title":"title-2","author":"author-3",
          "artist_id":"artist-4","album_title":"album-5","album_id":"album-id-6",
          "pic_huge":"huge-7","pic_small":"small-8","has_mv":1,"item_kind":9,"lebo":1}]}})";
  // List keys and album keys in one entry: the kind decides which are read.
  const std::string lists =
      R"({"error_code":22000,"result":{"listinfo":[{"list_id":"list-1","song_num":101,
          "list_title":"title-2","list_pic":"pic-3","album_id":"album-4","songs_total":102,
          "title":"title-5","pic_big":"pic-6","capacity":9,"kind":9}]}})";
  const std::string list =
      R"({"result":{"song_num":7,"share_num":101,"listen_num":"listen-2",
          "comment_num":"comment-3","share_url":"url-4","collect_num":"collect-5",
          "info":{"list_id":"list-6","list_pic":"pic-7","list_title":"title-8",
          "list_tag":"tag-9","list_desc":"desc-10","createtime":1700000011,
          "lastmodify":"modified-12","userinfo":{"userid":10013,"username":"user-14",
          "userpic":"userpic-15"}},
          "songlist":[{"song_id":"song-16","title":"title-17","author":"author-18",
          "artist_id":"artist-19 , artist-20","album_title":"album-21",
          "album_id":"album-id-22","pic_big":"x","pic_small":"x","has_mv":1},
          {"title":"no id"}]}})";
  const std::string album =
      R"({"albumInfo":{"album_id":"album-1","artist_id":"artist-2","author":"author-3",
          "pic_big":"pic-4","title":"title-5","info":"info-6","publishtime":"time-7",
          "collect_num":108,"buy_url":"buy-9","list_tag":"x","lastmodify":"x",
          "share_num":"x","listen_num":"x","comment_num":"x","userid":"x","list_id":"x"},
          "songlist":[{"song_id":"song-11","title":"title-12","author":"author-13",
          "artist_id":"artist-14,artist-15","album_title":"album-16",
          "album_id":"album-id-17","pic_big":"big-18","pic_small":"small-19","has_mv":1},
          {}]})";
  // The favourite and the collected songs' keys in one answer: each reader takes its own.
  const std::string favorites =
      R"({"result":[{"song_id":"id-1","title":"title-2","artist":"artist-3",
          "album_id":"album-id-4","album":"album-5","del_status":101,"resource_type":102,
          "all_artist_id":"artist-6,artist-7","has_mv":1,"artist_id":"x"}]})";
  const std::string favorite_to_buy =
      R"({"error_code":22469,"result":{"song_id":"id-1","song_title":"title-2",
          "author":"author-3","album_title":"album-4","album_pic":"album-pic-5",
          "resource_type_ext":106,"buy_url":"buy-7","song_pic":"song-pic-8",
          "publishtime":"time-9","tips":"x"}})";
  const std::string blocked_favorite =
      R"({"error_code":24003,"result":{"tips":"tips-11","song_id":"x","song_title":"x",
          "buy_url":"x"}})";
  const std::string upload_check =
      R"({"result":{"song_id":"id-1","file_link":"link-2","object":"object-3",
          "host":"host-4","time":1700000005,"file_size":5242886,"bucket":"bucket-7"}})";
  const std::string storage_signature =
      R"({"result":{"Host":"host-4","Content-Length":105,"Content-Type":"type-6",
          "x-qcs-date":"date-7","Authorization":"auth-8"}})";

  const std::wstring found_on_the_net = Label(L"song_source_net");
  using diy::GetPlayList;
  using diy::GetPlayLists;
  const RecordRow rows[] = {
      {"song link", Describe(Resolve(song_link)->item),
       Joined(
           {Is("file_duration", 101), Is("song_file_id", L"file-10"), Is("file_link", L"link-11"),
            Is("show_link", L"show-12"), Is("file_extension", L"ext-13"), Is("file_bitrate", 102),
            Is("file_size", 103), Is("hash", L"hash-14"), Is("xcode_expire", 104),
            Is("replay_gain", -3.5), Is("free", false)},
           {Is("song_id", L"id-1"), Is("title", L"title-2"), Is("author", L"author-3"),
            Is("artist_id", L"artist-4"), Is("album_title", L"album-5"),
            Is("album_id", L"album-id-6"), Is("relate_status", true), Is("lrclink", L"lrc-9"),
            Is("pic_big", L"huge-7"), Is("pic_small", L"small-8"), Is("best_rate", 2),
            Is("song_source", found_on_the_net), Is("play_type", 105)})},
      {"song link of a song to buy",
       Describe(Resolve(song_to_buy)->item),
       {Is("song_id", L"id-21"), Is("title", L"title-22"), Is("author", L"author-23"),
        Is("album_title", L"album-24"), Is("pic_big", L"album-pic-25"),
        Is("resource_type_ext", 109), Is("buy_url", L"buy-28"), Is("song_pic", L"song-pic-26"),
        Is("publishtime", L"time-27")}},
      {"song link of a blocked song",
       Describe(Resolve(blocked_song)->item),
       {Is("tips", L"tips-31")}},
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
      {"recommended song",
       [&] {
         const auto request = Answered<recommend::GetRecommendSongs>(recommended, L"1");
         return request->songs.size() == 1 ? Describe(*request->songs[0]) : Fields();
       }(),
       {Is("song_id", L"id-1"), Is("title", L"title-2"), Is("author", L"author-3"),
        Is("artist_id", L"artist-4"), Is("album_title", L"album-5"), Is("album_id", L"album-id-6"),
        Is("pic_big", L"huge-7"), Is("pic_small", L"small-8"), Is("item_kind", 2),
        Is("has_mv", true)}},
      {"song list entry",
       TheOne(Answered<GetPlayLists>(lists, L"t", 0, 50, 1)->lists),
       {Is("list_id", L"list-1"), Is("title", L"title-2"), Is("pic", L"pic-3"), Is("song_num", 101),
        Is("capacity", 500), Is("kind", 1)}},
      {"album entry of the song lists",
       TheOne(Answered<GetPlayLists>(lists, L"t", 0, 50, 2)->lists),
       {Is("list_id", L"album-4"), Is("title", L"title-5"), Is("pic", L"pic-6"),
        Is("song_num", 102), Is("capacity", 500), Is("kind", 2)}},
      {"song list",
       Describe(Answered<GetPlayList>(list, L"t", L"5", 0, 20)->info),
       {Is("userid", L"10013"), Is("username", L"user-14"), Is("userpic", L"userpic-15"),
        Is("list_id", L"list-6"), Is("list_pic", L"pic-7"), Is("list_title", L"title-8"),
        Is("list_tag", L"tag-9"), Is("list_desc", L"desc-10"), Is("createtime", L"1700000011"),
        Is("lastmodify", L"modified-12"), Is("share_num", L"101"), Is("listen_num", L"listen-2"),
        Is("comment_num", L"comment-3"), Is("share_url", L"url-4"),
        Is("collect_num", L"collect-5")}},
      {"song of a list",
       TheOne(Answered<GetPlayList>(list, L"t", L"5", 0, 20)->songs),
       {Is("song_id", L"song-16"), Is("title", L"title-17"), Is("author", L"author-18"),
        Is("artist_id", L"artist-19"), Is("album_title", L"album-21"),
        Is("album_id", L"album-id-22"), Is("has_mv", true)}},
      {"album as a song list",
       Describe(Answered<diy::GetAlbumInfo>(album, L"", L"1")->info),
       {Is("userid", L"album-1"), Is("username", L"author-3"), Is("userpic", L"pic-4"),
        Is("list_id", L"artist-2"), Is("list_pic", L"pic-4"), Is("list_title", L"title-5"),
        Is("list_desc", L"info-6"), Is("createtime", L"time-7"), Is("share_url", L"buy-9"),
        Is("collect_num", L"108")}},
      {"song of an album",
       TheOne(Answered<diy::GetAlbumInfo>(album, L"", L"1")->songs),
       {Is("song_id", L"song-11"), Is("title", L"title-12"), Is("author", L"author-13"),
        Is("artist_id", L"artist-14,artist-15"), Is("album_title", L"album-16"),
        Is("album_id", L"album-id-17"), Is("pic_big", L"big-18"), Is("pic_small", L"small-19"),
        Is("has_mv", true)}},
      {"comment count",
       Describe(*Answered<diy::GetCommentList>(R"({"result":{"commentlist_last_nums":"105"}})",
                                               L"id-1", 102, 103, 104)),
       {Is("type_id", L"id-1"), Is("type", 102), Is("size", 103), Is("offset", 104),
        Is("commentlist_last_nums", 105)}},
      {"favourite song",
       TheOne(Answered<favorite::GetFavoriteSong>(favorites, L"t", 0, 50)->songs),
       {Is("song_id", L"id-1"), Is("title", L"title-2"), Is("artist", L"artist-3"),
        Is("album_id", L"album-id-4"), Is("album", L"album-5"), Is("del_status", 101),
        Is("resource_type", 102)}},
      {"collected song",
       TheOne(Answered<favorite::GetCollectSong>(favorites, L"t", 0, 50)->songs),
       {Is("song_id", L"id-1"), Is("title", L"title-2"), Is("artist", L"artist-3"),
        Is("artist_id", L"artist-6"), Is("album", L"album-5"), Is("album_id", L"album-id-4"),
        Is("has_mv", true)}},
      {"favourite to buy",
       Describe(Answered<favorite::AddSongFavorite>(favorite_to_buy, L"t", L"1", 0)->item),
       {Is("song_id", L"id-1"), Is("song_title", L"title-2"), Is("author", L"author-3"),
        Is("album_title", L"album-4"), Is("album_pic", L"album-pic-5"),
        Is("resource_type_ext", 106), Is("buy_url", L"buy-7"), Is("song_pic", L"song-pic-8"),
        Is("publishtime", L"time-9")}},
      {"blocked favourite",
       Describe(Answered<favorite::AddSongFavorite>(blocked_favorite, L"t", L"1", 0)->item),
       {Is("tips", L"tips-11")}},
      {"upload check",
       Describe(
           *Answered<cloud::CheckFile>(upload_check, L"md5-11", L"slice-12", L"ext-13", 114, 115)),
       {Is("content_md5", L"md5-11"), Is("slice_md5", L"slice-12"), Is("ext", L"ext-13"),
        Is("content_length", 114), Is("content_crc32", 115), Is("song_id", L"id-1"),
        Is("host", L"host-4"), Is("file_link", L"link-2"), Is("object", L"object-3"),
        Is("time", 1700000005), Is("file_size", 5242886), Is("bucket", L"bucket-7")}},
      {"storage signature",
       Describe(*Answered<cloud::Signature>(storage_signature, L"object-1", 102, L"md5-3")),
       {Is("object", L"object-1"), Is("host", L"host-4"), Is("content_length", 105),
        Is("content_md5", L"md5-3"), Is("content_type", L"type-6"), Is("date", L"date-7"),
        Is("authorization", L"auth-8")}},
      {"cloud record",
       Describe(*Answered<cloud::Record>(R"({"result":{"song_id":"id-12"}})", L"token-1", L"md5-2",
                                         L"link-3", SongToRecord())),
       {Is("kwtok", L"token-1"), Is("md5", L"md5-2"), Is("file_link", L"link-3"),
        Is("song_id", L"id-12"), Is("song_title", L"title-5"), Is("artist_name", L"author-6"),
        Is("album_title", L"album-7"), Is("file_path", L"C:\\music\\file-8.mp3"),
        Is("file_bitrate", 111), Is("file_duration", 110), Is("file_size", 109)}},
      {"cloud quota",
       Describe(*Answered<cloud::Expand>(
           R"({"result":{"expand":102,"cloud_limit":103,"used":104}})", L"token-1")),
       {Is("kwtok", L"token-1"), Is("expand", 102), Is("cloud_limit", 103), Is("used", 104)}},
  };
  for (const RecordRow& row : rows) ExpectRecord(row);
}

TEST(GetSongLinkTest, RequestWithoutSongFailsWithoutSending) {
  lt::ScopedFakeTransport transport;
  GetSongLink request(nullptr, false, L"", false, L"");
  EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, "{}"), 1);
  EXPECT_FALSE(request.succeeded);
  EXPECT_TRUE(transport->Started().empty());
}

// Each rate text is followed by "lrclink", so a rate text that stopped the parse would show.
TEST(GetSongLinkTest, BestRate) {
  const std::pair<const char*, int32_t> cases[] = {
      {"", 0},           {"128, 320 ,flac", 2}, {"flac,128", 2},     {"128\\t,\\tflac", 2},
      {"128,320", 1},    {"128,256", 0},        {"128,320,FLAC", 1}, {"FLAC,320", 1},
      {" flac", 0},      {"ape,,999", 1},       {"320kbps", 1},      {"-320,128", 0},
      {"4294967616", 0},  // 2^32 + 320 does not fit in 32 bits and is skipped, not wrapped
  };
  for (const auto& [all_rate, best_rate] : cases) {
    const auto request =
        Resolve(FullAnswer(R"("all_rate":")" + std::string(all_rate) + R"(","lrclink":"L")"));
    EXPECT_TRUE(request->succeeded) << all_rate;
    EXPECT_EQ(request->item.best_rate, best_rate) << all_rate;
    EXPECT_EQ(request->item.lrclink, L"L") << all_rate;
  }
}

TEST(GetSongLinkTest, DefaultsAndFallbacks) {
  struct Case {
    const char *songinfo, *file;
    std::wstring song_file_id, pic_big, pic_small;
    bool free;
    const wchar_t* label;
  };
  const Case cases[] = {
      {"", "{}", L"", L"", L"", true, L"song_source_norda"},
      {R"("pic_small":"s","resource_type":1)", R"({"song_file_id":"0"})", L"", L"s", L"s", true,
       L"song_source_norda"},
      {R"("pic_huge":"h","pic_big":null,"resource_type":0)", R"({"song_file_id":0,"free":null})",
       L"", L"h", L"h", true, L"song_source_norda"},
      {R"("pic_huge":"","pic_big":"b","resource_type":-1)", R"({"song_file_id":10,"free":2})",
       L"10", L"b", L"b", true, L"song_source_net"},
  };
  ASSERT_NE(Label(L"song_source_norda"), Label(L"song_source_net"));
  for (const Case& c : cases) {
    const auto request = Resolve(FullAnswer(c.songinfo, std::string("[") + c.file + "]"));
    const GetSongLink::SongUrlItem& item = request->item;
    EXPECT_EQ(item.song_file_id, c.song_file_id) << c.file;
    EXPECT_EQ(item.free, c.free) << c.file;
    EXPECT_EQ(item.pic_big, c.pic_big) << c.songinfo;
    EXPECT_EQ(item.pic_small, c.pic_small) << c.songinfo;
    EXPECT_EQ(item.song_source, Label(c.label)) << c.songinfo;
  }
}

// Answers of shapes the readers do not take leave the record as it was made. A "result" of another
// type reads as nothing by the shared member reader, shown here once.
TEST(GetSongLinkTest, ShapesThatReadNothing) {
  const std::string kSong = R"({"song_id":"1","title":"T"})";
  const std::string kFile = R"([{"file_link":"F"}])";
  const std::string bodies[] = {
      R"({"result":{"songinfo":)" + kSong + "}}",
      R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":[]}})",
      R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":{"file_link":"F"}}})",
      R"({"result":{"songinfo":["1"],"bitrate":)" + kFile + "}}",
      R"({"result":[{"songinfo":)" + kSong + R"(,"bitrate":)" + kFile + "}]}",
      R"({"error_code":22469,"result":"buy"})",
  };
  for (const std::string& body : bodies) {
    const auto request = Resolve(body);
    EXPECT_TRUE(request->succeeded) << body;
    ExpectRecord({body.c_str(), Describe(request->item), {}});
  }
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

// --- Artist pictures, recommendations, the splash picture ---------------------------------------

TEST(GetArtistInfoTest, PictureListElseAvatar) {
  const std::pair<const char*, std::vector<std::wstring>> cases[] = {
      {R"({"pic_list":[{"url":"a"},{"size":1},{"url":"c"}],"avatar_s1000":"v"})",
       {L"a", L"", L"c"}},
      {R"({"pic_list":[],"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":{"url":"a"},"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":null,"avatar_s1000":""})", {}},
  };
  for (const auto& [body, pics] : cases) {
    const auto request = Answered<artist::GetArtistInfo>(body, L"1");
    EXPECT_TRUE(request->succeeded) << body;
    EXPECT_EQ(request->pics, pics) << body;
  }
}

// Only entries with a song id make records.
TEST(GetRecommendSongsTest, RecordsForEntriesWithSongId) {
  const std::pair<const char*, Ids> cases[] = {
      {R"({"result":{"list":[{"song_id":"1"},{"song_id":"0","title":"skipped"},{"song_id":3}]}})",
       {L"1", L"3"}},
      {R"({"result":{"list":[{"title":"x"},{"song_id":""},{"song_id":0},{"song_id":null}]}})", {}},
      {R"({"result":{"list":{"song_id":"1"}}})", {}},
  };
  for (const auto& [body, song_ids] : cases) {
    const auto request = Answered<recommend::GetRecommendSongs>(body, L"1");
    EXPECT_TRUE(request->succeeded) << body;
    Ids read;
    for (const auto& song : request->songs) read.push_back(song->song_id);
    EXPECT_EQ(read, song_ids) << body;
  }
}

// A refused answer, or a first entry without a picture, fails.
TEST(GetSplashPicTest, FirstPictureOrFailure) {
  struct Case {
    const char* body;
    bool succeeded;
    int32_t status;
    std::wstring pic;
  };
  const Case cases[] = {
      {R"({"result":[{"pic":"A"},{"pic":"B"}]})", true, 22000, L"A"},
      {R"({"result":{"pic":"A"}})", true, 22000, L""},
      {R"({"result":[]})", true, 22000, L""},
      {R"({"error_code":24003,"result":[{"pic":"A"}]})", false, 24003, L""},
      {R"({"result":[{"url":"A"},{"pic":"B"}]})", false, 22000, L""},
  };
  for (const Case& c : cases) {
    const auto request = Answered<splash::GetSplashPic>(c.body);
    EXPECT_EQ(request->succeeded, c.succeeded) << c.body;
    EXPECT_EQ(request->status, c.status) << c.body;
    EXPECT_EQ(request->pic, c.pic) << c.body;
  }
}

// --- Radio --------------------------------------------------------------------------------------

using radio::GetPrivateRadioSongs;
using radio::GetPublicRadioSongs;
using radio::GetSceneSongs;
using radio::RadioPlayAction;

// The public and scene radios read the account token anew for every address.
TEST(RadioTest, PublicRadiosReadTheAccountTokenForEveryAddress) {
  auto& account = settings::user::UserAccountSettings::Instance();
  const std::wstring saved = account._GetKwtok();
  GetPublicRadioSongs public_songs(L"Jazz");
  GetSceneSongs scene(L"42");
  for (const wchar_t* token : {L"acct", L"new"}) {
    account.SetKwtok(token);
    const std::string expected = base::string_utils::ToUtf8(token);
    EXPECT_EQ(lt::ValueOf(lt::OwnPairs(public_songs.BuildUrl()), "kwtok"), expected);
    EXPECT_EQ(lt::ValueOf(lt::OwnPairs(scene.BuildUrl()), "kwtok"), expected);
  }
  account.SetKwtok(saved);
}

// Without a token the play action sends no kwtok pair (the parameters test has one with it).
TEST(RadioTest, PlayActionLeavesOutAnEmptyToken) {
  RadioPlayAction action(L"");
  for (const auto& [name, value] : lt::OwnPairs(action.BuildUrl())) EXPECT_NE(name, "kwtok");
}

// [{key:"1"}, ..., {key:"n"}]
std::string List(const std::string& key, int n) {
  std::string list = "[";
  for (int i = 1; i <= n; ++i) {
    list += (i > 1 ? ",{\"" : "{\"") + key + "\":\"" + std::to_string(i) + "\"}";
  }
  return list + "]";
}

Ids Numbered(int first, int last) {
  Ids ids;
  for (int i = first; i <= last; ++i) ids.push_back(std::to_wstring(i));
  return ids;
}

// Runs `request` `runs` times, each answered with `body`; returns the ids it then holds.
template <class Request>
Ids IdsAfter(Request&& request, const std::string& body, int runs = 1) {
  lt::ScopedFakeTransport transport;
  for (int i = 0; i < runs; ++i) EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
  EXPECT_TRUE(request.succeeded) << body;
  return request.song_ids;
}

TEST(RadioTest, ReadsSongIds) {
  const std::string mixed = R"([{"songid":"1","song_id":"9"},{"songid":2},{}])";
  const std::string songlist = R"({"result":{"songlist":)";

  EXPECT_EQ(IdsAfter(GetPublicRadioSongs(L"p"), songlist + mixed + "}}"), (Ids{L"1", L"2", L""}));
  EXPECT_EQ(IdsAfter(GetSceneSongs(L"s"), songlist + mixed + "}}"), (Ids{L"9", L"", L""}));
  EXPECT_EQ(IdsAfter(GetPublicRadioSongs(L"p"), songlist + List("songid", 3) + "}}", 2),
            (Ids{L"1", L"2", L"3", L"1", L"2", L"3"}));

  // The personal radio's list is at the top level, and it keeps at most 10 ids in all.
  EXPECT_EQ(
      IdsAfter(GetPrivateRadioSongs(L"u", L"t"), R"({"songinfo":)" + List("song_id", 25) + "}"),
      Numbered(1, 10));
  Ids six_then_four = Numbered(1, 6);
  six_then_four.insert(six_then_four.end(), {L"1", L"2", L"3", L"4"});
  EXPECT_EQ(
      IdsAfter(GetPrivateRadioSongs(L"u", L"t"), R"({"songinfo":)" + List("song_id", 6) + "}", 2),
      six_then_four);
  EXPECT_EQ(IdsAfter(GetPrivateRadioSongs(L"u", L"t"),
                     R"({"result":{"songinfo":)" + List("song_id", 3) + "}}"),
            Ids{});
}

// --- Cloud storage: unsigned numbers, the file description a record sends, the answers' edge
// cases (the upload runs end to end in the integration tests) --------------------------------

using cloud::CheckFile;
using cloud::Record;
using cloud::Signature;

TEST(CloudTest, CheckFileReadsEveryAnswerAndDropsSongIdZero) {
  struct Case {
    std::string body;
    int32_t status;
    std::wstring song_id;
  };
  const Case cases[] = {
      {R"({"result":{"song_id":"0"}})", 22000, L""},
      {R"({"error_code":22001,"result":{"song_id":"5"}})", 22001, L"5"},
  };
  for (const Case& c : cases) {
    const auto request = Answered<CheckFile>(c.body, L"cmd5", L"smd5", L"mp3", 1, 2);
    EXPECT_TRUE(request->succeeded) << c.body;
    EXPECT_EQ(std::tie(request->status, request->song_id), std::tie(c.status, c.song_id));
  }
}

TEST(CloudTest, SignatureReadsWhatTheAnswerHas) {
  struct Case {
    std::string body;
    bool succeeded;
    std::wstring host;
    uint64_t content_length;
  };
  const Case cases[] = {
      {R"({"result":{"Host":"h"}})", true, L"h", 0},
      {R"({"error_code":22001,"result":{"Host":"h"}})", false, L"", 1234},
  };
  for (const Case& c : cases) {
    const auto request = Answered<Signature>(c.body, L"o", 1234, L"cmd5");
    EXPECT_EQ(request->succeeded, c.succeeded) << c.body;
    EXPECT_EQ(std::tie(request->host, request->content_length, request->authorization),
              std::tie(c.host, c.content_length, L""));
  }
}

struct File {
  std::wstring path;
  uint32_t duration_ms;
  int32_t bitrate;
  uint64_t size;
};

std::shared_ptr<utilities::SongInfo> MakeSong(const std::vector<File>& files) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = L"s1";
  song->title = L"Title";
  for (const File& f : files) {
    song->files.push_back(std::make_shared<utilities::SongFile>(
        utilities::SongFile{f.path, f.size, f.duration_ms, f.bitrate}));
  }
  return song;
}

// The file's name from a path with both separators and dotted folders, whole seconds rounded
// down, and a negative bit rate as unsigned; the song is read once, when the request is made.
// (The parameters test has the plain case.)
TEST(CloudTest, RecordDescribesTheSongsFirstFile) {
  auto song = MakeSong({{L"C:/dir.v2\\My Song.ogg", 1999, -1, 7}, {L"D:\\x.wav", 60000, 9, 99}});
  Record request(L"t", L"m", L"l", song);
  song->title = L"Changed";
  song->files.front()->path = L"D:\\other.wav";
  const lt::Pairs sent = lt::OwnPairs(request.BuildUrl());
  std::string described;
  for (const char* name :
       {"song_title", "file_name", "file_bitrate", "file_duartion", "file_size", "ext"}) {
    described += lt::ValueOf(sent, name) + "|";
  }
  EXPECT_EQ(described, "Title|My Song|4294967295|1|7|ogg|");
}

TEST(CloudTest, RecordWithoutAnExtensionSendsNothingAndFails) {
  const std::vector<File> cases[] = {
      {},
      {{L"D:\\Music.d\\noext", 1000, 320, 1}, {L"D:\\b.mp3", 1000, 320, 1}},
  };
  for (const auto& files : cases) {
    lt::ScopedFakeTransport transport;
    Record request(L"tok", L"md5x", L"link", MakeSong(files));
    EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, "{}"), 1);
    EXPECT_TRUE(transport->Started().empty());
    EXPECT_EQ(std::make_tuple(request.finished.load(), request.succeeded, request.status),
              std::make_tuple(true, false, 0));
  }
}

TEST(CloudTest, RecordDropsSongIdZero) {
  const auto request = Answered<Record>(R"({"result":{"song_id":"0"}})", L"tok", L"md5x", L"link",
                                        MakeSong({{L"a.mp3", 1000, 320, 1}}));
  EXPECT_TRUE(request->succeeded);
  EXPECT_EQ(request->song_id, L"");
}

}  // namespace
}  // namespace lumoapi
