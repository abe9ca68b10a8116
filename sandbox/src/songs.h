// Reading catalogue songs for the handlers: one row shape, loaded singly or in order.
#ifndef SANDBOX_SRC_SONGS_H_
#define SANDBOX_SRC_SONGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "handlers.h"

namespace lumo::sandbox {

class Query;

struct SongRow {
  int64_t id = 0;
  std::string title;
  std::string author;
  std::string artist_ids;  // comma-separated
  int64_t album_id = 0;
  std::string album_title;
  std::string publishtime;
  std::string all_rate;
  int access = 0;
  int resource_type = 0;
  int has_mv = 0;
  int play_type = 0;
  int relate_status = 0;
  int duration = 0;
  std::string pic_huge;
  std::string pic_premium;
  std::string pic_big;
  std::string pic_small;
  std::string lrclink;
};

// The column list and join every song query starts with; ReadSong reads a row of it.
#define SANDBOX_SONG_SELECT                                                            \
  "SELECT s.id, s.title, s.author, s.artist_ids, s.album_id, a.title, a.publishtime, " \
  "s.all_rate, s.access, s.resource_type, s.has_mv, s.play_type, s.relate_status, "    \
  "s.duration, s.pic_huge, s.pic_premium, s.pic_big, s.pic_small, s.lrclink "          \
  "FROM songs s JOIN albums a ON a.id = s.album_id "

// The columns of SANDBOX_SONG_SELECT, for RowsToArray.
enum SongColumn : int {
  kSongId,
  kSongTitle,
  kSongAuthor,
  kSongArtistIds,
  kSongAlbumId,
  kSongAlbumTitle,
  kSongPublishtime,
  kSongAllRate,
  kSongAccess,
  kSongResourceType,
  kSongHasMv,
  kSongPlayType,
  kSongRelateStatus,
  kSongDuration,
  kSongPicHuge,
  kSongPicPremium,
  kSongPicBig,
  kSongPicSmall,
  kSongLrclink,
};

SongRow ReadSong(const Query& query);
std::optional<SongRow> LoadSong(Db& db, int64_t id);
// Refuses with kNoSuchSong.
SongRow LoadSongOrRefuse(Db& db, int64_t id);
// The songs that exist, in the order of `ids`.
std::vector<SongRow> LoadSongs(Db& db, const std::vector<int64_t>& ids);

// The answer for a song that cannot be played: 24003 with the refusal text for a blocked song,
// 22469 with the purchase data for a paid one; nothing for a free song.
std::optional<Json> UnavailableSongAnswer(const SongRow& song);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_SONGS_H_
