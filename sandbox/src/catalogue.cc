// Catalogue methods: song links, search, lyrics lookup, artists, albums, recommendations, the
// splash picture, list channels and comment counts.
#include <algorithm>

#include "crypto.h"
#include "handlers.h"
#include "refusal.h"
#include "seed.h"
#include "songs.h"
#include "store.h"

namespace lumo::sandbox {
namespace {

constexpr int64_t kLinkLifetimeSeconds = 1800;
constexpr int kFlacBitrate = 900;

Json SongInfo(const SongRow& song) {
  Json info = Json::object();
  info[U("song_id")] = IdText(song.id);
  info[U("title")] = Text(song.title);
  info[U("author")] = Text(song.author);
  info[U("artist_id")] = Text(song.artist_ids);
  info[U("album_title")] = Text(song.album_title);
  info[U("album_id")] = IdText(song.album_id);
  info[U("pic_huge")] = Text(song.pic_huge);
  info[U("pic_premium")] = Text(song.pic_premium);
  info[U("pic_big")] = Text(song.pic_big);
  info[U("pic_small")] = Text(song.pic_small);
  info[U("play_type")] = Number(song.play_type);
  info[U("relate_status")] = Number(song.relate_status);
  info[U("all_rate")] = Text(song.all_rate);
  info[U("lrclink")] = Text(song.lrclink);
  info[U("resource_type")] = Number(song.resource_type);
  info[U("has_mv")] = Number(song.has_mv);
  return info;
}

// "songid" is an id, or a title with "$$" and the author, or a title alone.
SongRow ResolveSong(Db& db, const std::string& songid) {
  if (!songid.empty() && songid.size() <= 18 &&
      std::all_of(songid.begin(), songid.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return LoadSongOrRefuse(db, std::stoll(songid));
  }
  size_t split = songid.find("$$");
  std::string title = songid.substr(0, split);
  if (title.empty()) throw Refusal(code::kInvalidValue, "songid: empty title");
  std::optional<int64_t> id;
  if (split == std::string::npos) {
    Query query = db.Sql("SELECT id FROM songs WHERE title = ? ORDER BY id LIMIT 1", title);
    if (query.Next()) id = query.Int(0);
  } else {
    Query query = db.Sql("SELECT id FROM songs WHERE title = ? AND author = ? ORDER BY id LIMIT 1",
                         title, songid.substr(split + 2));
    if (query.Next()) id = query.Int(0);
  }
  if (!id) throw Refusal(code::kNoSuchSong, "no song named " + songid);
  return LoadSongOrRefuse(db, *id);
}

Json GetSongLink(const Call& call, HandlerContext& context) {
  ChoiceParam(call, "lebo", {"0", "1"});
  bool down = ChoiceParam(call, "down", {"0", "1"}) == "1";
  ChoiceParam(call, "type", {"1", "2"});
  const std::string& bit = call.Get("bit");
  int64_t max_bitrate =
      bit.empty() || bit == "flac" ? kFlacBitrate : IntParam(call, "bit", 1, 100000);
  SongRow song = ResolveSong(context.db, call.Get("songid"));
  if (std::optional<Json> refused = UnavailableSongAnswer(song)) return *refused;
  // Files up to the asked bit rate, ascending: the last one is the file to play. Below the
  // smallest rate the smallest file is still offered.
  Json bitrates = Json::array();
  size_t count = 0;
  Query files = context.db.Sql(
      "SELECT bitrate, ext, size, hash, file_id, free, replay_gain FROM song_files "
      "WHERE song_id = ? ORDER BY bitrate",
      song.id);
  while (files.Next()) {
    int64_t bitrate = files.Int(0);
    if (count > 0 && bitrate > max_bitrate) break;
    std::string ext = files.Text(1);
    std::string hash = files.Text(3);
    std::string link = "http://cdn.lumo.example/audio/" + hash + "." + ext +
                       "?xcode=" + Md5Hex(hash + (call.user ? call.user->token : "")).substr(0, 16);
    if (down) link += "&down=1";
    Json file = Json::object();
    file[U("file_duration")] = Number(song.duration);
    file[U("song_file_id")] = IdText(files.Int(4));
    file[U("file_link")] = Text(link);
    file[U("show_link")] = Text(link);
    file[U("file_extension")] = Text(ext);
    file[U("file_bitrate")] = Number(bitrate);
    file[U("file_size")] = Number(files.Int(2));
    file[U("hash")] = Text(hash);
    file[U("xcode_expire")] = Number(context.now + kLinkLifetimeSeconds);
    file[U("replay_gain")] = Json::number(files.Double(6));
    file[U("free")] = Number(files.Int(5));
    bitrates[count++] = file;
  }
  Json result = Json::object();
  result[U("songinfo")] = SongInfo(song);
  result[U("bitrate")] = bitrates;
  return ResultAnswer(result);
}

std::string NonEmptyQuery(const Call& call) {
  const std::string& query = call.Get("query");
  if (query.empty()) throw Refusal(code::kInvalidValue, "query: empty");
  return query;
}

Json CatalogSug(const Call& call, HandlerContext& context) {
  std::string query = NonEmptyQuery(call);
  Json answer = Answer();
  Query songs = context.db.Sql(
      "SELECT id, title, author FROM songs WHERE instr(lower(title), lower(?1)) > 0 "
      "OR instr(lower(author), lower(?1)) > 0 ORDER BY id LIMIT 10",
      query);
  answer[U("song")] = RowsToArray(
      songs, {{"songid", 0, As::kId}, {"songname", 1, As::kText}, {"artistname", 2, As::kText}});
  Query artists = context.db.Sql(
      "SELECT id, name, avatar FROM artists WHERE instr(lower(name), lower(?)) > 0 "
      "ORDER BY id LIMIT 5",
      query);
  answer[U("artist")] = RowsToArray(
      artists,
      {{"artistid", 0, As::kId}, {"artistname", 1, As::kText}, {"artistpic", 2, As::kText}});
  Query albums = context.db.Sql(
      "SELECT al.id, al.title, ar.name, ar.avatar FROM albums al JOIN artists ar "
      "ON ar.id = al.artist_id WHERE instr(lower(al.title), lower(?)) > 0 ORDER BY al.id LIMIT 5",
      query);
  answer[U("album")] = RowsToArray(albums, {{"albumid", 0, As::kId},
                                            {"albumname", 1, As::kText},
                                            {"artistname", 2, As::kText},
                                            {"artistpic", 3, As::kText}});
  return answer;
}

Json SearchMerge(const Call& call, HandlerContext& context) {
  std::string query = NonEmptyQuery(call);
  IntParam(call, "type", 0, 100);
  Query artists = context.db.Sql(
      "SELECT id, name, avatar FROM artists WHERE instr(lower(name), lower(?)) > 0 "
      "ORDER BY id LIMIT 10",
      query);
  Json artist_list = RowsToArray(
      artists,
      {{"artist_id", 0, As::kId}, {"author", 1, As::kText}, {"avatar_s500", 2, As::kText}});
  Query songs = context.db.Sql(
      "SELECT id, title, author FROM songs WHERE instr(lower(title), lower(?)) > 0 "
      "ORDER BY id LIMIT 10",
      query);
  Json song_list = RowsToArray(
      songs, {{"song_id", 0, As::kId}, {"title", 1, As::kText}, {"author", 2, As::kText}});
  Json artist_info = Json::object();
  artist_info[U("total")] = Number(static_cast<int64_t>(artist_list.size()));
  artist_info[U("artist_list")] = artist_list;
  Json song_info = Json::object();
  song_info[U("total")] = Number(static_cast<int64_t>(song_list.size()));
  song_info[U("song_list")] = song_list;
  Json result = Json::object();
  result[U("artist_info")] = artist_info;
  result[U("song_info")] = song_info;
  return ResultAnswer(result);
}

// The lookup's own parameters travel twice: readable, and encrypted in "e". The two must agree.
void CheckLyricsCopy(const Call& call) {
  std::optional<std::string> plain = DecryptLyricsValue(call.Get("e"));
  if (!plain || !IsUtf8(*plain)) {
    throw Refusal(code::kBadLyricsCipher, "e does not decrypt with the lyrics key");
  }
  Pairs inner;
  try {
    inner = ParseQuery(*plain);
  } catch (const Refusal& refusal) {
    throw Refusal(code::kBadLyricsCipher, std::string("decrypted e: ") + refusal.what());
  }
  Pairs expected = {
      {"query", call.Get("query")}, {"ts", call.Get("ts")}, {"type", call.Get("type")}};
  if (inner != expected) {
    throw Refusal(code::kBadLyricsCipher,
                  "decrypted e is not query, ts and type as sent: " + *plain);
  }
}

Json Lrcpic(const Call& call, HandlerContext& context) {
  IntParam(call, "ts", 0, 4294967295LL);
  int64_t type = IntParam(call, "type", -1000, 1000);
  CheckLyricsCopy(call);
  std::string query = NonEmptyQuery(call);
  size_t split = query.find("$$");
  std::string title = query.substr(0, split);
  std::string artist = split == std::string::npos ? std::string() : query.substr(split + 2);
  if (title.empty() && artist.empty()) throw Refusal(code::kInvalidValue, "query: empty");
  Query rows =
      context.db.Sql(SANDBOX_SONG_SELECT
                     "WHERE (?1 = '' OR s.title = ?1) AND (?2 = '' OR instr(s.author, ?2) > 0) "
                     "ORDER BY s.id LIMIT 10",
                     title, artist);
  Json answer = Answer();
  if (type == 1) {
    Json info = Json::object();
    if (rows.Next()) {
      SongRow song = ReadSong(rows);
      info[U("song_id")] = IdText(song.id);
      info[U("song_title")] = Text(song.title);
      info[U("author")] = Text(song.author);
      info[U("pic_radio")] = Text(song.pic_small);
      info[U("lrclink")] = Text(song.lrclink);
    }
    answer[U("songinfo")] = info;
    return answer;
  }
  Json list = Json::array();
  size_t n = 0;
  while (rows.Next()) {
    SongRow song = ReadSong(rows);
    Json item = Json::object();
    item[U("song_id")] = IdText(song.id);
    item[U("song_title")] = Text(song.title);
    item[U("author")] = Text(song.author);
    item[U("artist_id")] = Text(FirstId(song.artist_ids));
    item[U("lrclink")] = Text(song.lrclink);
    item[U("pic_s500")] = Text(song.pic_big);
    item[U("pic_s180")] = Text(song.pic_small);
    std::string avatar = "http://img.lumo.example/artist/" + FirstId(song.artist_ids);
    item[U("avatar_s500")] = Text(avatar + "/500.jpg");
    item[U("avatar_s180")] = Text(avatar + "/180.jpg");
    list[n++] = item;
  }
  answer[U("songinfo")] = list;
  return answer;
}

Json GetArtistInfo(const Call& call, HandlerContext& context) {
  int64_t id = IdParam(call, "artistid");
  bool all = ChoiceParam(call, "all_pic", {"0", "1"}) == "1";
  Query artist = context.db.Sql("SELECT name, avatar FROM artists WHERE id = ?", id);
  if (!artist.Next()) throw Refusal(code::kNoSuchArtist, "no artist " + std::to_string(id));
  Json answer = Answer();
  answer[U("artist_id")] = IdText(id);
  answer[U("name")] = Text(artist.Text(0));
  answer[U("avatar_s1000")] = Text(artist.Text(1));
  Query pics = context.db.Sql("SELECT url FROM artist_pics WHERE artist_id = ? ORDER BY pos", id);
  answer[U("pic_list")] = all ? RowsToArray(pics, {{"url", 0, As::kText}}) : Json::array();
  return answer;
}

// Songs of the same first artist, then the songs that follow in the catalogue.
Json GetRecommendSongs(const Call& call, HandlerContext& context) {
  SongRow seed = LoadSongOrRefuse(context.db, IdParam(call, "song_id"));
  int64_t num = IntParam(call, "num", 1, 100);
  Query rows = context.db.Sql(
      SANDBOX_SONG_SELECT
      "WHERE s.id <> ?1 ORDER BY (s.artist_ids = ?2 OR s.artist_ids LIKE ?2 || ',%') DESC, "
      "(s.id - ?1 + 100000) % 100000 LIMIT ?3",
      seed.id, FirstId(seed.artist_ids), num);
  Json result = Json::object();
  result[U("list")] = RowsToArray(rows, {{"song_id", kSongId, As::kId},
                                         {"title", kSongTitle, As::kText},
                                         {"author", kSongAuthor, As::kText},
                                         {"artist_id", kSongArtistIds, As::kText},
                                         {"album_title", kSongAlbumTitle, As::kText},
                                         {"album_id", kSongAlbumId, As::kId},
                                         {"pic_huge", kSongPicHuge, As::kText},
                                         {"pic_premium", kSongPicPremium, As::kText},
                                         {"pic_big", kSongPicBig, As::kText},
                                         {"pic_small", kSongPicSmall, As::kText},
                                         {"has_mv", kSongHasMv, As::kNumber}});
  return ResultAnswer(result);
}

Json GetSplashPic(const Call&, HandlerContext& context) {
  Query rows = context.db.Sql("SELECT pic, link FROM splash ORDER BY pos");
  return ResultAnswer(RowsToArray(rows, {{"pic", 0, As::kText}, {"link", 1, As::kText}}));
}

Json GetAlbumInfo(const Call& call, HandlerContext& context) {
  int64_t id = IdParam(call, "album_id");
  Query album = context.db.Sql(
      "SELECT al.title, al.artist_id, ar.name, al.pic, al.info, al.publishtime, al.collect_num, "
      "al.buy_url FROM albums al JOIN artists ar ON ar.id = al.artist_id WHERE al.id = ?",
      id);
  if (!album.Next()) throw Refusal(code::kNoSuchAlbum, "no album " + std::to_string(id));
  Json info = Json::object();
  info[U("album_id")] = IdText(id);
  info[U("artist_id")] = IdText(album.Int(1));
  info[U("author")] = Text(album.Text(2));
  info[U("pic_big")] = Text(album.Text(3));
  info[U("title")] = Text(album.Text(0));
  info[U("info")] = Text(album.Text(4));
  info[U("publishtime")] = Text(album.Text(5));
  info[U("collect_num")] = Number(album.Int(6));
  info[U("buy_url")] = Text(album.Text(7));
  Query rows = context.db.Sql(SANDBOX_SONG_SELECT "WHERE s.album_id = ? ORDER BY s.id", id);
  Json answer = Answer();
  answer[U("albumInfo")] = info;
  answer[U("songlist")] = RowsToArray(rows, {{"song_id", kSongId, As::kId},
                                             {"title", kSongTitle, As::kText},
                                             {"author", kSongAuthor, As::kText},
                                             {"artist_id", kSongArtistIds, As::kText},
                                             {"album_title", kSongAlbumTitle, As::kText},
                                             {"album_id", kSongAlbumId, As::kId},
                                             {"pic_big", kSongPicBig, As::kText},
                                             {"pic_small", kSongPicSmall, As::kText},
                                             {"has_mv", kSongHasMv, As::kNumber}});
  return answer;
}

Json GetChannels(const Call&, HandlerContext& context) {
  Json hot = Json::array();
  size_t n = 0;
  Query hot_rows = context.db.Sql("SELECT name FROM hot_tags ORDER BY pos");
  while (hot_rows.Next()) hot[n++] = Text(hot_rows.Text(0));
  Json tags = Json::array();
  n = 0;
  Query tag_rows = context.db.Sql("SELECT grp, first, second FROM tags ORDER BY grp, pos");
  int64_t group = -1;
  while (tag_rows.Next()) {
    if (tag_rows.Int(0) != group) {
      group = tag_rows.Int(0);
      Json entry = Json::object();
      entry[U("first")] = Text(tag_rows.Text(1));
      entry[U("second")] = Json::array();
      tags[n++] = entry;
    }
    Json& second = tags[n - 1][U("second")];
    second[second.size()] = Text(tag_rows.Text(2));
  }
  Json result = Json::object();
  result[U("hot")] = hot;
  result[U("tags")] = tags;
  return ResultAnswer(result);
}

// Comments are counted per song list; "commentlist_last_nums" is how many follow this page.
Json GetCommentList(const Call& call, HandlerContext& context) {
  int64_t type_id = IdParam(call, "type_id");
  IntParam(call, "type", 0, 100);
  int64_t size = IntParam(call, "size", 1, 100);
  int64_t offset = IntParam(call, "offset", 0, 1000000);
  int64_t total = 0;
  Query list = context.db.Sql("SELECT comment_num FROM lists WHERE id = ?", type_id);
  if (list.Next()) total = list.Int(0);
  Json comments = Json::array();
  size_t n = 0;
  for (int64_t i = offset; i < std::min(total, offset + size); ++i) {
    Json comment = Json::object();
    comment[U("id")] = IdText(type_id * 1000 + i);
    comment[U("content")] = Text("Comment " + std::to_string(i + 1) + " — 好听!");
    comments[n++] = comment;
  }
  Json result = Json::object();
  result[U("commentlist")] = comments;
  result[U("commentlist_last_nums")] = Number(std::max<int64_t>(0, total - offset - size));
  return ResultAnswer(result);
}

}  // namespace

void AddCatalogueHandlers(Router& router) {
  router.Add("norda.lumo.song.getSongLink", GetSongLink);
  router.Add("norda.lumo.search.catalogSug", CatalogSug);
  router.Add("norda.lumo.search.merge", SearchMerge);
  router.Add("norda.lumo.search.lrcpic", Lrcpic);
  router.Add("norda.lumo.artist.getInfo", GetArtistInfo);
  router.Add("norda.lumo.song.getRecommandSongList", GetRecommendSongs);
  router.Add("norda.lumo.active.startPC", GetSplashPic);
  router.Add("norda.lumo.album.getAlbumInfo", GetAlbumInfo);
  router.Add("norda.lumo.ugcdiy.getChannels", GetChannels);
  router.Add("norda.lumo.ugcmsg.getCommentListByType", GetCommentList);
}

}  // namespace lumo::sandbox
