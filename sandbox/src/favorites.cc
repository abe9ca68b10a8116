// Favourite and collected songs: pages by position ("pn") and count ("rn"), newest first, and
// adding and removing them.
#include "handlers.h"
#include "refusal.h"
#include "seed.h"
#include "songs.h"
#include "store.h"

namespace lumo::sandbox {
namespace {

struct Page {
  int64_t pn;
  int64_t rn;
};

Page PageParams(const Call& call) {
  return {IntParam(call, "pn", 0, 100000000), IntParam(call, "rn", 1, 100)};
}

// A page of the user's songs in `table` (favorites or collected), newest first.
Json SongPage(const Call& call, HandlerContext& context, const std::string& table,
              std::initializer_list<Field> fields) {
  Page page = PageParams(call);
  int64_t total =
      context.db.Scalar("SELECT COUNT(*) FROM " + table + " WHERE user_id = ?", call.user->id);
  Query rows = context.db.Sql(SANDBOX_SONG_SELECT "JOIN " + table +
                                  " t ON t.song_id = s.id WHERE t.user_id = ? "
                                  "ORDER BY t.seq DESC LIMIT ? OFFSET ?",
                              call.user->id, page.rn, page.pn);
  Json answer = Answer();
  answer[U("havemore")] = Number(page.pn + page.rn < total ? 1 : 0);
  answer[U("total")] = Number(total);
  answer[U("result")] = RowsToArray(rows, fields);
  return answer;
}

Json GetFavoriteSong(const Call& call, HandlerContext& context) {
  Json answer = SongPage(call, context, "favorites",
                         {{"song_id", kSongId, As::kId},
                          {"title", kSongTitle, As::kText},
                          {"artist", kSongAuthor, As::kText},
                          {"album_id", kSongAlbumId, As::kId},
                          {"album", kSongAlbumTitle, As::kText},
                          {"resource_type", kSongResourceType, As::kNumber}});
  for (Json& song : answer[U("result")].as_array()) song[U("del_status")] = Number(0);
  return answer;
}

// A page past the last collected song answers 22001 with an empty "result".
Json GetCollectSong(const Call& call, HandlerContext& context) {
  Json answer = SongPage(call, context, "collected",
                         {{"song_id", kSongId, As::kId},
                          {"title", kSongTitle, As::kText},
                          {"artist", kSongAuthor, As::kText},
                          {"all_artist_id", kSongArtistIds, As::kText},
                          {"album", kSongAlbumTitle, As::kText},
                          {"album_id", kSongAlbumId, As::kId},
                          {"has_mv", kSongHasMv, As::kNumber}});
  if (answer[U("result")].size() == 0)
    answer[U("error_code")] = Json::number(code::kNoCollectedSongs);
  return answer;
}

// Adds `song` to the user's favourites unless it is there; true when it was added.
bool AddFavorite(Db& db, int64_t user, int64_t song, int64_t time) {
  db.Sql(
        "INSERT OR IGNORE INTO favorites(user_id, song_id, seq, time) VALUES(?1, ?2, "
        "(SELECT COALESCE(MAX(seq), 0) + 1 FROM favorites WHERE user_id = ?1), ?3)",
        user, song, time)
      .Run();
  return db.Changes() > 0;
}

// Adds one song: 22322 when it is a favourite already, the purchase data (22469) for a paid
// song and "tips" (24003) for a blocked one; neither of those two is added.
Json AddSongFavorite(const Call& call, HandlerContext& context) {
  SongRow song = LoadSongOrRefuse(context.db, IdParam(call, "songId"));
  int64_t time = IntParam(call, "time", INT64_MIN + 1, INT64_MAX);
  if (std::optional<Json> refused = UnavailableSongAnswer(song)) return *refused;
  Json result = Json::object();
  result[U("song_id")] = IdText(song.id);
  bool added = AddFavorite(context.db, call.user->id, song.id, time);
  return ResultAnswer(result, added ? code::kOk : code::kAlreadyFavorite);
}

// Adds the free songs that are not favourites yet, in the given order; the answer lists them.
Json AddSongFavorites(const Call& call, HandlerContext& context) {
  std::vector<int64_t> ids = IdListParam(call, "songId", false);
  Json added = Json::array();
  size_t n = 0;
  for (const SongRow& song : LoadSongs(context.db, ids)) {
    if (song.access == kSongFree && AddFavorite(context.db, call.user->id, song.id, context.now)) {
      added[n++] = IdText(song.id);
    }
  }
  return ResultAnswer(added);
}

Json DeleteFrom(const char* sql, const Call& call, HandlerContext& context) {
  int64_t deleted = 0;
  for (int64_t id : IdListParam(call, "songId", false)) {
    context.db.Sql(sql, call.user->id, id).Run();
    deleted += context.db.Changes();
  }
  Json result = Json::object();
  result[U("deleted")] = Number(deleted);
  return ResultAnswer(result);
}

Json DelCollectSong(const Call& call, HandlerContext& context) {
  return DeleteFrom("DELETE FROM collected WHERE user_id = ? AND song_id = ?", call, context);
}

Json DelSongFavorites(const Call& call, HandlerContext& context) {
  return DeleteFrom("DELETE FROM favorites WHERE user_id = ? AND song_id = ?", call, context);
}

}  // namespace

void AddFavoriteHandlers(Router& router) {
  router.Add("norda.lumo.favorite.getFavoriteSong", GetFavoriteSong);
  router.Add("norda.lumo.favorite.getCollectSong", GetCollectSong);
  router.Add("norda.lumo.favorite.addSongFavorite", AddSongFavorite);
  router.Add("norda.lumo.favorite.addSongFavorites", AddSongFavorites);
  router.Add("norda.lumo.favorite.delCollectSong", DelCollectSong);
  router.Add("norda.lumo.favorite.delSongFavorites", DelSongFavorites);
}

}  // namespace lumo::sandbox
