#include "viewer.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "query.h"
#include "store.h"

namespace lumo::sandbox {
namespace {

constexpr std::string_view kTokenName = "kwtok";
// A value shorter than this is not looked for elsewhere in an entry: it would hide ordinary text.
constexpr size_t kShortestHiddenValue = 4;

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// Ends a token's value as written (not decoded): the separators of a query, a cookie and a
// header list, blanks, quotes and a JSON escape.
bool EndsValue(char c) {
  return c == '&' || c == ';' || c == ',' || c == ' ' || c == '\t' || c == '"' || c == '\'' ||
         c == '\\' || c == '\r' || c == '\n';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The character at `i` as the service reads it (a %XX escape decoded), and where the next begins.
struct Decoded {
  char c;
  size_t next;
};
Decoded DecodeAt(std::string_view text, size_t i) {
  if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
      HexValue(text[i + 2]) >= 0) {
    return {static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])), i + 3};
  }
  return {text[i], i + 1};
}

// The decoded character that ends just before `i`, or '&' at the start (a boundary either way).
char DecodedBefore(std::string_view text, size_t i) {
  if (i == 0) return '&';
  if (i >= 3 && DecodeAt(text, i - 3).next == i) return DecodeAt(text, i - 3).c;
  return text[i - 1];
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// When a token's name, read decoded and in any case, starts at `i` and is followed (blanks
// allowed around it) by '=': where its value starts. Otherwise npos.
size_t ValueStart(std::string_view text, size_t i) {
  if (IsNameChar(DecodedBefore(text, i))) return std::string_view::npos;
  for (char want : kTokenName) {
    if (i >= text.size()) return std::string_view::npos;
    Decoded got = DecodeAt(text, i);
    if (std::tolower(static_cast<unsigned char>(got.c)) != want) return std::string_view::npos;
    i = got.next;
  }
  while (i < text.size() && IsBlank(DecodeAt(text, i).c)) i = DecodeAt(text, i).next;
  if (i >= text.size() || DecodeAt(text, i).c != '=') return std::string_view::npos;
  i = DecodeAt(text, i).next;
  while (i < text.size() && IsBlank(DecodeAt(text, i).c)) i = DecodeAt(text, i).next;
  return i;
}

bool IsTokenName(std::string_view name) {
  std::string decoded = PercentDecode(name).value_or(std::string(name));
  std::string_view trimmed = decoded;
  while (!trimmed.empty() && IsBlank(trimmed.front())) trimmed.remove_prefix(1);
  while (!trimmed.empty() && IsBlank(trimmed.back())) trimmed.remove_suffix(1);
  if (trimmed.size() != kTokenName.size()) return false;
  for (size_t i = 0; i < trimmed.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(trimmed[i])) != kTokenName[i]) return false;
  }
  return true;
}

std::string Encoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.' ||
        c == '~') {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[static_cast<unsigned char>(c) >> 4];
      encoded += kHex[static_cast<unsigned char>(c) & 15];
    }
  }
  return encoded;
}

// Hides the tokens of one log entry. The values found after a token's name, in any text of the
// entry, are hidden in every other text as well (as written, decoded and encoded), so that a token
// repeated where no name precedes it (an error message, an echo in the answer) is hidden too.
class EntryMask {
 public:
  // `text` with every value after a token's name replaced by kMaskedToken.
  std::string ByName(std::string_view text) {
    std::string masked;
    masked.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
      size_t value = ValueStart(text, i);
      if (value == std::string_view::npos) {
        masked += text[i++];
        continue;
      }
      masked += text.substr(i, value - i);
      bool quoted = value < text.size() && text[value] == '"';
      size_t begin = quoted ? value + 1 : value;
      size_t end = begin;
      while (end < text.size() && (quoted ? text[end] != '"' : !EndsValue(text[end]))) ++end;
      if (quoted) masked += '"';
      if (end > begin) {
        masked += kMaskedToken;
        Remember(text.substr(begin, end - begin));
      }
      i = end;
    }
    return masked;
  }

  void Remember(std::string_view value) {
    if (value.size() < kShortestHiddenValue || value == kMaskedToken) return;
    std::string decoded = PercentDecode(value).value_or(std::string(value));
    for (std::string form : {std::string(value), decoded, Encoded(decoded)}) {
      if (form.size() < kShortestHiddenValue) continue;
      if (std::find(values_.begin(), values_.end(), form) == values_.end())
        values_.push_back(std::move(form));
    }
  }

  // `text` with every remembered value replaced by kMaskedToken.
  std::string Everywhere(std::string text) const {
    for (const std::string& value : values_) {
      for (size_t at = text.find(value); at != std::string::npos;
           at = text.find(value, at + kMaskedToken.size())) {
        text.replace(at, value.size(), kMaskedToken);
      }
    }
    return text;
  }

 private:
  std::vector<std::string> values_;
};

// Name and value pairs, masked by name, then (in Finish) everywhere.
using TextPairs = std::vector<std::pair<std::string, std::string>>;
TextPairs MaskPairs(EntryMask& mask, const TextPairs& pairs) {
  TextPairs masked;
  masked.reserve(pairs.size());
  for (const auto& [name, value] : pairs) {
    if (IsTokenName(name) && !value.empty()) {
      mask.Remember(value);
      masked.emplace_back(mask.ByName(name), std::string(kMaskedToken));
    } else {
      masked.emplace_back(mask.ByName(name), mask.ByName(value));
    }
  }
  return masked;
}

