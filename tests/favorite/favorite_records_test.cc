// Every field of the favourite records from its own key: favourite and collected songs, and the
// song to buy or blocked that adding a favourite may answer.
#include <gtest/gtest.h>

#include <string>

#include "lumoapi/favorite/add_song_favorite.h"
#include "lumoapi/favorite/get_collect_song.h"
#include "lumoapi/favorite/get_favorite_song.h"
#include "support/answered.h"
#include "support/record_fields.h"

namespace lumo::testing {

using BuyItem = lumoapi::favorite::AddSongFavorite::ResultItem;

LUMO_FIELDS_OF(lumoapi::favorite::FavoriteSongItem, LUMO_FIELD(song_id), LUMO_FIELD(title),
               LUMO_FIELD(artist), LUMO_FIELD(album_id), LUMO_FIELD(album), LUMO_FIELD(del_status),
               LUMO_FIELD(resource_type))
LUMO_FIELDS_OF(lumoapi::favorite::CollectSongItem, LUMO_FIELD(song_id), LUMO_FIELD(title),
               LUMO_FIELD(artist), LUMO_FIELD(artist_id), LUMO_FIELD(album), LUMO_FIELD(album_id),
               LUMO_FIELD(has_mv))
LUMO_FIELDS_OF(BuyItem, LUMO_FIELD(song_id), LUMO_FIELD(song_title), LUMO_FIELD(author),
               LUMO_FIELD(album_title), LUMO_FIELD(album_pic), LUMO_FIELD(resource_type_ext),
               LUMO_FIELD(buy_url), LUMO_FIELD(song_pic), LUMO_FIELD(publishtime), LUMO_FIELD(tips))

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

TEST(RecordReadersTest, FavoriteFieldsFromTheirOwnKeys) {
  // Where one reader's answer could carry another reader's keys, it does ("x"), so that a reader
  // that takes one of them shows.
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

  const RecordRow rows[] = {
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
  };
  for (const RecordRow& row : rows) ExpectRecord(row);
}

}  // namespace
}  // namespace lumoapi
