// Song lists, favourites and collected songs through the lumo binary, against the built-in
// sandbox's seed: gathering every page, a list's and a favourite's round trips, refusals, and
// where the progress line goes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cpprest/json.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "lumo_run.h"

namespace {

using lumo_test::ErrorLines;
using lumo_test::LumoTest;
using lumo_test::Quote;
using lumo_test::RunResult;
using web::json::value;

constexpr char kBigToken[] = "sbx-big-2c81e4d0";

// The texts of member `key` of every element of `rows`.
std::vector<std::string> Column(const value& rows, const char* key) {
  std::vector<std::string> texts;
  for (const value& row : rows.as_array()) texts.push_back(row.at(key).as_string());
  return texts;
}

std::vector<std::string> Texts(const value& list) {
  std::vector<std::string> texts;
  for (const value& text : list.as_array()) texts.push_back(text.as_string());
  return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class ListsTest : public LumoTest {
 protected:
  // Runs with --json and expects success and no progress line in standard error (which is not
  // a terminal here).
  value Json(std::vector<std::string> args) const {
    args.insert(args.begin(), {"-q", "--json"});
    const RunResult result = Run(args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return value::parse(result.out);
  }

  // The song ids of a list, in their order.
  std::vector<std::string> SongsOf(const std::string& list_id) const {
    return Column(Json({"list", "show", list_id}).at("songs"), "song_id");
  }

  // Runs lumo with standard error on a terminal; what it drew there.
  std::string RunOnTerminal(const std::vector<std::string>& args) const {
    int terminal_reader = -1;
    int terminal = -1;
    EXPECT_EQ(openpty(&terminal_reader, &terminal, nullptr, nullptr, nullptr), 0);
    const std::string command =
        Command(args) + " >/dev/null 2>" + Quote(ttyname(terminal)) + " </dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    fcntl(terminal_reader, F_SETFL, O_NONBLOCK);
    std::string drawn;
    char buffer[512];
    for (ssize_t n; (n = read(terminal_reader, buffer, sizeof buffer)) > 0;)
      drawn.append(buffer, n);
    close(terminal);
    close(terminal_reader);
    return drawn;
  }
};

// What the sandbox seeds the big user with, gathered page by page, against the count the service
// reports on the first page and against the seed.
TEST_F(ListsTest, GatheringCommandsReturnEveryItemTheServiceCounts) {
  struct Case {
    std::vector<std::string> all;
    std::vector<std::string> first_page;  // empty: the first page carries no count
    const char* first_page_count;
    const char* count;
    const char* items;
    const char* id;
    int seeded;
  };
  const Case cases[] = {
      {{"lists", "--all"}, {"lists"}, "listnum", "listnum", "lists", "list_id", 260},
      {{"lists", "--all", "--kind", "fav"},
       {"lists", "--kind", "fav"},
       "listnum",
       "listnum",
       "lists",
       "list_id",
       120},
      {{"lists", "--all", "--kind", "albums"},
       {"lists", "--kind", "albums"},
       "listnum",
       "listnum",
       "lists",
       "list_id",
       130},
      {{"list", "show", "300156", "--all"},
       {"list", "show", "300156"},
       "song_num",
       "song_num",
       "songs",
       "song_id",
       500},
      {{"fav", "list", "--all"},
       {"lists", "--kind", "count"},
       "listnum",
       "count",
       "songs",
       "song_id",
       2400},
      {{"collect", "list", "--all"}, {}, nullptr, "count", "songs", "song_id", 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.all[0] + " " + c.all[1] + " " + c.all.back());
    std::vector<std::string> all = c.all;
    all.insert(all.begin(), {"--token", kBigToken});
    const value gathered = Json(all);
    int reported = c.seeded;
    if (!c.first_page.empty()) {
      std::vector<std::string> first = c.first_page;
      first.insert(first.begin(), {"--token", kBigToken});
      reported = Json(first).at(c.first_page_count).as_integer();
    }
    EXPECT_EQ(reported, c.seeded);
    EXPECT_EQ(gathered.at(c.count).as_integer(), reported);
    const std::vector<std::string> ids = Column(gathered.at(c.items), c.id);
    EXPECT_EQ(ids.size(), static_cast<size_t>(reported));
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size()) << "repeats";
  }
}

TEST_F(ListsTest, AListRoundTripShowsEachStepInTheNext) {
  const std::string title = "Road & Rain 夜晚的歌 + more";
  const value created = Json({"list", "create", title});
  const std::string id = created.at("list_id").as_string();
  EXPECT_EQ(created.at("title").as_string(), title);
  const value own = Json({"lists"}).at("lists");
  ASSERT_GT(own.size(), 0u);
  EXPECT_EQ(own.at(0).at("list_id").as_string(), id);  // newest first
  EXPECT_EQ(own.at(0).at("title").as_string(), title);

  Json({"list", "add", id, "100001", "100002", "100003"});
  EXPECT_EQ(SongsOf(id), (std::vector<std::string>{"100001", "100002", "100003"}));
  Json({"list", "sort", id, "100003", "100001", "100002"});
  EXPECT_EQ(SongsOf(id), (std::vector<std::string>{"100003", "100001", "100002"}));
  Json({"list", "remove", id, "100001"});
  EXPECT_EQ(SongsOf(id), (std::vector<std::string>{"100003", "100002"}));

  // What an edit does not name stays as it was.
  Json({"list", "edit", id, "--tag", "Chill", "--desc", "for the road & 夜"});
  Json({"list", "edit", id, "--title", "Renamed & 改名"});
  const value info = Json({"list", "show", id}).at("info");
  EXPECT_EQ(info.at("list_title").as_string(), "Renamed & 改名");
  EXPECT_EQ(info.at("list_tag").as_string(), "Chill");
  EXPECT_EQ(info.at("list_desc").as_string(), "for the road & 夜");

  Json({"list", "fav", id});
  EXPECT_TRUE(
      Contains(Column(Json({"lists", "--kind", "fav", "--all"}).at("lists"), "list_id"), id));
  Json({"list", "unfav", id});
  EXPECT_FALSE(
      Contains(Column(Json({"lists", "--kind", "fav", "--all"}).at("lists"), "list_id"), id));

  Json({"list", "delete", id});
  const RunResult gone = Run({"list", "show", id});
  EXPECT_EQ(gone.exit_code, 1);
  EXPECT_NE(gone.err.find("service code 41002 (no such song list"), std::string::npos) << gone.err;

  // Made with its songs at once; ids that are not digits never reach the service.
  const value filled = Json({"list", "create", "Two at once", "--songs", "100005,100004"});
  EXPECT_EQ(SongsOf(filled.at("list_id").as_string()),
            (std::vector<std::string>{"100005", "100004"}));
}

TEST_F(ListsTest, AFavouriteIsSetAndCleared) {
  auto favourites = [this] {
    return Column(Json({"fav", "list", "--all"}).at("songs"), "song_id");
  };
  ASSERT_FALSE(Contains(favourites(), "100002"));
  EXPECT_EQ(Json({"fav", "add", "100002"}).at("status").as_integer(), 22000);
  EXPECT_EQ(Column(Json({"fav", "list"}).at("songs"), "song_id").at(0), "100002");
  EXPECT_EQ(Json({"fav", "add", "100002"}).at("status").as_integer(), 22322);  // already

  // Several at once: the paid song is skipped.
  const value several = Json({"fav", "add", "100003", "100017", "100004"});
  EXPECT_EQ(Texts(several.at("added_ids")), (std::vector<std::string>{"100003", "100004"}));
  EXPECT_EQ(Texts(several.at("skipped_ids")), std::vector<std::string>{"100017"});
  EXPECT_TRUE(Contains(favourites(), "100004"));
  Json({"fav", "remove", "100002", "100003", "100004"});
  const std::vector<std::string> after = favourites();
  for (const char* id : {"100002", "100003", "100004"}) EXPECT_FALSE(Contains(after, id)) << id;
}

TEST_F(ListsTest, AlbumsChannelsAndCommentsReadAsTheServiceNamesThem) {
  // The library keeps an album's texts in a song list's fields; the tool gives back their names.
  const value album = Json({"album", "5001"});
  EXPECT_EQ(album.at("album").at("album_id").as_string(), "5001");
  EXPECT_EQ(album.at("album").at("artist_id").as_string(), "2001");
  EXPECT_NE(album.at("album").at("buy_url").as_string(), "");
  ASSERT_GT(album.at("songs").size(), 0u);
  for (const std::string& id : Column(album.at("songs"), "album_id")) EXPECT_EQ(id, "5001");

  const value channels = Json({"channels"});
  EXPECT_EQ(channels.at("hot").size(), 5u);
  ASSERT_EQ(channels.at("tags").size(), 4u);
  EXPECT_GT(channels.at("tags").at(0).at("second").size(), 0u);

  // Comments after a page: the list's comment count less the page.
  const int comments =
      std::stoi(Json({"list", "show", "300151"}).at("info").at("comment_num").as_string());
  EXPECT_EQ(
      Json({"comments", "0", "300151", "--size", "20"}).at("commentlist_last_nums").as_integer(),
      comments - 20);
}

TEST_F(ListsTest, RefusalsAndWrongInputEndWithOneLine) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* line;  // the start of the error line
  };
  const Case cases[] = {
      // A song that must be bought, and a blocked one: not made favourites.
      {{"fav", "add", "100017"},
       1,
       "lumo: fav add failed: service code 22469 (the song must be bought): buy it at "
       "http://pay.lumo.example/song/100017"},
      {{"fav", "add", "100029"},
       1,
       "lumo: fav add failed: service code 24003 (the song is not available): This song is not "
       "available in your region"},
      {{"list", "show", "399999"},
       1,
       "lumo: list show failed: service code 41002 (no such song list"},
      {{"list", "delete", "300001"},
       1,
       "lumo: list delete failed: service code 41003 (the song list belongs to another user"},
      {{"list", "sort", "300151", "100001"},
       1,
       "lumo: list sort failed: service code 41009 (the new order is not exactly the list's songs"},
      {{"list", "unfav", "300152"},
       1,
       "lumo: list unfav failed: service code 41010 (the list is not among the user's favourites"},
      {{"album", "1"}, 1, "lumo: album failed: service code 41006 (no such album"},
      // Refused before anything is sent.
      {{"list", "show", "30015x"}, 2, "lumo: LIST_ID: expected a numeric id"},
      {{"list", "add", "300151"}, 2, "lumo: SONG_ID is required"},
      {{"list", "remove", "300151", "1", "y"}, 2, "lumo: SONG_ID: expected a numeric id"},
      {{"list", "create", "T", "--songs", "100001,x"}, 2, "lumo: --songs: expected a numeric id"},
      {{"list", "edit", "300151"}, 2, "lumo: list edit failed: nothing to change"},
      {{"list", "fav", "300001", "--source", "3"}, 2, "lumo: --source"},
      {{"lists", "--kind", "mine"}, 2, "lumo: --kind"},
      {{"lists", "--page", "-1"}, 2, "lumo: Could not convert: --page"},
      {{"comments", "0", "300151", "--size", "0"}, 2, "lumo: --size"},
      {{"fav", "add"}, 2, "lumo: SONG_ID is required"},
      {{"collect", "remove", "abc"}, 2, "lumo: SONG_ID: expected a numeric id"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const RunResult result = Run(c.args);
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.out, "");
    const std::vector<std::string> lines = ErrorLines(result.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind(c.line, 0), 0u) << lines[0];
    if (c.exit_code == 1) {
      EXPECT_EQ(lines.size(), 1u) << result.err;
    }
  }
  const std::vector<std::string> favourites =
      Column(Json({"fav", "list", "--all"}).at("songs"), "song_id");
  EXPECT_FALSE(Contains(favourites, "100017"));
  EXPECT_FALSE(Contains(favourites, "100029"));
}

TEST_F(ListsTest, TheProgressLineIsForATerminalAndNeverForJson) {
  const std::string drawn = RunOnTerminal({"-q", "--token", kBigToken, "fav", "list", "--all"});
  // Redrawn in place, and cleared at the end.
  ASSERT_FALSE(drawn.empty());
  EXPECT_NE(drawn.find("\rpages "), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("pages 48, items 2400"), std::string::npos) << drawn;
  EXPECT_EQ(drawn.back(), '\r');
  EXPECT_EQ(RunOnTerminal({"-q", "--json", "--token", kBigToken, "fav", "list", "--all"}), "");
  EXPECT_EQ(RunOnTerminal({"-q", "--token", kBigToken, "lists"}), "");  // one page: no task
}

}  // namespace