Json PairsJson(const EntryMask& mask, const TextPairs& pairs) {
  Json list = Json::array();
  for (size_t i = 0; i < pairs.size(); ++i) {
    Json pair = Json::array();
    pair[0] = Text(mask.Everywhere(pairs[i].first));
    pair[1] = Text(mask.Everywhere(pairs[i].second));
    list[i] = std::move(pair);
  }
  return list;
}

// {"count": N, "first": [rows]} for a user's rows of one kind, newest first.
template <typename Row>
Json Section(Db& db, std::string_view count_sql, std::string_view rows_sql, int64_t user, int first,
             Row row) {
  Json section = Json::object();
  section["count"] = Number(db.Scalar(count_sql, user));
  Json rows = Json::array();
  Query query = db.Sql(rows_sql, user, first);
  for (size_t i = 0; query.Next(); ++i) rows[i] = row(query);
  section["first"] = rows;
  return section;
}

Json IdTitle(const Query& query) {
  Json row = Json::object();
  row["id"] = Text(std::to_string(query.Int(0)));
  row["title"] = Text(query.Text(1));
  return row;
}

}  // namespace

std::string MaskTokens(std::string_view text) {
  EntryMask mask;
  return mask.Everywhere(mask.ByName(text));
}

Json ViewerEntry(const LogRecord& record, bool with_answer) {
  EntryMask mask;
  // Every text is masked by name first, so that each value found anywhere is known before any
  // text is searched for it.
  TextPairs params = MaskPairs(mask, record.params);
  TextPairs headers = MaskPairs(mask, record.headers);
  std::string target = mask.ByName(record.target);
  std::string inner_text = mask.ByName(record.inner_text);
  std::string answer = with_answer ? mask.ByName(record.answer) : std::string();

  Json entry = Json::object();
  entry["seq"] = Number(static_cast<int64_t>(record.seq));
  entry["time_ms"] = Number(record.time_ms);
  entry["verb"] = Text(record.verb);
  entry["target"] = Text(mask.Everywhere(std::move(target)));
  entry["method"] = Text(record.method);
  entry["form"] = Text(record.form);
  entry["params"] = PairsJson(mask, params);
  entry["inner_text"] = Text(mask.Everywhere(std::move(inner_text)));
  entry["user_id"] = Text(record.user_id);
  entry["headers"] = PairsJson(mask, headers);
  entry["http_status"] = Number(record.http_status);
  entry["error_code"] = Number(record.error_code);
  entry["fault"] = Text(record.fault);
  entry["took_us"] = Number(record.took_us);
  entry["cut"] = Json::boolean(record.cut);
  entry["replay_of"] = Number(static_cast<int64_t>(record.replay_of));
  entry["answer_size"] = Number(static_cast<int64_t>(record.answer_size));
  // The log ends a cut text with a marker, so the kept text can be longer than what was sent.
  entry["answer_cut"] = Json::boolean(record.answer.size() != record.answer_size);
  if (with_answer) entry["answer"] = Text(mask.Everywhere(std::move(answer)));
  return entry;
}

Json StateAnswer(Db& db, int first) {
  Json users = Json::array();
  Query user = db.Sql("SELECT id, name, token FROM users ORDER BY id");
  for (size_t i = 0; user.Next(); ++i) {
    int64_t id = user.Int(0);
    Json entry = Json::object();
    entry["id"] = Text(std::to_string(id));
    entry["name"] = Text(user.Text(1));
    entry["token"] = Text(user.Text(2));
    entry["lists"] =
        Section(db, "SELECT COUNT(*) FROM lists WHERE owner = ?",
                "SELECT l.id, l.title, (SELECT COUNT(*) FROM list_songs s WHERE s.list_id = l.id) "
                "FROM lists l WHERE l.owner = ? ORDER BY l.id DESC LIMIT ?",
                id, first, [](const Query& row) {
                  Json list = IdTitle(row);
                  list["songs"] = Number(row.Int(2));
                  return list;
                });
    entry["favorite_lists"] =
        Section(db, "SELECT COUNT(*) FROM list_favorites WHERE user_id = ?",
                "SELECT l.id, l.title FROM list_favorites f JOIN lists l ON l.id = f.list_id "
                "WHERE f.user_id = ? ORDER BY f.seq DESC LIMIT ?",
                id, first, IdTitle);
    for (const char* table : {"favorites", "collected"}) {
      std::string name(table);
      entry[name] = Section(db, "SELECT COUNT(*) FROM " + name + " WHERE user_id = ?",
                            "SELECT s.id, s.title, s.author FROM " + name +
                                " t JOIN songs s ON s.id = t.song_id WHERE t.user_id = ? "
                                "ORDER BY t.seq DESC LIMIT ?",
                            id, first, [](const Query& row) {
                              Json song = IdTitle(row);
                              song["artist"] = Text(row.Text(2));
                              return song;
                            });
    }
    entry["cloud"] = Section(db, "SELECT COUNT(*) FROM cloud_records WHERE user_id = ?",
                             "SELECT song_id, song_title, artist_name FROM cloud_records "
                             "WHERE user_id = ? ORDER BY time DESC, song_id DESC LIMIT ?",
                             id, first, [](const Query& row) {
                               Json song = IdTitle(row);
                               song["artist"] = Text(row.Text(2));
                               return song;
                             });
    users[i] = std::move(entry);
  }
  Json answer = Answer();
  answer["users"] = users;
  return answer;
}

}  // namespace lumo::sandbox
