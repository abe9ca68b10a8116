// Every field of the song-list records from its own key: list entries, a list, its songs, an album
// read as a list, and the comment count.
#include <gtest/gtest.h>

#include <string>

#include "lumoapi/diy/get_album_info.h"
#include "lumoapi/diy/get_comment_list.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/diy/get_playlists.h"
#include "support/answered.h"
#include "support/record_fields.h"

namespace lumo::testing {

LUMO_FIELDS_OF(lumoapi::diy::PlayListItem, LUMO_FIELD(list_id), LUMO_FIELD(title), LUMO_FIELD(pic),
               LUMO_FIELD(song_num), LUMO_FIELD(capacity), LUMO_FIELD(kind))
LUMO_FIELDS_OF(lumoapi::diy::PlayListInfo, LUMO_FIELD(userid), LUMO_FIELD(username),
               LUMO_FIELD(userpic), LUMO_FIELD(list_id), LUMO_FIELD(list_pic),
               LUMO_FIELD(list_title), LUMO_FIELD(list_tag), LUMO_FIELD(list_desc),
               LUMO_FIELD(createtime), LUMO_FIELD(lastmodify), LUMO_FIELD(share_num),
               LUMO_FIELD(listen_num), LUMO_FIELD(comment_num), LUMO_FIELD(share_url),
               LUMO_FIELD(collect_num))
LUMO_FIELDS_OF(lumoapi::diy::PlayListSong, LUMO_FIELD(song_id), LUMO_FIELD(title),
               LUMO_FIELD(author), LUMO_FIELD(artist_id), LUMO_FIELD(album_title),
               LUMO_FIELD(album_id), LUMO_FIELD(pic_big), LUMO_FIELD(pic_small), LUMO_FIELD(has_mv))
LUMO_FIELDS_OF(lumoapi::diy::GetCommentList, LUMO_FIELD(type_id), LUMO_FIELD(type),
               LUMO_FIELD(size), LUMO_FIELD(offset), LUMO_FIELD(commentlist_last_nums))

}  // namespace lumo::testing

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;
using lt::Describe;
using lt::ExpectRecord;
using lt::Is;
using lt::RecordRow;
using lt::TheOne;

TEST(RecordReadersTest, SongListFieldsFromTheirOwnKeys) {
  // Where one reader's answer could carry another reader's keys, it does ("x"), so that a reader
  // that takes one of them shows.
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

  using diy::GetPlayList;
  using diy::GetPlayLists;
  const RecordRow rows[] = {
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
  };
  for (const RecordRow& row : rows) ExpectRecord(row);
}

}  // namespace
}  // namespace lumoapi
