#include "seed.h"

#include <array>
#include <string>
#include <vector>

#include "crypto.h"
#include "store.h"

#include "sandbox/seed_radio.h"
#include "sandbox/seed_users.h"

namespace lumo::sandbox {
namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS artists(id INTEGER PRIMARY KEY, name TEXT NOT NULL,
  avatar TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS artist_pics(artist_id INTEGER NOT NULL, pos INTEGER NOT NULL,
  url TEXT NOT NULL, PRIMARY KEY(artist_id, pos));
CREATE TABLE IF NOT EXISTS albums(id INTEGER PRIMARY KEY, title TEXT NOT NULL,
  artist_id INTEGER NOT NULL, info TEXT NOT NULL, publishtime TEXT NOT NULL, pic TEXT NOT NULL,
  collect_num INTEGER NOT NULL, buy_url TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS songs(id INTEGER PRIMARY KEY, title TEXT NOT NULL,
  author TEXT NOT NULL, artist_ids TEXT NOT NULL, album_id INTEGER NOT NULL,
  all_rate TEXT NOT NULL, access INTEGER NOT NULL, resource_type INTEGER NOT NULL,
  has_mv INTEGER NOT NULL, play_type INTEGER NOT NULL, relate_status INTEGER NOT NULL,
  duration INTEGER NOT NULL, pic_huge TEXT NOT NULL, pic_premium TEXT NOT NULL,
  pic_big TEXT NOT NULL, pic_small TEXT NOT NULL, lrclink TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS songs_by_album ON songs(album_id);
CREATE TABLE IF NOT EXISTS song_files(song_id INTEGER NOT NULL, bitrate INTEGER NOT NULL,
  ext TEXT NOT NULL, size INTEGER NOT NULL, hash TEXT NOT NULL, file_id INTEGER NOT NULL,
  free INTEGER NOT NULL, replay_gain REAL NOT NULL, PRIMARY KEY(song_id, bitrate));
CREATE TABLE IF NOT EXISTS users(id INTEGER PRIMARY KEY, name TEXT NOT NULL,
  token TEXT NOT NULL UNIQUE, pic TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS lists(id INTEGER PRIMARY KEY, owner INTEGER NOT NULL,
  title TEXT NOT NULL, pic TEXT NOT NULL, tag TEXT NOT NULL, description TEXT NOT NULL,
  created INTEGER NOT NULL, modified INTEGER NOT NULL, share_num INTEGER NOT NULL,
  listen_num INTEGER NOT NULL, comment_num INTEGER NOT NULL, collect_num INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS lists_by_owner ON lists(owner, id);
CREATE TABLE IF NOT EXISTS list_songs(list_id INTEGER NOT NULL, pos INTEGER NOT NULL,
  song_id INTEGER NOT NULL, PRIMARY KEY(list_id, pos), UNIQUE(list_id, song_id));
CREATE TABLE IF NOT EXISTS list_favorites(user_id INTEGER NOT NULL, list_id INTEGER NOT NULL,
  seq INTEGER NOT NULL, PRIMARY KEY(user_id, list_id));
CREATE TABLE IF NOT EXISTS user_albums(user_id INTEGER NOT NULL, album_id INTEGER NOT NULL,
  seq INTEGER NOT NULL, PRIMARY KEY(user_id, album_id));
CREATE TABLE IF NOT EXISTS favorites(user_id INTEGER NOT NULL, song_id INTEGER NOT NULL,
  seq INTEGER NOT NULL, time INTEGER NOT NULL, PRIMARY KEY(user_id, song_id));
CREATE INDEX IF NOT EXISTS favorites_by_seq ON favorites(user_id, seq);
CREATE TABLE IF NOT EXISTS collected(user_id INTEGER NOT NULL, song_id INTEGER NOT NULL,
  seq INTEGER NOT NULL, PRIMARY KEY(user_id, song_id));
CREATE INDEX IF NOT EXISTS collected_by_seq ON collected(user_id, seq);
CREATE TABLE IF NOT EXISTS radio_channels(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE IF NOT EXISTS scenes(id INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS radio_cursors(key TEXT PRIMARY KEY, pos INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS tags(grp INTEGER NOT NULL, first TEXT NOT NULL, pos INTEGER NOT NULL,
  second TEXT NOT NULL, PRIMARY KEY(grp, pos));
CREATE TABLE IF NOT EXISTS hot_tags(pos INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS splash(pos INTEGER PRIMARY KEY, pic TEXT NOT NULL,
  link TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS cloud_records(user_id INTEGER NOT NULL, md5 TEXT NOT NULL,
  song_id INTEGER NOT NULL, file_link TEXT NOT NULL, object TEXT NOT NULL,
  song_title TEXT NOT NULL, album_title TEXT NOT NULL, artist_name TEXT NOT NULL,
  file_name TEXT NOT NULL, ext TEXT NOT NULL, bitrate INTEGER NOT NULL,
  duration INTEGER NOT NULL, size INTEGER NOT NULL, time INTEGER NOT NULL,
  PRIMARY KEY(user_id, md5));
CREATE INDEX IF NOT EXISTS cloud_records_by_md5 ON cloud_records(md5);
CREATE TABLE IF NOT EXISTS upload_grants(authorization TEXT PRIMARY KEY, object TEXT NOT NULL,
  length INTEGER NOT NULL, md5 TEXT NOT NULL, content_type TEXT NOT NULL, date TEXT NOT NULL,
  expires INTEGER NOT NULL, used INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS objects(object TEXT PRIMARY KEY, md5 TEXT NOT NULL,
  size INTEGER NOT NULL, data BLOB NOT NULL, time INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS user_downs(seq INTEGER PRIMARY KEY, uid TEXT NOT NULL,
  song_ids TEXT NOT NULL, cuid TEXT NOT NULL, time INTEGER NOT NULL);
)sql";

constexpr std::array<const char*, 23> kTables = {
    "meta",      "artists",        "artist_pics",   "albums",         "songs",       "song_files",
    "users",     "lists",          "list_songs",    "list_favorites", "user_albums", "favorites",
    "collected", "radio_channels", "scenes",        "radio_cursors",  "tags",        "hot_tags",
    "splash",    "cloud_records",  "upload_grants", "objects",        "user_downs"};

// A fixed-seed generator (splitmix64): the same seed gives the same catalogue everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int bound) { return static_cast<int>(Next() % static_cast<uint64_t>(bound)); }
  template <size_t N>
  const char* Pick(const std::array<const char*, N>& words) {
    return words[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

 private:
  uint64_t state_;
};

constexpr std::array<const char*, 24> kAdjectives = {
    "Midnight", "Paper",    "Neon",  "Autumn",   "Glass",  "Silver",  "Harbor", "Velvet",
    "Summer",   "Golden",   "Quiet", "Electric", "Winter", "Morning", "Shadow", "Desert",
    "Crimson",  "Northern", "Wild",  "Distant",  "Hollow", "Endless", "Little", "Falling"};
constexpr std::array<const char*, 20> kNouns = {
    "Lights", "Road",   "Hearts",  "Dreams",    "Rain",    "Letters", "Skies",
    "Waves",  "Stars",  "Bridges", "Gardens",   "Streets", "Fires",   "Songs",
    "Rivers", "Voices", "Windows", "Mountains", "Tides",   "Birds"};
constexpr std::array<const char*, 16> kChineseWords = {
    "晴天", "夜曲", "稻香", "青花", "月光", "海边", "远方", "小城",
    "春风", "流星", "雨巷", "故乡", "白桦", "长街", "灯火", "彩虹"};
constexpr std::array<const char*, 10> kForeignTitles = {
    "さくら色の夜", "夏の星空",    "Café Noir",      "Déjà Vu",     "Señorita Azul",
    "Fête Foraine", "Naïve Heart", "Ångström Blues", "Smörgåsbord", "Привет, лето"};
constexpr std::array<const char*, 12> kFirstNames = {"Mira", "Jonah", "Elise", "Tomas",
                                                     "Ada",  "Rafe",  "Nina",  "Oskar",
                                                     "Lena", "Caleb", "Iris",  "Milo"};
constexpr std::array<const char*, 12> kLastNames = {"Calder", "Voss",  "Hart",  "Linden",
                                                    "Brook",  "Quill", "Marsh", "Thorne",
                                                    "Wren",   "Ashby", "Reyes", "Frost"};
constexpr std::array<const char*, 8> kSurnames = {"林", "陈", "周", "王", "李", "张", "苏", "许"};
constexpr std::array<const char*, 8> kGivenNames = {"小雨", "一诺", "子轩", "思远",
                                                    "晓月", "明轩", "若溪", "星河"};
constexpr std::array<const char*, 6> kAccentedNames = {
    "Zoë Ångström", "Björn Åkesson", "Chloé Dubois", "Ñico Peña", "青山 みなと", "Émile Roux"};

constexpr const char* kImageHost = "http://img.lumo.example";

std::string Title(Random& random, int index) {
  std::string adjective = random.Pick(kAdjectives);
  std::string noun = random.Pick(kNouns);
  switch (index % 10) {
    case 5:
      return std::string(random.Pick(kChineseWords)) + random.Pick(kChineseWords);
    case 6:
      return adjective + " & " + noun;
    case 7:
      return random.Pick(kForeignTitles);
    case 8:
      return index % 20 == 8 ? "1+1=" + noun : "100% " + noun;
    case 9:
      return noun + " (Live)";
    default:
      return adjective + " " + noun;
  }
}

std::string ArtistName(Random& random, int index) {
  switch (index % 6) {
    case 1:
      return std::string(random.Pick(kSurnames)) + random.Pick(kGivenNames);
    case 2:
      return std::string("The ") + random.Pick(kAdjectives) + " " + random.Pick(kNouns);
    case 3:
      return std::string(random.Pick(kFirstNames)) + " & The " + random.Pick(kNouns);
    case 4:
      return std::string(random.Pick(kAccentedNames)) + " " + std::to_string(index);
    default:
      return std::string(random.Pick(kFirstNames)) + " " + random.Pick(kLastNames);
  }
}

std::string Pic(const std::string& kind, int64_t id, int size) {
  return std::string(kImageHost) + "/" + kind + "/" + std::to_string(id) + "/" +
         std::to_string(size) + ".jpg";
}

void SeedArtistsAndAlbums(Db& db, Random& random, std::vector<std::string>& artist_names,
                          std::vector<std::string>& album_titles) {
  for (int j = 0; j < kSeedArtists; ++j) {
    int64_t id = kFirstArtistId + j;
    artist_names.push_back(ArtistName(random, j));
    bool bare = j % 12 == 0;  // neither pictures nor an avatar
    db.Sql("INSERT INTO artists(id, name, avatar) VALUES(?, ?, ?)", id, artist_names.back(),
           bare ? std::string() : Pic("artist", id, 1000))
        .Run();
    int pictures = bare ? 0 : j % 4;
    for (int p = 0; p < pictures; ++p) {
      db.Sql("INSERT INTO artist_pics(artist_id, pos, url) VALUES(?, ?, ?)", id, p,
             Pic("artist", id, 1000) + "?v=" + std::to_string(p + 1))
          .Run();
    }
  }
  for (int k = 0; k < kSeedAlbums; ++k) {
    int64_t id = kFirstAlbumId + k;
    int64_t artist = kFirstArtistId + k % kSeedArtists;
    album_titles.push_back(Title(random, k + 3));
    char date[16];
    std::snprintf(date, sizeof(date), "20%02d-%02d-%02d", 5 + k % 20, 1 + k % 12, 1 + k % 28);
    db.Sql(
          "INSERT INTO albums(id, title, artist_id, info, publishtime, pic, collect_num, buy_url) "
          "VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
          id, album_titles.back(), artist,
          "The " + std::to_string(k % 9 + 1) + "th album of " +
              artist_names[static_cast<size_t>(k % kSeedArtists)],
          std::string(date), k % 15 == 0 ? std::string() : Pic("album", id, 500),
          random.Below(5000), "http://pay.lumo.example/album/" + std::to_string(id))
        .Run();
  }
}

void SeedSongs(Db& db, Random& random, const std::vector<std::string>& artist_names) {
  static const std::vector<std::vector<int>> kTiers = {
      {128, 192, 320, 900}, {128, 320}, {128, 192}, {128, 192, 320}, {128}};
  for (int i = 1; i <= kSeedSongs; ++i) {
    int64_t id = kFirstSongId + i - 1;
    int album_index = i % kSeedAlbums;
    int64_t album = kFirstAlbumId + album_index;
    int artist_index = album_index % kSeedArtists;
    std::string author = artist_names[static_cast<size_t>(artist_index)];
    std::string artist_ids = std::to_string(kFirstArtistId + artist_index);
    if (i % 10 == 3) {
      int second = (artist_index + 7) % kSeedArtists;
      author += " & " + artist_names[static_cast<size_t>(second)];
      artist_ids += "," + std::to_string(kFirstArtistId + second);
    }
    const std::vector<int>& tier = kTiers[static_cast<size_t>(i % 5)];
    std::string all_rate;
    for (int bitrate : tier) {
      if (!all_rate.empty()) all_rate += i % 7 == 0 ? " , " : ",";
      all_rate += bitrate == 900 ? "flac" : std::to_string(bitrate);
    }
    int access = i % 29 == 0 ? kSongBlocked : i % 17 == 0 ? kSongPaid : kSongFree;
    int duration = 120 + random.Below(240);
    std::string cover = Pic("album", album, 500);
    db.Sql(
          "INSERT INTO songs(id, title, author, artist_ids, album_id, all_rate, access, "
          "resource_type, has_mv, play_type, relate_status, duration, pic_huge, pic_premium, "
          "pic_big, pic_small, lrclink) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          id, Title(random, i), author, artist_ids, album, all_rate, access,
          i % 13 == 0 ? 2 : i % 2, i % 6 == 0 ? 1 : 0, i % 4 == 0 ? 1 : 0, i % 8 == 0 ? 1 : 0,
          duration, i % 9 == 0 ? std::string() : Pic("album", album, 1000),
          Pic("album", album, 800), cover, Pic("album", album, 150),
          i % 11 == 0 ? std::string()
                      : "http://lrc.lumo.example/lrc/" + std::to_string(id) + ".lrc")
        .Run();
    for (size_t f = 0; f < tier.size(); ++f) {
      int bitrate = tier[f];
      std::string hash = Md5Hex(std::to_string(id) + ":" + std::to_string(bitrate));
      int64_t file_id = (i % 31 == 0 && f == 0) ? 0 : id * 10 + static_cast<int64_t>(f);
      db.Sql(
            "INSERT INTO song_files(song_id, bitrate, ext, size, hash, file_id, free, "
            "replay_gain) VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
            id, bitrate, std::string(bitrate == 900 ? "flac" : "mp3"),
            static_cast<int64_t>(bitrate) * 125 * duration, hash, file_id, i % 19 == 0 ? 0 : 1,
            -static_cast<double>(i % 40) * 0.25)
          .Run();
    }
  }
}

void SeedRadioAndTags(Db& db) {
  int64_t id = 1;
  for (const char* name : kSeedChannels) {
    db.Sql("INSERT INTO radio_channels(id, name) VALUES(?, ?)", id++, std::string(name)).Run();
  }
  id = 1;
  for (const char* name : kSeedScenes) {
    db.Sql("INSERT INTO scenes(id, name) VALUES(?, ?)", id++, std::string(name)).Run();
  }
  struct Group {
    const char* first;
    std::vector<const char*> second;
  };
  static const std::vector<Group> kGroups = {{"语种", {"华语", "欧美", "日语", "粤语"}},
                                             {"风格", {"流行", "摇滚", "民谣", "电子", "R&B"}},
                                             {"心情", {"快乐", "安静", "伤感", "Chill"}},
                                             {"场景", {"学习", "运动", "旅行", "睡前"}}};
  int64_t group = 0;
  for (const Group& g : kGroups) {
    int64_t pos = 0;
    for (const char* second : g.second) {
      db.Sql("INSERT INTO tags(grp, first, pos, second) VALUES(?, ?, ?, ?)", group,
             std::string(g.first), pos++, std::string(second))
          .Run();
    }
    ++group;
  }
  static const char* const kHot[] = {"华语", "流行", "Rock & Roll", "Chill", "运动"};
  int64_t pos = 0;
  for (const char* name : kHot) {
    db.Sql("INSERT INTO hot_tags(pos, name) VALUES(?, ?)", pos++, std::string(name)).Run();
  }
  db.Sql("INSERT INTO splash(pos, pic, link) VALUES(0, ?, ?)",
         std::string(kImageHost) + "/splash/winter-2026.jpg",
         std::string("http://www.lumo.example/campaign/winter"))
      .Run();
  db.Sql("INSERT INTO splash(pos, pic, link) VALUES(1, ?, ?)",
         std::string(kImageHost) + "/splash/default.jpg", std::string("http://www.lumo.example/"))
      .Run();
}

struct UserPlan {
  int64_t id;
  const char* name;
  const char* token;
  std::vector<int> list_sizes;
  int list_favorites;
  int albums;
  int favorites;
  int collected;
};

std::vector<int> Sizes(std::initializer_list<int> head, int more, int base, int spread) {
  std::vector<int> sizes(head);
  for (int n = 0; n < more; ++n) sizes.push_back(base + (n * 7) % spread);
  return sizes;
}

// Picks `count` distinct free songs, walking the catalogue with a stride coprime to its size.
std::vector<int64_t> DistinctSongs(int count, int start, int stride, bool free_only) {
  std::vector<int64_t> songs;
  for (int k = 0; static_cast<int>(songs.size()) < count && k < kSeedSongs; ++k) {
    int i = 1 + (start + k * stride) % kSeedSongs;
    bool free = !(i % 29 == 0 || i % 17 == 0);
    if (free_only && !free) continue;
    songs.push_back(kFirstSongId + i - 1);
  }
  return songs;
}

void SeedUsers(Db& db, Random& random, const std::vector<std::string>& album_titles) {
  const std::vector<UserPlan> plans = {
      {std::stoll(kCuratorId), kCuratorName, kCuratorToken, Sizes({}, 150, 10, 31), 0, 0, 12, 0},
      {std::stoll(kOrdinaryUserId),
       kOrdinaryUserName,
       kOrdinaryUserToken,
       {24, 12, 9, 17, 8},
       3,
       4,
       30,
       20},
      {std::stoll(kBigUserId), kBigUserName, kBigUserToken,
       Sizes({kListCapacity, kListCapacity - 1, 250}, 257, 3, 10), 120, 130, 2400, 1500},
  };
  static const char* const kOrdinaryTitles[] = {"Road Trip & Rain", "夜晚的歌", "Café Mornings",
                                                "100% Focus", "1+1=Love"};
  int64_t list_id = kFirstListId;
  int64_t now = 1764979200;  // a fixed clock, so the seed is the same on every run
  std::vector<int64_t> curator_lists;
  for (const UserPlan& plan : plans) {
    db.Sql("INSERT INTO users(id, name, token, pic) VALUES(?, ?, ?, ?)", plan.id,
           std::string(plan.name), std::string(plan.token), Pic("user", plan.id, 180))
        .Run();
    for (size_t n = 0; n < plan.list_sizes.size(); ++n, ++list_id) {
      std::string title = plan.id == std::stoll(kOrdinaryUserId) && n < 5
                              ? kOrdinaryTitles[n]
                              : Title(random, static_cast<int>(list_id % 1000));
      int64_t created = now - 86400 * static_cast<int64_t>(400 - n % 400);
      db.Sql(
            "INSERT INTO lists(id, owner, title, pic, tag, description, created, modified, "
            "share_num, listen_num, comment_num, collect_num) "
            "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            list_id, plan.id, title, Pic("list", list_id, 300),
            std::string(n % 3 == 0 ? "流行,Chill" : "Rock & Roll"),
            "Songs for " + title + " — collected by " + plan.name, created,
            created + 3600 * static_cast<int64_t>(n), random.Below(300), random.Below(90000),
            random.Below(120), random.Below(2000))
          .Run();
      std::vector<int64_t> songs =
          DistinctSongs(plan.list_sizes[n], random.Below(kSeedSongs), 7, false);
      int64_t pos = 0;
      for (int64_t song : songs) {
        db.Sql("INSERT INTO list_songs(list_id, pos, song_id) VALUES(?, ?, ?)", list_id, pos++,
               song)
            .Run();
      }
      if (plan.id == std::stoll(kCuratorId)) curator_lists.push_back(list_id);
    }
    for (int n = 0; n < plan.list_favorites; ++n) {
      db.Sql("INSERT INTO list_favorites(user_id, list_id, seq) VALUES(?, ?, ?)", plan.id,
             curator_lists[static_cast<size_t>(n) % curator_lists.size()], n + 1)
          .Run();
    }
    for (int n = 0; n < plan.albums; ++n) {
      db.Sql("INSERT INTO user_albums(user_id, album_id, seq) VALUES(?, ?, ?)", plan.id,
             kFirstAlbumId + (n * 13) % static_cast<int>(album_titles.size()), n + 1)
          .Run();
    }
    int64_t seq = 1;
    for (int64_t song : DistinctSongs(plan.favorites, static_cast<int>(plan.id % 97), 11, true)) {
      db.Sql("INSERT INTO favorites(user_id, song_id, seq, time) VALUES(?, ?, ?, ?)", plan.id, song,
             seq, now - 60 * (plan.favorites - seq))
          .Run();
      ++seq;
    }
    seq = 1;
    for (int64_t song : DistinctSongs(plan.collected, static_cast<int>(plan.id % 89), 13, true)) {
      db.Sql("INSERT INTO collected(user_id, song_id, seq) VALUES(?, ?, ?)", plan.id, song, seq++)
          .Run();
    }
  }
}

}  // namespace

void CreateSchema(Db& db) { db.Exec(kSchema); }

bool IsSeeded(Db& db) {
  Query query = db.Sql("SELECT value FROM meta WHERE key = 'seeded'");
  return query.Next();
}

void Seed(Db& db) {
  Random random(0x5EED5EEDULL);
  std::vector<std::string> artist_names;
  std::vector<std::string> album_titles;
  SeedArtistsAndAlbums(db, random, artist_names, album_titles);
  SeedSongs(db, random, artist_names);
  SeedRadioAndTags(db);
  SeedUsers(db, random, album_titles);
  db.Sql("INSERT INTO meta(key, value) VALUES('seeded', '1')").Run();
}

void ClearAll(Db& db) {
  for (const char* table : kTables) db.Exec(("DELETE FROM " + std::string(table)).c_str());
}

}  // namespace lumo::sandbox
