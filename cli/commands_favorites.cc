// Favourite and collected songs: pages of them or all of them, adding favourites (one song with
// what the service says about it, or several), and removing either kind.
#include <ctime>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "commands.h"
#include "describe.h"
#include "lumoapi/favorite/add_song_favorite.h"
#include "lumoapi/favorite/add_song_favorites.h"
#include "lumoapi/favorite/del_collect_song.h"
#include "lumoapi/favorite/del_song_favorites.h"
#include "lumoapi/favorite/get_all_collect_songs.h"
#include "lumoapi/favorite/get_all_favorite_songs.h"
#include "lumoapi/favorite/get_collect_song.h"
#include "lumoapi/favorite/get_favorite_song.h"
#include "report.h"
#include "service_codes.h"

namespace lumo::cli {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;
using namespace lumoapi::favorite;  // NOLINT(google-build-using-namespace): the family's classes

// A page of `--page N` starts at song N x this, the page size the gathering tasks use too.
constexpr unsigned int kSongPageSize = 50;

// The service's codes for a song it will not make a favourite.
constexpr int kMustBeBought = 22469;
constexpr int kBlocked = 24003;
// Answers, not refusals: a favourite already; no collected songs (on this page).
constexpr int kAlreadyFavorite = 22322;
constexpr int kNoCollectedSongs = 22001;

struct PageArgs {
  unsigned int page = 0;
  bool all = false;
};

// A page of favourite or collected songs (`Page`), or all of them (`AllTask`), printed by
// `add_songs`. Gathered songs come with "count", the number gathered.
template <class Page, class AllTask, class Songs>
int RunSongPages(Session& session, const PageArgs& args, const std::string& operation,
                 void (*add_songs)(Report&, const Songs&), const Session::Accept& accept = {}) {
  if (auto exit = session.RequireToken(operation)) return *exit;
  if (args.all) {
    AllTask task(session.token());
    task.pn = args.page * kSongPageSize;  // a song position
    return RunGathering(
        session, task, task.completed, operation, [&task] { return task.songs.size(); },
        [&] {
          Report report;
          report.Outcome(static_cast<int32_t>(task._GetStatus()), task._GetSucceeded())
              .Int("count", static_cast<int64_t>(task.songs.size()))
              .Label("songs_gathered");
          add_songs(report, task.songs);
          return report;
        },
        [&task] {
          return ResumePoint{"--page", task.pn / kSongPageSize};
        },
        accept);
  }
  Report report;
  Page request(session.token(), args.page * kSongPageSize, kSongPageSize);
  if (auto exit = session.Call(request, operation, accept)) return *exit;
  report.Outcome(request).Flag("havemore", request.havemore);
  add_songs(report, request.songs);
  return session.output().Print(report);
}

int RunFavList(Session& session, const PageArgs& args) {
  return RunSongPages<GetFavoriteSong, GetAllFavoriteSongs>(session, args, "fav list",
                                                            &AddFavoriteSongs);
}

int RunCollectList(Session& session, const PageArgs& args) {
  return RunSongPages<GetCollectSong, GetAllCollectSongs>(
      session, args, "collect list", &AddCollectSongs, Session::Accept{{kNoCollectedSongs}});
}

struct IdsArgs {
  std::vector<std::string> song_ids;
};

// One song: the service's outcome for it. A song that must be bought or is blocked is refused,
// and the error line carries its purchase link or the service's hint.
int AddOneFavorite(Session& session, const std::string& song_id) {
  AddSongFavorite request(session.token(), ToUtf16(song_id),
                          static_cast<int64_t>(std::time(nullptr)));
  const auto explain = [&request]() -> std::string {
    const AddSongFavorite::ResultItem item = request.GetSongInfo();
    if (request.status == kMustBeBought && !item.buy_url.empty()) {
      return "buy it at " + ToUtf8(item.buy_url);
    }
    if (request.status == kBlocked) return ToUtf8(item.tips);
    return std::string();
  };
  if (auto exit = session.Call(request, "fav add", Session::Accept{{kAlreadyFavorite}}, explain)) {
    return *exit;
  }
  Report report;
  report.Outcome(request).Text("song_id", song_id).Flag("favorite", true);
  return session.output().Print(report);
}

int RunFavAdd(Session& session, const IdsArgs& args) {
  if (auto exit = session.RequireToken("fav add")) return *exit;
  if (args.song_ids.size() == 1) return AddOneFavorite(session, args.song_ids[0]);
  AddSongFavorites request(session.token(), WideTexts(args.song_ids));
  return CallAndPrint(session, request, "fav add", [&args](const AddSongFavorites& add) {
    const std::set<std::wstring> added(add.added_ids.begin(), add.added_ids.end());
    std::vector<std::wstring> skipped;
    for (const std::wstring& id : WideTexts(args.song_ids)) {
      if (added.count(id) == 0) skipped.push_back(id);
    }
    Report report;
    report.Outcome(add).List("added_ids", add.added_ids).List("skipped_ids", skipped);
    return report;
  });
}

// How many songs the service says it removed: its answer's "deleted", when it has one.
std::optional<int64_t> DeletedCount(const std::wstring& response_text) {
  try {
    const web::json::value answer = web::json::value::parse(ToUtf8(response_text));
    const web::json::value& deleted = answer.at(U("result")).at(U("deleted"));
    if (deleted.is_integer()) return deleted.as_number().to_int64();
  } catch (const std::exception&) {
    // An answer without the count says nothing about it.
  }
  return std::nullopt;
}

// The count in words: the service takes songs that are not there and removes nothing for them.
std::string RemovedWords(int64_t deleted, size_t sent, const std::string& where) {
  const auto songs = [](int64_t n) { return std::to_string(n) + (n == 1 ? " song" : " songs"); };
  if (deleted == 0) return "none: not among the user's " + where;
  if (deleted == static_cast<int64_t>(sent)) return songs(deleted);
  return std::to_string(deleted) + " of " + songs(static_cast<int64_t>(sent)) +
         "; the others were not among the user's " + where;
}

// Removing favourite or collected songs: the ids sent and what the service says it removed.
template <class Request>
int RunRemoveSongs(Session& session, const IdsArgs& args, const std::string& operation,
                   const std::string& where) {
  if (auto exit = session.RequireToken(operation)) return *exit;
  Request request(session.token(), WideTexts(args.song_ids));
  return CallAndPrint(session, request, operation, [&](const Request& remove) {
    Report report;
    report.Outcome(remove);
    if (const std::optional<int64_t> deleted = DeletedCount(remove.response_text)) {
      report
          .Said("deleted", web::json::value::number(*deleted),
                RemovedWords(*deleted, args.song_ids.size(), where))
          .Label("removed");
    }
    report.List("song_ids", WideTexts(args.song_ids));
    return report;
  });
}

int RunFavRemove(Session& session, const IdsArgs& args) {
  return RunRemoveSongs<DelSongFavorites>(session, args, "fav remove", "favourites");
}

int RunCollectRemove(Session& session, const IdsArgs& args) {
  return RunRemoveSongs<DelCollectSong>(session, args, "collect remove", "collected songs");
}

CLI::App* AddListCommand(CLI::App& group, Tool& tool, const std::string& description,
                         int (*run)(Session&, const PageArgs&)) {
  auto args = std::make_shared<PageArgs>();
  CLI::App* command = AddCommand(group, tool, "list", description, args, run);
  command->add_option("--page", args->page,
                      "Which page of 50 songs, from 0 (newest first); with --all, the page it "
                      "starts at (page N starts at song 50 x N)");
  command->add_flag("--all", args->all,
                    "Every song from --page on, page by page (a progress line on a terminal's "
                    "standard error); when a page fails, the songs before it are printed and "
                    "the error names the --page to go on from");
  return command;
}

CLI::App* AddIdsCommand(CLI::App& group, Tool& tool, const std::string& name,
                        const std::string& description, int (*run)(Session&, const IdsArgs&)) {
  auto args = std::make_shared<IdsArgs>();
  CLI::App* command = AddCommand(group, tool, name, description, args, run);
  AddSongIds(*command, args->song_ids);
  return command;
}

}  // namespace

void AddFavoriteCommands(CLI::App& app, Tool& tool) {
  CLI::App* fav = AddGroup(app, "fav", "The user's favourite songs");
  AddListCommand(*fav, tool, "A page of the user's favourite songs, or all of them", &RunFavList);
  AddIdsCommand(*fav, tool, "add", "Make songs favourites", &RunFavAdd)
      ->footer(
          "One song: the service's answer for it; 22322 says it was a favourite already. A song "
          "that must be bought (22469) or is not available (24003) is refused with its purchase "
          "link or the service's hint, and the exit status is 1.\n"
          "Several songs: those added; songs the service skipped (unknown, to be bought, not "
          "available or favourites already) are listed as skipped_ids.");
  AddIdsCommand(*fav, tool, "remove", "Remove songs from the favourites", &RunFavRemove);

  CLI::App* collect = AddGroup(app, "collect", "The user's collected songs");
  AddListCommand(*collect, tool, "A page of the user's collected songs, or all of them",
                 &RunCollectList)
      ->footer("A page past the last answers with status 22001 (no collected songs) and no songs.");
  AddIdsCommand(*collect, tool, "remove", "Remove songs from the collected songs",
                &RunCollectRemove);
}

}  // namespace lumo::cli
