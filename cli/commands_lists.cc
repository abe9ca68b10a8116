// Song lists: the user's lists of each kind, one list's songs, making, editing and deleting lists,
// their songs and order, list favourites; and what goes with lists: the channel tags, comment
// counts and albums.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "commands.h"
#include "describe.h"
#include "lumoapi/diy/add_favorite_song_list_task.h"
#include "lumoapi/diy/add_list.h"
#include "lumoapi/diy/add_list_song.h"
#include "lumoapi/diy/add_ugc_song_list_at_once.h"
#include "lumoapi/diy/cancel_favorite_song_list_task.h"
#include "lumoapi/diy/del_list.h"
#include "lumoapi/diy/del_list_song.h"
#include "lumoapi/diy/get_album_info.h"
#include "lumoapi/diy/get_all_playlist_songs.h"
#include "lumoapi/diy/get_all_playlists.h"
#include "lumoapi/diy/get_channels.h"
#include "lumoapi/diy/get_comment_list.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/diy/sort_song_list_songs_task.h"
#include "lumoapi/diy/up_list.h"
#include "report.h"

namespace lumo::cli {
namespace {

using base::string_utils::ToUtf16;
using namespace lumoapi::diy;  // NOLINT(google-build-using-namespace): the family's own classes

// GetPlayLists asks for pages of this many entries, the most the service answers with.
constexpr unsigned int kListPageSize = 50;

// --- Reading ---

struct ListsArgs {
  int kind = 0;
  unsigned int page = 0;
  bool all = false;
};

// What "listnum" counts, for the text form.
std::string ListCountLabel(int kind) {
  constexpr int kFavoriteSongCount = 3;
  return kind == kFavoriteSongCount ? "favourite_songs" : "lists_in_all";
}

int RunLists(Session& session, const ListsArgs& args) {
  if (auto exit = session.RequireToken("lists")) return *exit;
  if (args.all) {
    GetAllPlayLists task(session.token(), args.kind);
    task.page = args.page;
    return RunGathering(
        session, task, task.task_completed, "lists", [&task] { return task.lists.size(); },
        [&] {
          Report report;
          report.Outcome(static_cast<int32_t>(task._GetStatus()), task._GetSucceeded())
              .Int("listnum", task.listnum)
              .Label(ListCountLabel(args.kind));
          AddPlayLists(report, "lists", task.lists);
          return report;
        },
        [&task] {
          return ResumePoint{"--page", task.page};
        });
  }
  Report report;
  GetPlayLists request(session.token(), args.page, kListPageSize, args.kind);
  if (auto exit = session.Call(request, "lists")) return *exit;
  report.Outcome(request)
      .Int("listnum", request.listnum)
      .Label(ListCountLabel(args.kind))
      .Flag("havemore", request.havemore);
  AddPlayLists(report, "lists", request.lists);
  return session.output().Print(report);
}

struct ShowArgs {
  std::string list_id;
  unsigned int offset = 0;
  bool all = false;
};

Report DescribeListPage(int32_t status, bool succeeded, int32_t song_num, const PlayListInfo& info,
                        const std::vector<PlayListSong>& songs) {
  Report report;
  report.Outcome(status, succeeded)
      .Int("song_num", song_num)
      .Label("songs_in_list")
      .Section("info", DescribeListInfo(info));
  AddPlayListSongs(report, songs);
  return report;
}

int RunShow(Session& session, const ShowArgs& args) {
  if (auto exit = session.RequireToken("list show")) return *exit;
  if (args.all) {
    GetAllPlayListSongs task(session.token(), ToUtf16(args.list_id));
    task.offset = args.offset;
    return RunGathering(
        session, task, task.completed, "list show", [&task] { return task.songs.size(); },
        [&task] {
          return DescribeListPage(static_cast<int32_t>(task._GetStatus()), task._GetSucceeded(),
                                  task.song_num, task.info, task.songs);
        },
        [&task] {
          return ResumePoint{"--offset", task.offset};
        });
  }
  // The library always asks for a page of 100.
  GetPlayList request(session.token(), ToUtf16(args.list_id), args.offset, 100);
  return CallAndPrint(session, request, "list show", [](const GetPlayList& page) {
    return DescribeListPage(page.status, page.succeeded, page.song_num, page.info, page.songs);
  });
}

int RunChannels(Session& session, const NoArgs&) {
  GetChannels request;
  return CallAndPrint(session, request, "channels", [](const GetChannels& channels) {
    Report report;
    report.Outcome(channels);
    AddChannels(report, channels);
    return report;
  });
}

struct CommentsArgs {
  unsigned int type = 0;
  std::string type_id;
  unsigned int size = 20;
  unsigned int offset = 0;
};

int RunComments(Session& session, const CommentsArgs& args) {
  GetCommentList request(ToUtf16(args.type_id), args.type, args.size, args.offset);
  return CallAndPrint(session, request, "comments", [](const GetCommentList& comments) {
    Report report;
    report.Outcome(comments)
        .Int("commentlist_last_nums", comments.commentlist_last_nums)
        .Label("comments_after_page");
    return report;
  });
}

int RunAlbum(Session& session, const std::string& album_id) {
  GetAlbumInfo request(L"", ToUtf16(album_id));
  return CallAndPrint(session, request, "album", [](const GetAlbumInfo& album) {
    Report report;
    report.Outcome(album).Section("album", DescribeAlbumInfo(album.info));
    AddPlayListSongs(report, album.songs);
    return report;
  });
}

// --- Changing ---

struct CreateArgs {
  std::string title;
  std::vector<std::string> song_ids;
};

int RunCreate(Session& session, const CreateArgs& args) {
  if (auto exit = session.RequireToken("list create")) return *exit;
  auto describe = [](const auto& created) {
    Report report;
    report.Outcome(created).Text("list_id", created.list_id).Text("title", created.title);
    return report;
  };
  if (args.song_ids.empty()) {
    AddList request(session.token(), ToUtf16(args.title), 0);
    return CallAndPrint(session, request, "list create", describe);
  }
  AddUgcSongListAtOnce request(session.token(), ToUtf16(args.title), L"", WideTexts(args.song_ids));
  return CallAndPrint(session, request, "list create", describe);
}

struct EditArgs {
  std::string list_id;
  std::optional<std::string> title;
  std::optional<std::string> desc;
  std::optional<std::string> tag;
  std::optional<std::string> pic;
};

int RunEdit(Session& session, const EditArgs& args) {
  if (auto exit = session.RequireToken("list edit")) return *exit;
  if (!args.title && !args.desc && !args.tag && !args.pic) {
    return session.output().Fail(
        "list edit", "nothing to change: give --title, --desc, --tag or --pic", kExitUsageError);
  }
  // The service replaces every text at once: the ones not given are sent as they are now.
  PlayListInfo now;
  if (!session.options().dry_run) {
    GetPlayList current(session.token(), ToUtf16(args.list_id), 0, 100);
    if (auto exit = session.Call(current, "list edit: read the list")) return *exit;
    now = current.info;
  }
  auto given = [](const std::optional<std::string>& value, const std::wstring& current) {
    return value ? ToUtf16(*value) : current;
  };
  UpList request(session.token(), ToUtf16(args.list_id), given(args.title, now.list_title),
                 given(args.desc, now.list_desc), given(args.tag, now.list_tag),
                 given(args.pic, now.list_pic), 0);
  constexpr int kDescriptionShortened = 22231;
  return CallAndPrint(
      session, request, "list edit",
      [](const UpList& edit) {
        Report report;
        report.Outcome(edit)
            .Text("list_id", edit.list_id)
            .Text("title", edit.title)
            .Text("desc", edit.desc)
            .Text("tag", edit.tag)
            .Text("diypic", edit.diypic);
        return report;
      },
      Session::Accept{{kDescriptionShortened}});
}

int RunDelete(Session& session, const std::string& list_id) {
  if (auto exit = session.RequireToken("list delete")) return *exit;
  DelList request(session.token(), ToUtf16(list_id));
  return CallAndPrint(session, request, "list delete", [](const DelList& deleted) {
    Report report;
    report.Outcome(deleted).Text("list_id", deleted.list_id).Flag("deleted", true);
    return report;
  });
}

struct SongsArgs {
  std::string list_id;
  std::vector<std::string> song_ids;
};

// What the commands that change a list's songs print: the list and the songs they sent.
Report DescribeListSongsChange(const lumoapi::RequestBase& request, const SongsArgs& args) {
  Report report;
  report.Outcome(request).Text("list_id", args.list_id).List("song_ids", WideTexts(args.song_ids));
  return report;
}

int RunAdd(Session& session, const SongsArgs& args) {
  if (auto exit = session.RequireToken("list add")) return *exit;
  AddListSong request(session.token(), ToUtf16(args.list_id), WideTexts(args.song_ids), L"");
  return CallAndPrint(session, request, "list add", [&args](const AddListSong& add) {
    return DescribeListSongsChange(add, args);
  });
}

int RunRemove(Session& session, const SongsArgs& args) {
  if (auto exit = session.RequireToken("list remove")) return *exit;
  DelListSong request(session.token(), ToUtf16(args.list_id), WideTexts(args.song_ids));
  return CallAndPrint(session, request, "list remove", [&args](const DelListSong& remove) {
    return DescribeListSongsChange(remove, args);
  });
}

int RunSort(Session& session, const SongsArgs& args) {
  if (auto exit = session.RequireToken("list sort")) return *exit;
  SortSongListSongsTask task(session.token(), ToUtf16(args.list_id), WideTexts(args.song_ids));
  if (auto exit = RunTaskAndJudge(session, task, task.completed, "list sort")) return *exit;
  return session.output().Print(DescribeListSongsChange(*task.request, args));
}

struct FavArgs {
  std::string list_id;
  int source = 0;
};

// Marking and unmarking a list as a favourite: tasks of one call that end with
// task_completed(source, status).
template <class Task>
int RunListFavoriteTask(Session& session, const FavArgs& args, const std::string& operation,
                        bool favorite) {
  if (auto exit = session.RequireToken(operation)) return *exit;
  Task task(session.token(), ToUtf16(args.list_id), args.source);
  if (auto exit = RunTaskAndJudge(session, task, task.task_completed, operation)) return *exit;
  Report report;
  report.Outcome(*task.request)
      .Text("list_id", args.list_id)
      .Int("source", args.source)
      .Flag("favorite", favorite);
  return session.output().Print(report);
}

int RunFav(Session& session, const FavArgs& args) {
  return RunListFavoriteTask<AddFavoriteSongListTask>(session, args, "list fav", true);
}

int RunUnfav(Session& session, const FavArgs& args) {
  return RunListFavoriteTask<CancelFavoriteSongListTask>(session, args, "list unfav", false);
}

// --- The command line ---

void AddListId(CLI::App& command, std::string& list_id) {
  command.add_option("LIST_ID", list_id, "The song list's id")->required()->check(kNumericId);
}

CLI::App* AddListSongsCommand(CLI::App& list, Tool& tool, const std::string& name,
                              const std::string& description,
                              int (*run)(Session&, const SongsArgs&)) {
  auto args = std::make_shared<SongsArgs>();
  CLI::App* command = AddCommand(list, tool, name, description, args, run);
  AddListId(*command, args->list_id);
  AddSongIds(*command, args->song_ids);
  return command;
}

CLI::App* AddListFavoriteCommand(CLI::App& list, Tool& tool, const std::string& name,
                                 const std::string& description,
                                 int (*run)(Session&, const FavArgs&)) {
  auto args = std::make_shared<FavArgs>();
  CLI::App* command = AddCommand(list, tool, name, description, args, run);
  AddListId(*command, args->list_id);
  command->add_option("--source", args->source, "Where the list was found: 0, 1 or 2")
      ->check(Within(0, 2))
      ->capture_default_str();
  return command;
}

void AddListGroup(CLI::App& app, Tool& tool) {
  CLI::App* list = AddGroup(app, "list", "One song list: its songs, and changing it");

  auto show = std::make_shared<ShowArgs>();
  CLI::App* show_command = AddCommand(
      *list, tool, "show", "A song list's texts and songs (100 from --offset)", show, &RunShow);
  AddListId(*show_command, show->list_id);
  show_command->add_option("--offset", show->offset,
                           "The position of the first song, from 0 (a song, not a page: the "
                           "second page of 100 starts at 100)");
  show_command->add_flag("--all", show->all,
                         "Every song from --offset on, page by page; when a page fails, the "
                         "songs before it are printed and the error names the --offset to go "
                         "on from");

  auto create = std::make_shared<CreateArgs>();
  CLI::App* create_command = AddCommand(
      *list, tool, "create", "Make a song list, empty or with songs", create, &RunCreate);
  create_command->add_option("TITLE", create->title, "The list's title (1 to 60 characters)")
      ->required();
  create_command->add_option("--songs", create->song_ids, "The songs it starts with: ID,ID,...")
      ->delimiter(',')
      ->check(kNumericId);

  auto edit = std::make_shared<EditArgs>();
  CLI::App* edit_command =
      AddCommand(*list, tool, "edit", "Change a song list's title, description, tag or picture",
                 edit, &RunEdit);
  AddListId(*edit_command, edit->list_id);
  edit_command->add_option("--title", edit->title, "The new title");
  edit_command->add_option("--desc", edit->desc,
                           "The new description (the service keeps 140 characters)");
  edit_command->add_option("--tag", edit->tag, "The new tag");
  edit_command->add_option("--pic", edit->pic, "The address of the new picture");
  edit_command->footer(
      "What is not given stays as it is: the list is read first, since the service replaces "
      "every text at once (with --dry-run it is not, and those texts show empty). A "
      "description the service shortened answers with status 22231; the edit is stored all "
      "the same.");

  AddTextCommand(*list, tool, "delete", "Delete one of the user's song lists", "LIST_ID",
                 "The song list's id", &RunDelete)
      ->get_option("LIST_ID")
      ->check(kNumericId);
  AddListSongsCommand(*list, tool, "add", "Add songs to a song list, behind those there", &RunAdd);
  AddListSongsCommand(*list, tool, "remove", "Remove songs from a song list", &RunRemove);
  AddListSongsCommand(*list, tool, "sort", "Put a song list's songs in a new order", &RunSort)
      ->footer("Give every song of the list exactly once, in the new order.");
  AddListFavoriteCommand(*list, tool, "fav", "Mark a song list as one of the user's favourites",
                         &RunFav);
  AddListFavoriteCommand(*list, tool, "unfav", "Remove a song list from the user's favourites",
                         &RunUnfav);
}

}  // namespace

void AddListCommands(CLI::App& app, Tool& tool) {
  auto lists = std::make_shared<ListsArgs>();
  CLI::App* lists_command = AddCommand(
      app, tool, "lists", "The user's song lists, favourite lists or albums, a page of 50", lists,
      &RunLists);
  const std::map<std::string, int> kinds = {{"own", 0}, {"fav", 1}, {"albums", 2}, {"count", 3}};
  Choices(lists_command->add_option(
              "--kind", lists->kind,
              "own: the lists the user made; fav: those marked as favourites; albums: "
              "collected albums; count: the number of favourite songs only"),
          {"own", "fav", "albums", "count"})
      ->transform(CLI::Transformer(kinds).description(""))
      ->default_str("own");
  lists_command->add_option("--page", lists->page,
                            "Which page of 50, from 0; with --all, the page it starts at");
  lists_command->add_flag("--all", lists->all,
                          "Every page from --page on, gathered; when a page fails, the lists "
                          "before it are printed and the error names the --page to go on from");
  lists_command->footer(
      "listnum (shown as lists_in_all) is the total the service reports; for --kind count it "
      "is the number of favourite songs (shown as favourite_songs). With --all and a terminal, a "
      "progress line shows on standard error.");

  AddListGroup(app, tool);

  AddCommand(app, tool, "channels",
             "The song lists' tag channels: hot tags and tag groups (not the radio's)",
             std::make_shared<NoArgs>(), &RunChannels);

  auto comments = std::make_shared<CommentsArgs>();
  CLI::App* comments_command =
      AddCommand(app, tool, "comments", "How many comments follow a page of an object's comments",
                 comments, &RunComments);
  comments_command->add_option("TYPE", comments->type, "The kind of object, the service's number")
      ->required();
  comments_command->add_option("ID", comments->type_id, "The object's id (a song list's)")
      ->required()
      ->check(kNumericId);
  comments_command->add_option("--size", comments->size, "The page's size")
      ->check(Within(1, 100))
      ->capture_default_str();
  comments_command->add_option("--offset", comments->offset, "The page's first comment");

  AddTextCommand(app, tool, "album", "An album's texts and songs", "ALBUM_ID", "The album's id",
                 &RunAlbum)
      ->get_option("ALBUM_ID")
      ->check(kNumericId);
}

}  // namespace lumo::cli
