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

int64_t Count(Db& db, const char* sql, int64_t user) {
  Query query = db.Sql(sql, user);
  query.Next();
  return query.Int(0);
}

Json GetFavoriteSong(const Call& call, HandlerContext& context) {
  Page page = PageParams(call);
  int64_t total =
      Count(context.db, "SELECT COUNT(*) FROM favorites WHERE user_id = ?", call.user->id);
  Json songs = Json::array();
  size_t n = 0;
  Query rows = context.db.Sql(SANDBOX_SONG_SELECT
                              "JOIN favorites f ON f.song_id = s.id WHERE f.user_id = ? "
                              "ORDER BY f.seq DESC LIMIT ? OFFSET ?",
                              call.user->id, page.rn, page.pn);
  while (rows.Next()) {
    SongRow song = ReadSong(rows);
    Json item = Json::object();
    item["song_id"] = IdText(song.id);
    item["title"] = Text(song.title);
    item["artist"] = Text(song.author);
    item["album_id"] = IdText(song.album_id);
    item["album"] = Text(song.album_title);
    item["del_status"] = Number(0);
    item["resource_type"] = Number(song.resource_type);
    songs[n++] = item;
  }
  Json answer = Answer();
  answer["havemore"] = Number(page.pn + page.rn < total ? 1 : 0);
  answer["total"] = Number(total);
  answer["result"] = songs;
  return answer;
}

// A page past the last collected song answers 22001 with an empty "result".
Json GetCollectSong(const Call& call, HandlerContext& context) {
  Page page = PageParams(call);
  int64_t total =
      Count(context.db, "SELECT COUNT(*) FROM collected WHERE user_id = ?", call.user->id);
  Json songs = Json::array();
  size_t n = 0;
  Query rows = context.db.Sql(SANDBOX_SONG_SELECT
                              "JOIN collected c ON c.song_id = s.id WHERE c.user_id = ? "
                              "ORDER BY c.seq DESC LIMIT ? OFFSET ?",
                              call.user->id, page.rn, page.pn);
  while (rows.Next()) {
    SongRow song = ReadSong(rows);
    Json item = Json::object();
    item["song_id"] = IdText(song.id);
    item["title"] = Text(song.title);
    item["artist"] = Text(song.author);
    item["all_artist_id"] = Text(song.artist_ids);
    item["album"] = Text(song.album_title);
    item["album_id"] = IdText(song.album_id);
    item["has_mv"] = Number(song.has_mv);
    songs[n++] = item;
  }
  Json answer = Answer(n == 0 ? code::kNoCollectedSongs : code::kOk);
  answer["havemore"] = Number(page.pn + page.rn < total ? 1 : 0);
  answer["total"] = Number(total);
  answer["result"] = songs;
  return answer;
}

// Adds one song: 22322 when it is a favourite already, the purchase data (22469) for a paid
// song and "tips" (24003) for a blocked one; neither of those two is added.
Json AddSongFavorite(const Call& call, HandlerContext& context) {
  SongRow song = LoadSongOrRefuse(context.db, IdParam(call, "songId"));
  int64_t time = IntParam(call, "time", INT64_MIN + 1, INT64_MAX);
  Json result = Json::object();
  result["song_id"] = IdText(song.id);
  if (song.access == kSongBlocked) {
    Json answer = Answer(code::kBlockedSong);
    answer["result"] = BlockedResult();
    return answer;
  }
  if (song.access == kSongPaid) {
    Json answer = Answer(code::kPaidSong);
    answer["result"] = PurchaseResult(song);
    return answer;
  }
  context.db
      .Sql(
          "INSERT OR IGNORE INTO favorites(user_id, song_id, seq, time) VALUES(?1, ?2, "
          "(SELECT COALESCE(MAX(seq), 0) + 1 FROM favorites WHERE user_id = ?1), ?3)",
          call.user->id, song.id, time)
      .Run();
  Json answer = Answer(context.db.Changes() == 0 ? code::kAlreadyFavorite : code::kOk);
  answer["result"] = result;
  return answer;
}

// Adds the free songs that are not favourites yet, in the given order; the answer lists them.
Json AddSongFavorites(const Call& call, HandlerContext& context) {
  std::vector<int64_t> ids = IdListParam(call, "songId", false);
  Json added = Json::array();
  size_t n = 0;
  for (const SongRow& song : LoadSongs(context.db, ids)) {
    if (song.access != kSongFree) continue;
    context.db
        .Sql(
            "INSERT OR IGNORE INTO favorites(user_id, song_id, seq, time) VALUES(?1, ?2, "
            "(SELECT COALESCE(MAX(seq), 0) + 1 FROM favorites WHERE user_id = ?1), ?3)",
            call.user->id, song.id, context.now)
        .Run();
    if (context.db.Changes() > 0) added[n++] = IdText(song.id);
  }
  Json answer = Answer();
  answer["result"] = added;
  return answer;
}

Json DeleteFrom(const char* sql, const Call& call, HandlerContext& context) {
  int64_t deleted = 0;
  for (int64_t id : IdListParam(call, "songId", false)) {
    context.db.Sql(sql, call.user->id, id).Run();
    deleted += context.db.Changes();
  }
  Json result = Json::object();
  result["deleted"] = Number(deleted);
  Json answer = Answer();
  answer["result"] = result;
  return answer;
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
