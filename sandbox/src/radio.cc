// Radio methods: public channels, the personal radio, scenes and play actions. Each listener
// has a cursor per channel or scene, so successive calls move on through its songs.
#include "handlers.h"
#include "refusal.h"
#include "songs.h"
#include "store.h"

namespace lumo::sandbox {
namespace {

constexpr int kPrivateRadioBatch = 10;
constexpr int kPlayActionBatch = 12;

int64_t ChannelId(Db& db, const std::string& name) {
  Query query = db.Sql("SELECT id FROM radio_channels WHERE name = ?", name);
  if (!query.Next()) throw Refusal(code::kNoSuchChannel, "no radio channel " + name);
  return query.Int(0);
}

std::string Listener(const Call& call) {
  return call.user ? std::to_string(call.user->id) : std::string("anonymous");
}

// The next `count` free songs whose id falls in the class `remainder` modulo `modulus`, from the
// cursor `key` on, wrapping at the end; the cursor moves past them.
std::vector<SongRow> NextBatch(Db& db, const std::string& key, int64_t modulus, int64_t remainder,
                               int64_t count) {
  int64_t pos = 0;
  {
    Query cursor = db.Sql("SELECT pos FROM radio_cursors WHERE key = ?", key);
    if (cursor.Next()) pos = cursor.Int(0);
  }
  std::vector<SongRow> songs;
  for (int pass = 0; pass < 2 && static_cast<int64_t>(songs.size()) < count; ++pass) {
    Query rows = db.Sql(SANDBOX_SONG_SELECT
                        "WHERE s.access = 0 AND s.id % ?1 = ?2 AND s.id > ?3 ORDER BY s.id "
                        "LIMIT ?4",
                        modulus, remainder, pass == 0 ? pos : int64_t{0},
                        count - static_cast<int64_t>(songs.size()));
    while (rows.Next()) songs.push_back(ReadSong(rows));
  }
  if (!songs.empty()) {
    db.Sql(
          "INSERT INTO radio_cursors(key, pos) VALUES(?1, ?2) "
          "ON CONFLICT(key) DO UPDATE SET pos = ?2",
          key, songs.back().id)
        .Run();
  }
  return songs;
}

Json SongItem(const SongRow& song, const char* id_key) {
  Json item = Json::object();
  item[JsonString(id_key)] = IdText(song.id);
  item[U("title")] = Text(song.title);
  item[U("artist")] = Text(song.author);
  return item;
}

Json SongArray(const std::vector<SongRow>& songs, const char* id_key) {
  Json list = Json::array();
  for (size_t i = 0; i < songs.size(); ++i) list[i] = SongItem(songs[i], id_key);
  return list;
}

Json GetPublicRadioSongs(const Call& call, HandlerContext& context) {
  int64_t count = IntParam(call, "rn", 1, 100);
  int64_t channel = ChannelId(context.db, call.Get("channelname"));
  std::vector<SongRow> songs =
      NextBatch(context.db, "channel:" + std::to_string(channel) + ":" + Listener(call), 12,
                channel - 1, count);
  Json result = Json::object();
  result[U("channelname")] = Text(call.Get("channelname"));
  result[U("songlist")] = SongArray(songs, "songid");
  return ResultAnswer(result);
}

Json GetPrivateRadioSongs(const Call& call, HandlerContext& context) {
  bool with_data = ChoiceParam(call, "needdata", {"true", "false"}) == "true";
  std::vector<SongRow> songs;
  if (with_data) {
    songs = NextBatch(context.db, "private:" + Listener(call), 7, call.user->id % 7,
                      kPrivateRadioBatch);
  }
  Json answer = Answer();
  answer[U("usrname")] = Text(call.Get("usrname"));
  answer[U("songinfo")] = SongArray(songs, "song_id");
  return answer;
}

Json GetSceneSongs(const Call& call, HandlerContext& context) {
  int64_t scene = IdParam(call, "scene_id");
  IdParam(call, "item_id");
  int64_t count = IntParam(call, "page_size", 1, 100);
  Query found = context.db.Sql("SELECT name FROM scenes WHERE id = ?", scene);
  if (!found.Next()) throw Refusal(code::kNoSuchScene, "no scene " + std::to_string(scene));
  std::vector<SongRow> songs = NextBatch(
      context.db, "scene:" + std::to_string(scene) + ":" + Listener(call), 8, scene - 1, count);
  Json result = Json::object();
  result[U("scene_id")] = IdText(scene);
  result[U("scene_name")] = Text(found.Text(0));
  result[U("songlist")] = SongArray(songs, "song_id");
  return ResultAnswer(result);
}

// The channel goes on after the song acted on.
Json RadioPlayAction(const Call& call, HandlerContext& context) {
  if (call.Get("nordaid").empty()) throw Refusal(code::kInvalidValue, "nordaid: empty");
  IntParam(call, "action_no", INT32_MIN, INT32_MAX);
  int64_t channel = ChannelId(context.db, call.Get("ch_name"));
  SongRow item = LoadSongOrRefuse(context.db, IdParam(call, "item_id"));
  std::vector<SongRow> songs;
  Query rows = context.db.Sql(SANDBOX_SONG_SELECT
                              "WHERE s.access = 0 AND s.id % 12 = ? AND s.id > ? "
                              "ORDER BY s.id LIMIT ?",
                              channel - 1, item.id, int64_t{kPlayActionBatch});
  while (rows.Next()) songs.push_back(ReadSong(rows));
  Json result = Json::object();
  result[U("list")] = SongArray(songs, "songid");
  return ResultAnswer(result);
}

}  // namespace

void AddRadioHandlers(Router& router) {
  router.Add("norda.lumo.radio.getChannelSong", GetPublicRadioSongs);
  router.Add("norda.lumo.radio.serv", GetPrivateRadioSongs);
  router.Add("norda.lumo.song.getSmartSongList", GetSceneSongs);
  router.Add("norda.lumo.radio.playAction", RadioPlayAction);
}

}  // namespace lumo::sandbox
