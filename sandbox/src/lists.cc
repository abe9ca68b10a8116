// Song list methods: the user's list pages, one list with a page of its songs, creating,
// editing and deleting lists, adding, removing and ordering their songs, and list favourites.
#include <algorithm>

#include "handlers.h"
#include "refusal.h"
#include "seed.h"
#include "songs.h"
#include "store.h"

namespace lumo::sandbox {
namespace {

constexpr int64_t kListPageSize = 50;
constexpr size_t kTitleLimit = 60;         // characters
constexpr size_t kDescriptionLimit = 140;  // characters; longer ones are cut with a warning

struct ListRow {
  int64_t id = 0;
  int64_t owner = 0;
  std::string title;
  std::string pic;
  std::string tag;
  std::string description;
  int64_t created = 0;
  int64_t modified = 0;
  int64_t share_num = 0;
  int64_t listen_num = 0;
  int64_t comment_num = 0;
  int64_t collect_num = 0;
};

ListRow LoadList(Db& db, int64_t id) {
  Query query = db.Sql(
      "SELECT owner, title, pic, tag, description, created, modified, share_num, listen_num, "
      "comment_num, collect_num FROM lists WHERE id = ?",
      id);
  if (!query.Next()) throw Refusal(code::kNoSuchList, "no song list " + std::to_string(id));
  ListRow list;
  list.id = id;
  list.owner = query.Int(0);
  list.title = query.Text(1);
  list.pic = query.Text(2);
  list.tag = query.Text(3);
  list.description = query.Text(4);
  list.created = query.Int(5);
  list.modified = query.Int(6);
  list.share_num = query.Int(7);
  list.listen_num = query.Int(8);
  list.comment_num = query.Int(9);
  list.collect_num = query.Int(10);
  return list;
}

ListRow LoadOwnList(Db& db, const Call& call) {
  ListRow list = LoadList(db, IdParam(call, "list_id"));
  if (list.owner != call.user->id) {
    throw Refusal(code::kNotListOwner,
                  "song list " + std::to_string(list.id) + " belongs to another user");
  }
  return list;
}

std::vector<int64_t> ListSongIds(Db& db, int64_t list_id) {
  std::vector<int64_t> ids;
  Query query = db.Sql("SELECT song_id FROM list_songs WHERE list_id = ? ORDER BY pos", list_id);
  while (query.Next()) ids.push_back(query.Int(0));
  return ids;
}

void WriteListSongs(Db& db, int64_t list_id, const std::vector<int64_t>& ids, int64_t now) {
  db.Sql("DELETE FROM list_songs WHERE list_id = ?", list_id).Run();
  int64_t pos = 0;
  for (int64_t id : ids) {
    db.Sql("INSERT INTO list_songs(list_id, pos, song_id) VALUES(?, ?, ?)", list_id, pos++, id)
        .Run();
  }
  db.Sql("UPDATE lists SET modified = ? WHERE id = ?", now, list_id).Run();
}

// Every id must name a catalogue song.
void RequireSongs(Db& db, const std::vector<int64_t>& ids) {
  for (int64_t id : ids) {
    Query query = db.Sql("SELECT 1 FROM songs WHERE id = ?", id);
    if (!query.Next()) throw Refusal(code::kNoSuchSong, "no song " + std::to_string(id));
  }
}

size_t Utf8Length(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Utf8Prefix(const std::string& text, size_t characters) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == characters) {
      return text.substr(0, i);
    }
  }
  return text;
}

std::string TitleParam(const Call& call) {
  std::string title = DataStringParam(call, "title");
  if (title.empty()) throw Refusal(code::kInvalidValue, "title: empty");
  if (Utf8Length(title) > kTitleLimit) throw Refusal(code::kInvalidValue, "title: too long");
  return title;
}

int64_t CreateList(Db& db, int64_t owner, const std::string& title, int64_t now) {
  db.Sql(
        "INSERT INTO lists(owner, title, pic, tag, description, created, modified, share_num, "
        "listen_num, comment_num, collect_num) VALUES(?, ?, '', '', '', ?, ?, 0, 0, 0, 0)",
        owner, title, now, now)
      .Run();
  return db.LastInsertId();
}

Json ListEntry(Db& db, int64_t id, const std::string& title, const std::string& pic) {
  Json entry = Json::object();
  entry[U("list_id")] = IdText(id);
  entry[U("song_num")] = Number(db.Scalar("SELECT COUNT(*) FROM list_songs WHERE list_id = ?", id));
  entry[U("list_title")] = Text(title);
  entry[U("list_pic")] = Text(pic);
  return entry;
}

