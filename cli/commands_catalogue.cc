// Catalogue and playback: song links, search, lyrics, artist pictures, recommendations and the
// splash picture.
#include <memory>
#include <string>

#include "base/string_utils.h"
#include "commands.h"
#include "describe.h"
#include "lumoapi/artist/get_artist_info.h"
#include "lumoapi/recommend/get_recommend_songs.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/search/lrcpic.h"
#include "lumoapi/search/search_merge.h"
#include "lumoapi/song/get_song_link.h"
#include "lumoapi/splash/get_splash_pic.h"
#include "report.h"

namespace lumo::cli {
namespace {

using base::string_utils::ToUtf16;

// --- Commands ---

struct SongLinkArgs {
  std::string song_id;
  std::string title;
  std::string artist;
  std::string bit;
  bool down = false;
  bool alt_type = false;
  bool lebo = false;
};

int RunSongLink(Session& session, const SongLinkArgs& args) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = ToUtf16(args.song_id);
  song->title = ToUtf16(args.title);
  song->author = ToUtf16(args.artist);
  song->lebo = args.lebo;
  lumoapi::song::GetSongLink request(song, args.down, ToUtf16(args.bit), args.alt_type,
                                     session.token());
  // A song to be bought, or not available, is an answer with what the player shows for it.
  constexpr int kMustBeBought = 22469;
  constexpr int kNotAvailable = 24003;
  return CallAndPrint(
      session, request, "song link",
      [](const auto& link) {
        Report report;
        AddSongLink(report.Outcome(link), link.GetSongInfo(), link.status);
        return report;
      },
      Session::Accept{{kMustBeBought, kNotAvailable}});
}

int RunSuggest(Session& session, const std::string& query) {
  lumoapi::search::CatalogSug request(ToUtf16(query));
  return CallAndPrint(session, request, "search suggest", [](const auto& suggestions) {
    Report report;
    report.Outcome(suggestions);
    AddSuggestions(report, suggestions);
    return report;
  });
}

int RunMerge(Session& session, const std::string& query) {
  lumoapi::search::SearchMerge request(ToUtf16(query));
  return CallAndPrint(session, request, "search merge", [](const auto& merge) {
    Report report;
    report.Outcome(merge).Text("artist_id", merge.artist_id);
    return report;
  });
}

struct LyricsArgs {
  std::string title;
  std::string artist;
  bool list = false;
  bool drop_empty_title = false;
};

int RunLyrics(Session& session, const LyricsArgs& args) {
  using lumoapi::search::Lrcpic;
  Lrcpic request(ToUtf16(args.title), ToUtf16(args.artist),
                 args.list ? Lrcpic::kSongList : Lrcpic::kSingleSong, args.drop_empty_title);
  return CallAndPrint(session, request, "search lyrics", [](const auto& lyrics) {
    Report report;
    report.Outcome(lyrics);
    AddLyricsMatches(report, lyrics.items);
    return report;
  });
}

int RunArtistPics(Session& session, const std::string& artist_id) {
  lumoapi::artist::GetArtistInfo request(ToUtf16(artist_id));
  return CallAndPrint(session, request, "artist pics", [](const auto& info) {
    Report report;
    report.Outcome(info);
    AddPictureSet(report, "pics", info.pics);
    return report;
  });
}

int RunRecommend(Session& session, const std::string& song_id) {
  lumoapi::recommend::GetRecommendSongs request(ToUtf16(song_id));
  return CallAndPrint(session, request, "recommend", [](const auto& recommendations) {
    Report report;
    report.Outcome(recommendations).Table("songs", SongRows(recommendations.songs), kSongColumns);
    return report;
  });
}

int RunSplash(Session& session, const NoArgs&) {
  lumoapi::splash::GetSplashPic request;
  return CallAndPrint(session, request, "splash", [](const auto& splash) {
    Report report;
    report.Outcome(splash).Text("pic", splash.pic);
    return report;
  });
}

void AddSongCommands(CLI::App& app, Tool& tool) {
  CLI::App* song = AddGroup(app, "song", "Songs of the catalogue");
  auto args = std::make_shared<SongLinkArgs>();
  CLI::App* link =
      AddCommand(*song, tool, "link", "Resolve a song into the links it can be played from", args,
                 &RunSongLink);
  link->footer(
      "Besides the links, the answer gives the file's format, size, bit rate and duration, and "
      "best_rate, the best quality on offer (2 lossless, 1 at least 320 kbit/s, 0 neither).\n"
      "A song that must be bought answers with status 22469, its purchase link and data; one "
      "that is not available with 24003 and a message for the user (tips). Both are answers, "
      "not errors: the exit status is 0.");
  CLI::Option_group* which = link->add_option_group("song", "Which song (one of them)");
  which->add_option("SONG_ID", args->song_id, "The song's id in the catalogue")->check(kNumericId);
  which->add_option("--title", args->title, "Find the song by its title (with --artist, by both)");
  which->require_option(1);
  link->add_option("--artist", args->artist, "The song's artist, with --title");
  link->add_option("--bit", args->bit, "Highest bit rate wanted in kbit/s, or \"flac\"");
  link->add_flag("--down", args->down, "Ask for a download link rather than a play link");
  link->add_flag("--alt-type", args->alt_type, "Ask for link type 2 instead of 1");
  link->add_flag("--lebo", args->lebo, "Set the player's lebo flag on the song");
}

void AddSearchCommands(CLI::App& app, Tool& tool) {
  CLI::App* search = AddGroup(app, "search", "Search the catalogue");
  AddTextCommand(*search, tool, "suggest",
                 "Suggestions for a text being typed: matching songs, artists and albums", "QUERY",
                 "The text typed so far", &RunSuggest);
  AddTextCommand(*search, tool, "merge",
                 "Merged search: the id of the first artist the text finds (empty when none)",
                 "QUERY", "The search text", &RunMerge);
  auto lyrics_args = std::make_shared<LyricsArgs>();
  CLI::App* lyrics =
      AddCommand(*search, tool, "lyrics",
                 "The lyrics link and pictures of a song named by its title and artist",
                 lyrics_args, &RunLyrics);
  lyrics->add_option("TITLE", lyrics_args->title, "The song's title (may be \"\")")->required();
  lyrics->add_option("ARTIST", lyrics_args->artist, "The song's artist");
  lyrics->add_flag("--list", lyrics_args->list,
                   "Every match with artist pictures, instead of the best match only");
  lyrics->add_flag("--drop-empty-title", lyrics_args->drop_empty_title,
                   "With an empty TITLE, send the artist alone instead of an empty first part");
}

}  // namespace

void AddCatalogueCommands(CLI::App& app, Tool& tool) {
  AddSongCommands(app, tool);
  AddSearchCommands(app, tool);

  CLI::App* artist = AddGroup(app, "artist", "Artists of the catalogue");
  AddTextCommand(*artist, tool, "pics", "The addresses of an artist's pictures", "ARTIST_ID",
                 "The artist's id", &RunArtistPics)
      ->get_option("ARTIST_ID")
      ->check(kNumericId);
  AddTextCommand(app, tool, "recommend",
                 "Songs recommended for a song (the service is asked for 20)", "SONG_ID",
                 "The song's id", &RunRecommend)
      ->get_option("SONG_ID")
      ->check(kNumericId);

  AddCommand(app, tool, "splash", "The address of the splash picture shown at start-up",
             std::make_shared<NoArgs>(), &RunSplash);
}

}  // namespace lumo::cli
