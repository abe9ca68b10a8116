#include "songs.h"

#include "refusal.h"
#include "seed.h"
#include "store.h"

namespace lumo::sandbox {

SongRow ReadSong(const Query& query) {
  SongRow song;
  song.id = query.Int(0);
  song.title = query.Text(1);
  song.author = query.Text(2);
  song.artist_ids = query.Text(3);
  song.album_id = query.Int(4);
  song.album_title = query.Text(5);
  song.publishtime = query.Text(6);
  song.all_rate = query.Text(7);
  song.access = static_cast<int>(query.Int(8));
  song.resource_type = static_cast<int>(query.Int(9));
  song.has_mv = static_cast<int>(query.Int(10));
  song.play_type = static_cast<int>(query.Int(11));
  song.relate_status = static_cast<int>(query.Int(12));
  song.duration = static_cast<int>(query.Int(13));
  song.pic_huge = query.Text(14);
  song.pic_premium = query.Text(15);
  song.pic_big = query.Text(16);
  song.pic_small = query.Text(17);
  song.lrclink = query.Text(18);
  return song;
}

std::optional<SongRow> LoadSong(Db& db, int64_t id) {
  Query query = db.Sql(SANDBOX_SONG_SELECT "WHERE s.id = ?", id);
  if (!query.Next()) return std::nullopt;
  return ReadSong(query);
}

SongRow LoadSongOrRefuse(Db& db, int64_t id) {
  std::optional<SongRow> song = LoadSong(db, id);
  if (!song) throw Refusal(code::kNoSuchSong, "no song " + std::to_string(id));
  return std::move(*song);
}

std::vector<SongRow> LoadSongs(Db& db, const std::vector<int64_t>& ids) {
  std::vector<SongRow> songs;
  songs.reserve(ids.size());
  for (int64_t id : ids) {
    if (std::optional<SongRow> song = LoadSong(db, id)) songs.push_back(std::move(*song));
  }
  return songs;
}

std::optional<Json> UnavailableSongAnswer(const SongRow& song) {
  Json result = Json::object();
  if (song.access == kSongBlocked) {
    result[U("tips")] = Text("This song is not available in your region (该歌曲暂时无法播放)");
    return ResultAnswer(result, code::kBlockedSong);
  }
  if (song.access != kSongPaid) return std::nullopt;
  result[U("song_id")] = IdText(song.id);
  result[U("song_title")] = Text(song.title);
  result[U("author")] = Text(song.author);
  result[U("album_title")] = Text(song.album_title);
  result[U("album_pic")] = Text(song.pic_big);
  result[U("song_pic")] = Text(song.pic_small);
  result[U("publishtime")] = Text(song.publishtime);
  result[U("buy_url")] = Text("http://pay.lumo.example/song/" + std::to_string(song.id));
  result[U("resource_type_ext")] = Number(1);
  return ResultAnswer(result, code::kPaidSong);
}

}  // namespace lumo::sandbox