// "source" and "type" select what the page lists: 0/10 the lists the user made, 0/0 the lists
// the user marked as favourites, 1/0 the albums the user collected, 2/0 only the count of the
// user's favourite songs. Without both, the lists the user made.
Json UserList(const Call& call, HandlerContext& context) {
  int64_t offset = IntParam(call, "offset", 0, 100000000);
  if (call.Has("source") != call.Has("type")) {
    throw Refusal(code::kMissingParameter, "source and type go together");
  }
  std::string selector = "0/10";
  if (call.Has("source")) {
    selector =
        ChoiceParam(call, "source", {"0", "1", "2"}) + "/" + ChoiceParam(call, "type", {"0", "10"});
    if (selector != "0/10" && selector != "0/0" && selector != "1/0" && selector != "2/0") {
      throw Refusal(code::kInvalidValue, "no kind source/type = " + selector);
    }
  }
  Db& db = context.db;
  int64_t user = call.user->id;
  int64_t total = 0;
  Json entries = Json::array();
  size_t n = 0;
  if (selector == "0/10") {
    total = db.Scalar("SELECT COUNT(*) FROM lists WHERE owner = ?", user);
    Query rows =
        db.Sql("SELECT id, title, pic FROM lists WHERE owner = ? ORDER BY id DESC LIMIT ? OFFSET ?",
               user, kListPageSize, offset);
    while (rows.Next()) entries[n++] = ListEntry(db, rows.Int(0), rows.Text(1), rows.Text(2));
  } else if (selector == "0/0") {
    total = db.Scalar("SELECT COUNT(*) FROM list_favorites WHERE user_id = ?", user);
    Query rows = db.Sql(
        "SELECT l.id, l.title, l.pic FROM list_favorites f JOIN lists l ON l.id = f.list_id "
        "WHERE f.user_id = ? ORDER BY f.seq DESC LIMIT ? OFFSET ?",
        user, kListPageSize, offset);
    while (rows.Next()) entries[n++] = ListEntry(db, rows.Int(0), rows.Text(1), rows.Text(2));
  } else if (selector == "1/0") {
    total = db.Scalar("SELECT COUNT(*) FROM user_albums WHERE user_id = ?", user);
    Query rows = db.Sql(
        "SELECT a.id, a.title, a.pic, (SELECT COUNT(*) FROM songs s WHERE s.album_id = a.id) "
        "FROM user_albums u JOIN albums a ON a.id = u.album_id WHERE u.user_id = ? "
        "ORDER BY u.seq DESC LIMIT ? OFFSET ?",
        user, kListPageSize, offset);
    entries = RowsToArray(rows, {{"album_id", 0, As::kId},
                                 {"title", 1, As::kText},
                                 {"pic_big", 2, As::kText},
                                 {"songs_total", 3, As::kNumber}});
  } else {
    Json result = Json::object();
    result[U("listnum")] =
        Number(db.Scalar("SELECT COUNT(*) FROM favorites WHERE user_id = ?", user));
    result[U("havemore")] = Number(0);
    result[U("listinfo")] = Json::array();
    return ResultAnswer(result);
  }
  Json result = Json::object();
  result[U("listnum")] = Number(total);
  result[U("havemore")] = Number(offset + kListPageSize < total ? 1 : 0);
  result[U("listinfo")] = entries;
  return ResultAnswer(result);
}

