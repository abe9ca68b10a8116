#include "viewer.h"

#include <utility>
#include <vector>

#include "store.h"
#include "token_mask.h"

namespace lumo::sandbox {
namespace {

// Name and value pairs as a list of [name, value]: the viewer keeps their order and repeats.
Json PairsList(const std::vector<std::pair<std::string, std::string>>& pairs) {
  Json list = Json::array();
  for (size_t i = 0; i < pairs.size(); ++i) {
    Json pair = Json::array();
    pair[0] = Text(pairs[i].first);
    pair[1] = Text(pairs[i].second);
    list[i] = std::move(pair);
  }
  return list;
}

// {"count": N, "first": [rows]} for a user's rows of one kind, newest first.
template <typename Row>
Json Section(Db& db, std::string_view count_sql, std::string_view rows_sql, int64_t user, int first,
             Row row) {
  Json section = Json::object();
  section[U("count")] = Number(db.Scalar(count_sql, user));
  Json rows = Json::array();
  Query query = db.Sql(rows_sql, user, first);
  for (size_t i = 0; query.Next(); ++i) rows[i] = row(query);
  section[U("first")] = rows;
  return section;
}

Json IdTitle(const Query& query) {
  Json row = Json::object();
  row[U("id")] = Text(std::to_string(query.Int(0)));
  row[U("title")] = Text(query.Text(1));
  return row;
}

}  // namespace

Json ViewerEntry(const LogRecord& record, bool with_answer) {
  LogRecord shown = record;
  if (!with_answer) shown.answer.clear();
  MaskRecord(shown, SeedTokens::kHidden);

  Json entry = Json::object();
  entry[U("seq")] = Number(static_cast<int64_t>(shown.seq));
  entry[U("time_ms")] = Number(shown.time_ms);
  entry[U("verb")] = Text(shown.verb);
  entry[U("target")] = Text(shown.target);
  entry[U("method")] = Text(shown.method);
  entry[U("form")] = Text(shown.form);
  entry[U("params")] = PairsList(shown.params);
  entry[U("inner_text")] = Text(shown.inner_text);
  entry[U("user_id")] = Text(shown.user_id);
  entry[U("headers")] = PairsList(shown.headers);
  entry[U("body_size")] = Number(static_cast<int64_t>(shown.body_size));
  entry[U("http_status")] = Number(shown.http_status);
  entry[U("error_code")] = Number(shown.error_code);
  entry[U("fault")] = Text(shown.fault);
  entry[U("took_us")] = Number(shown.took_us);
  entry[U("cut")] = Json::boolean(shown.cut);
  entry[U("replay_of")] = Number(static_cast<int64_t>(shown.replay_of));
  entry[U("answer_size")] = Number(static_cast<int64_t>(shown.answer_size));
  entry[U("answer_type")] = Text(shown.answer_type);
  // The log ends a cut text with a marker, so the kept text can be longer than what was sent.
  entry[U("answer_cut")] = Json::boolean(record.answer.size() != record.answer_size);
  if (with_answer) entry[U("answer")] = Text(shown.answer);
  return entry;
}

Json StateAnswer(Db& db, int first) {
  Json users = Json::array();
  Query user = db.Sql("SELECT id, name, token FROM users ORDER BY id");
  for (size_t i = 0; user.Next(); ++i) {
    int64_t id = user.Int(0);
    Json entry = Json::object();
    entry[U("id")] = Text(std::to_string(id));
    entry[U("name")] = Text(user.Text(1));
    entry[U("token")] = Text(user.Text(2));
    entry[U("lists")] =
        Section(db, "SELECT COUNT(*) FROM lists WHERE owner = ?",
                "SELECT l.id, l.title, (SELECT COUNT(*) FROM list_songs s WHERE s.list_id = l.id) "
                "FROM lists l WHERE l.owner = ? ORDER BY l.id DESC LIMIT ?",
                id, first, [](const Query& row) {
                  Json list = IdTitle(row);
                  list[U("songs")] = Number(row.Int(2));
                  return list;
                });
    entry[U("favorite_lists")] =
        Section(db, "SELECT COUNT(*) FROM list_favorites WHERE user_id = ?",
                "SELECT l.id, l.title FROM list_favorites f JOIN lists l ON l.id = f.list_id "
                "WHERE f.user_id = ? ORDER BY f.seq DESC LIMIT ?",
                id, first, IdTitle);
    for (const char* table : {"favorites", "collected"}) {
      std::string name(table);
      entry[JsonString(name)] =
          Section(db, "SELECT COUNT(*) FROM " + name + " WHERE user_id = ?",
                  "SELECT s.id, s.title, s.author FROM " + name +
                      " t JOIN songs s ON s.id = t.song_id WHERE t.user_id = ? "
                      "ORDER BY t.seq DESC LIMIT ?",
                  id, first, [](const Query& row) {
                    Json song = IdTitle(row);
                    song[U("artist")] = Text(row.Text(2));
                    return song;
                  });
    }
    entry[U("cloud")] = Section(db, "SELECT COUNT(*) FROM cloud_records WHERE user_id = ?",
                                "SELECT song_id, song_title, artist_name FROM cloud_records "
                                "WHERE user_id = ? ORDER BY time DESC, song_id DESC LIMIT ?",
                                id, first, [](const Query& row) {
                                  Json song = IdTitle(row);
                                  song[U("artist")] = Text(row.Text(2));
                                  return song;
                                });
    users[i] = std::move(entry);
  }
  Json answer = Answer();
  answer[U("users")] = users;
  return answer;
}

}  // namespace lumo::sandbox