Json GetBaseInfo(const Call& call, HandlerContext& context) {
  Db& db = context.db;
  ListRow list = LoadList(db, IdParam(call, "list_id"));
  int64_t size = IntParam(call, "size", 1, 100);
  bool with_songs = ChoiceParam(call, "withsong", {"0", "1"}) == "1";
  int64_t offset = IntParam(call, "offset", 0, 100000000);
  ChoiceParam(call, "withcount", {"0", "1"});
  Query owner = db.Sql("SELECT name, pic FROM users WHERE id = ?", list.owner);
  owner.Next();
  Json userinfo = Json::object();
  userinfo[U("userid")] = IdText(list.owner);
  userinfo[U("username")] = Text(owner.Text(0));
  userinfo[U("userpic")] = Text(owner.Text(1));
  Json info = Json::object();
  info[U("list_id")] = IdText(list.id);
  info[U("list_pic")] = Text(list.pic);
  info[U("list_title")] = Text(list.title);
  info[U("list_tag")] = Text(list.tag);
  info[U("list_desc")] = Text(list.description);
  info[U("createtime")] = Number(list.created);
  info[U("lastmodify")] = Number(list.modified);
  info[U("userinfo")] = userinfo;
  Query rows = db.Sql(SANDBOX_SONG_SELECT
                      "JOIN list_songs ls ON ls.song_id = s.id WHERE ls.list_id = ? "
                      "ORDER BY ls.pos LIMIT ? OFFSET ?",
                      list.id, size, offset);
  Json songs = with_songs ? RowsToArray(rows, {{"song_id", kSongId, As::kId},
                                               {"title", kSongTitle, As::kText},
                                               {"author", kSongAuthor, As::kText},
                                               {"artist_id", kSongArtistIds, As::kText},
                                               {"album_title", kSongAlbumTitle, As::kText},
                                               {"album_id", kSongAlbumId, As::kId},
                                               {"has_mv", kSongHasMv, As::kNumber}})
                          : Json::array();
  Json result = Json::object();
  result[U("song_num")] =
      Number(db.Scalar("SELECT COUNT(*) FROM list_songs WHERE list_id = ?", list.id));
  result[U("share_num")] = Number(list.share_num);
  result[U("listen_num")] = Number(list.listen_num);
  result[U("comment_num")] = Number(list.comment_num);
  result[U("collect_num")] = Number(list.collect_num);
  result[U("share_url")] = Text("http://www.lumo.example/playlist/" + std::to_string(list.id));
  result[U("info")] = info;
  result[U("songlist")] = songs;
  return ResultAnswer(result);
}

Json CreatedAnswer(int64_t list_id, const std::string& title) {
  Json result = Json::object();
  result[U("list_id")] = IdText(list_id);
  result[U("title")] = Text(title);
  return ResultAnswer(result);
}

Json AddList(const Call& call, HandlerContext& context) {
  std::string title = TitleParam(call);
  ChoiceParam(call, "process", {"1"});
  return CreatedAnswer(CreateList(context.db, call.user->id, title, context.now), title);
}

Json UpList(const Call& call, HandlerContext& context) {
  ListRow list = LoadOwnList(context.db, call);
  std::string title = TitleParam(call);
  std::string description = DataStringParam(call, "desc");
  ChoiceParam(call, "process", {"1"});
  int error_code = code::kOk;
  if (Utf8Length(description) > kDescriptionLimit) {
    description = Utf8Prefix(description, kDescriptionLimit);
    error_code = code::kEditedWithWarning;
  }
  std::string pic = call.Get("diypic").empty() ? list.pic : call.Get("diypic");
  context.db
      .Sql(
          "UPDATE lists SET title = ?, description = ?, tag = ?, pic = ?, modified = ? "
          "WHERE id = ?",
          title, description, call.Get("tag"), pic, context.now, list.id)
      .Run();
  Json result = Json::object();
  result[U("list_id")] = IdText(list.id);
  result[U("title")] = Text(title);
  result[U("desc")] = Text(description);
  result[U("tag")] = Text(call.Get("tag"));
  result[U("diypic")] = Text(pic);
  Json answer = ResultAnswer(result, error_code);
  if (error_code != code::kOk) answer[U("error_msg")] = Text("description shortened");
  return answer;
}

Json DelList(const Call& call, HandlerContext& context) {
  ListRow list = LoadOwnList(context.db, call);
  context.db.Sql("DELETE FROM list_songs WHERE list_id = ?", list.id).Run();
  context.db.Sql("DELETE FROM list_favorites WHERE list_id = ?", list.id).Run();
  context.db.Sql("DELETE FROM lists WHERE id = ?", list.id).Run();
  return Answer();
}

Json SongCountAnswer(int64_t list_id, size_t count) {
  Json result = Json::object();
  result[U("list_id")] = IdText(list_id);
  result[U("song_num")] = Number(static_cast<int64_t>(count));
  return ResultAnswer(result);
}

// Appends the ids that `songs` lacks, in the given order; refuses when the list would be full.
void AppendNewSongs(std::vector<int64_t>& songs, const std::vector<int64_t>& ids) {
  for (int64_t id : ids) {
    if (std::find(songs.begin(), songs.end(), id) == songs.end()) songs.push_back(id);
  }
  if (songs.size() > static_cast<size_t>(kListCapacity)) {
    throw Refusal(code::kListFull, "a song list holds at most 500 songs");
  }
}

// Songs already in the list stay where they are; the others are appended in the given order.
Json AddListSong(const Call& call, HandlerContext& context) {
  std::vector<int64_t> ids = IdListParam(call, "song_ids", false);
  ListRow list = LoadOwnList(context.db, call);
  RequireSongs(context.db, ids);
  std::vector<int64_t> songs = ListSongIds(context.db, list.id);
  AppendNewSongs(songs, ids);
  WriteListSongs(context.db, list.id, songs, context.now);
  return SongCountAnswer(list.id, songs.size());
}

Json DelListSong(const Call& call, HandlerContext& context) {
  std::vector<int64_t> ids = IdListParam(call, "song_ids", false);
  ListRow list = LoadOwnList(context.db, call);
  std::vector<int64_t> songs = ListSongIds(context.db, list.id);
  songs.erase(std::remove_if(
                  songs.begin(), songs.end(),
                  [&](int64_t id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }),
              songs.end());
  WriteListSongs(context.db, list.id, songs, context.now);
  return SongCountAnswer(list.id, songs.size());
}

Json AddUgcSongListAtOnce(const Call& call, HandlerContext& context) {
  std::string title = TitleParam(call);
  ChoiceParam(call, "process", {"1"});
  std::vector<int64_t> ids = IdListParam(call, "song_ids", true);
  RequireSongs(context.db, ids);
  std::vector<int64_t> songs;
  AppendNewSongs(songs, ids);
  int64_t list_id = CreateList(context.db, call.user->id, title, context.now);
  WriteListSongs(context.db, list_id, songs, context.now);
  return CreatedAnswer(list_id, title);
}

// The new order must name exactly the songs the list holds.
Json SortSongListSongs(const Call& call, HandlerContext& context) {
  ListRow list = LoadOwnList(context.db, call);
  std::vector<int64_t> order = IdListParam(call, "song_ids", true);
  std::vector<int64_t> current = ListSongIds(context.db, list.id);
  std::vector<int64_t> sorted_order = order;
  std::sort(sorted_order.begin(), sorted_order.end());
  std::sort(current.begin(), current.end());
  if (sorted_order != current) {
    throw Refusal(code::kOrderMismatch, "song_ids must be the list's songs, each once");
  }
  WriteListSongs(context.db, list.id, order, context.now);
  return SongCountAnswer(list.id, order.size());
}

Json AddFavoriteSongList(const Call& call, HandlerContext& context) {
  ListRow list = LoadList(context.db, IdParam(call, "list_id"));
  ChoiceParam(call, "source", {"0", "1", "2"});
  context.db
      .Sql(
          "INSERT OR IGNORE INTO list_favorites(user_id, list_id, seq) VALUES(?1, ?2, "
          "(SELECT COALESCE(MAX(seq), 0) + 1 FROM list_favorites WHERE user_id = ?1))",
          call.user->id, list.id)
      .Run();
  return Answer();
}

Json CancelFavoriteSongList(const Call& call, HandlerContext& context) {
  int64_t list_id = IdParam(call, "list_id");
  ChoiceParam(call, "source", {"0", "1", "2"});
  context.db
      .Sql("DELETE FROM list_favorites WHERE user_id = ? AND list_id = ?", call.user->id, list_id)
      .Run();
  if (context.db.Changes() == 0) {
    throw Refusal(code::kNotListFavorite,
                  "song list " + std::to_string(list_id) + " is not among your favourites");
  }
  return Answer();
}

}  // namespace

void AddListHandlers(Router& router) {
  router.Add("norda.lumo.ugcdiy.userList", UserList);
  router.Add("norda.lumo.ugcdiy.getBaseInfo", GetBaseInfo);
  router.Add("norda.lumo.ugcdiy.addSongList", AddList);
  router.Add("norda.lumo.ugcdiy.editDiy", UpList);
  router.Add("norda.lumo.ugcdiy.delList", DelList);
  router.Add("norda.lumo.ugcdiy.addSongToDiy", AddListSong);
  router.Add("norda.lumo.ugcdiy.delListSongs", DelListSong);
  router.Add("norda.lumo.ugcdiy.addSongListOnce", AddUgcSongListAtOnce);
  router.Add("norda.lumo.ugcdiy.sortDiySongs", SortSongListSongs);
  router.Add("norda.lumo.ugcdiy.addFavoriteDiy", AddFavoriteSongList);
  router.Add("norda.lumo.ugcdiy.deleteFavoriteDiy", CancelFavoriteSongList);
}

}  // namespace lumo::sandbox
