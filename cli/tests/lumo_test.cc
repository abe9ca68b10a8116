// The lumo binary as a user runs it (lumo_fixture.h). What needs a POSIX shell or terminal is in
// lumo_posix_test.cc.
#include <cpprest/json.h>

#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "loopback_socket.h"
#include "lumo_fixture.h"

namespace lumo::cli::testing {
namespace {

TEST_F(LumoTest, SearchAndSongLinkAnswerFromTheSeed) {
  EXPECT_EQ(Utf8(Json({"search", "suggest", "Neon"})
                     .at(JsonString("songs"))
                     .at(0)
                     .at(JsonString("songid"))
                     .as_string()),
            "100001");
  // Verbose: the headers go to standard error, with the token masked.
  const RunResult link = Run({"-v", "--json", "song", "link", "100017"});
  ASSERT_EQ(link.exit_code, 0) << link.err;
  const value answer = value::parse(link.out);
  EXPECT_EQ(answer.at(JsonString("status")).as_integer(), 22469);  // must be bought
  EXPECT_TRUE(answer.at(JsonString("succeeded")).as_bool());
  EXPECT_NE(Utf8(answer.at(JsonString("buy_url")).as_string()), "");
  for (const char* shown : {"> User-Agent: qxpc_1.0.0", "kwtok=***", "< HTTP 200"}) {
    EXPECT_NE(link.err.find(shown), std::string::npos) << shown << "\n" << link.err;
  }
  EXPECT_EQ(link.err.find(kOrdinaryToken), std::string::npos);
}

TEST_F(LumoTest, TablesAlignColumnsOfWideText) {
  const RunResult result = Run({"recommend", "100001"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "songs (20):");
  // The first song's author is 林子轩: nine bytes that a terminal shows in six cells, so the
  // next column starts three bytes further on than under its heading.
  const std::string wide = "林子轩";
  const size_t author = lines[2].find(wide);
  ASSERT_NE(author, std::string::npos) << lines[2];
  EXPECT_EQ(lines[2].find_first_not_of(' ', author + wide.size()), lines[1].find("album_title") + 3)
      << lines[1] << "\n"
      << lines[2];
}

TEST_F(LumoTest, CloudUploadStoresTheFileAndLaterRunsFindIt) {
  // "123456789" is the published check input of MD5 and CRC-32.
  const std::string file = WriteFile("check.mp3", "123456789").u8string();
  const value upload = Json({"cloud", "upload", file, "--artist", "Tester", "--duration", "1"});
  EXPECT_EQ(Utf8(upload.at(JsonString("file")).at(JsonString("md5")).as_string()),
            "25f9e794323b453885f5181f1b624d0b");
  EXPECT_EQ(upload.at(JsonString("file")).at(JsonString("crc32")).as_number().to_uint64(),
            0xCBF43926u);
  EXPECT_EQ(upload.at(JsonString("put")).at(JsonString("http_status")).as_integer(), 200);
  const std::string song_id =
      Utf8(upload.at(JsonString("record")).at(JsonString("song_id")).as_string());
  EXPECT_NE(song_id, "");
  EXPECT_EQ(Utf8(upload.at(JsonString("check_again")).at(JsonString("song_id")).as_string()),
            song_id);
  EXPECT_EQ(Utf8(Json({"cloud", "check", file})
                     .at(JsonString("check"))
                     .at(JsonString("song_id"))
                     .as_string()),
            song_id);
  const value again = Json({"cloud", "upload", file});
  EXPECT_TRUE(again.at(JsonString("already_stored")).as_bool());
  EXPECT_FALSE(again.has_field(JsonString("signature")));
}

TEST_F(LumoTest, DryRunPrintsTheAddressAndDecryptsItsEncryptedPart) {
  const value lyrics = Json({"--dry-run", "search", "lyrics", "Neon & Letters", "林子轩"});
  const std::string url = Utf8(lyrics.at(JsonString("url")).as_string());
  const size_t plain = url.find("query="), e = url.find("&e=");
  ASSERT_TRUE(plain != std::string::npos && e != std::string::npos) << url;
  EXPECT_EQ(Utf8(lyrics.at(JsonString("decrypted_parameter")).as_string()), "e");
  EXPECT_EQ(Utf8(lyrics.at(JsonString("decrypted")).as_string()), url.substr(plain, e - plain));

  const RunResult link = Run({"--json", "--dry-run", "song", "link", "100001"});
  ASSERT_EQ(link.exit_code, 0);
  EXPECT_FALSE(value::parse(link.out).has_field(JsonString("decrypted")));
  // Nothing was sent: the sandbox never started.
  EXPECT_EQ(link.err, "");
  EXPECT_FALSE(fs::exists(StatePath()));
}

TEST_F(ServedTest, DryRunMasksTheTokenAndPrintsACurlCommand) {
  const Args args = {"--dry-run",    "--connect-to", target_, "--token",
                     kOrdinaryToken, "cloud",        "quota"};
  const RunResult masked = Run(Join({"--json"}, args));
  ASSERT_EQ(masked.exit_code, 0) << masked.err;
  EXPECT_EQ(masked.out.find(kOrdinaryToken), std::string::npos) << masked.out;
  const value plan = value::parse(masked.out);
  EXPECT_EQ(Utf8(plan.at(JsonString("headers")).at(JsonString("User-Agent")).as_string()),
            "qxpc_1.0.0");
  EXPECT_TRUE(plan.at(JsonString("headers")).has_field(JsonString("Referer")));
  EXPECT_NE(Utf8(plan.at(JsonString("url")).as_string()).find("kwtok=***"), std::string::npos);
  EXPECT_NE(Utf8(plan.at(JsonString("curl")).as_string())
                .find("--connect-to 'api.lumo.example:80:" + target_ + "'"),
            std::string::npos);
}

// One line on standard error and the exit status: 1 for a refusal of the service, 2 for usage
// (before anything is sent, so the built-in sandbox never starts), 3 for the transport. A line
// given from its "lumo: " on is the start of the error line; otherwise a piece of it.
TEST_F(LumoTest, ErrorsEndWithOneLineAndTheirExitStatus) {
  const std::string no_extension = WriteFile("noextension", "abc").u8string();
  const std::string empty = WriteFile("empty.mp3", "").u8string();
  const std::string big = WriteFile("big.mp3", "").u8string();
  fs::resize_file(big, 64 * 1024 * 1024 + 1);  // sparse: nothing is written
  const std::string record =
      "cloud record " + WriteFile("song.mp3", "abc").u8string() + " --link http://127.0.0.1/x";
  struct Case {
    std::string words;
    int exit_code;
    std::string line;
  };
  const Case cases[] = {
      {"artist pics 1", 1, "lumo: artist pics failed: service code 41005 (no such artist"},
      // A song that must be bought, and a blocked one: not made favourites.
      {"fav add 100017", 1,
       "lumo: fav add failed: service code 22469 (the song must be bought): buy it at "
       "http://pay.lumo.example/song/100017"},
      {"fav add 100029", 1,
       "lumo: fav add failed: service code 24003 (the song is not available): This song is not "
       "available in your region"},
      {"list show 399999", 1, "lumo: list show failed: service code 41002 (no such song list"},
      {"list delete 300001", 1,
       "lumo: list delete failed: service code 41003 (the song list belongs to another user"},
      {"list sort 300151 100001", 1,
       "lumo: list sort failed: service code 41009 (the new order is not exactly the list's songs"},
      {"list unfav 300152", 1,
       "lumo: list unfav failed: service code 41010 (the list is not among the user's favourites"},
      {"album 1", 1, "lumo: album failed: service code 41006 (no such album"},
      {"--connect-to 127.0.0.1:1 splash", 3,
       "lumo: splash failed: nothing listens on 127.0.0.1:1; start one with `lumo sandbox serve`"},
      // Usage: wrong words, options and values.
      {"sgn link 1", 2, "lumo: unknown command \"sgn\"; did you mean \"song\"?"},
      {"help clod", 2, "unknown command \"clod\"; did you mean \"cloud\"?"},
      {"list show 300151 --ofset 3", 2,
       "lumo: unknown option \"--ofset\" for \"list show\"; did you mean \"--offset\"?"},
      {"list edit 300151 --title", 2, "lumo: --title needs a value"},
      {"--connect-to nowhere splash", 2, "HOST:PORT"},
      {"--dry-run --connect-to " + std::string(30000, 'a') + ":80 splash", 2, "HOST:PORT"},
      {"radio", 2, "Usage: lumo radio COMMAND"},
      {"song link 10000x", 2, "expected a numeric id"},
      {"list show 30015x", 2, "lumo: list show: LIST_ID: expected a numeric id"},
      {"list add 300151", 2, "lumo: list add: SONG_ID is missing (the songs' ids)"},
      {"list create T --songs 100001,x", 2, "lumo: list create: --songs: expected a numeric id"},
      {"list edit 300151", 2, "lumo: list edit failed: nothing to change"},
      {"list fav 300001 --source 3", 2,
       "lumo: list fav: --source: expected a whole number from 0 to 2, not \"3\""},
      {"lists --kind albun", 2,
       "lumo: lists: --kind: expected one of own, fav, albums, count, not \"albun\"; did you "
       "mean \"albums\"?"},
      {"lists --page -1", 2, "lumo: lists: --page: expected a whole number from 0"},
      {"comments 0 300151 --size 0", 2, "lumo: comments: --size: expected a whole number from 1"},
      {"--timeout 0 splash", 2, "--timeout"},
      {"--timeout 100000000000 splash", 2, "--timeout"},
      {"completion tcsh", 2, "tcsh"},
      // Files that cannot be uploaded, refused before anything is sent.
      {"cloud upload " + no_extension, 2, "has no file extension"},
      {"cloud upload " + empty, 2, "is empty"},
      {"cloud check " + big, 2, "the object store takes at most 64 MiB"},
      {"cloud check " + (dir_ / "missing.mp3").u8string(), 2, "cannot read"},
      // A word that starts with "/" is a path, on Windows too, never an option.
      {"cloud check /no/such/song.mp3", 2, "cannot read /no/such/song.mp3"},
      {"cloud check " + WriteFile(".hidden", "abc").u8string(), 2, "has no file extension"},
      // Numbers out of range are refused, not wrapped around.
      {"cloud signature cloud/x.mp3 -5 abc", 2, "LENGTH: expected a whole number from 0 to"},
      {record + " --duration 5000000", 2, "--duration: expected a whole number from 0 to 86400"},
      {record + " --bitrate -5", 2, "--bitrate: expected a whole number from 0 to 100000"},
      // A method that needs a session, with nothing to take it from.
      {"--connect-to 127.0.0.1:1 cloud quota", 2,
       "lumo: cloud quota failed: this needs a session token: give --token TOKEN or set "
       "LUMO_TOKEN"},
      {"--connect-to 127.0.0.1:1 radio private", 2, "--token TOKEN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const RunResult result = Run(Words(c.words));
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.out, "");
    std::vector<std::string> lines;
    for (const std::string& line : Lines(result.err)) {
      if (line.rfind("lumo: using the built-in sandbox", 0) != 0) lines.push_back(line);
    }
    ASSERT_FALSE(lines.empty());
    if (c.line.rfind("lumo: ", 0) == 0) {
      EXPECT_EQ(lines[0].rfind(c.line, 0), 0u) << lines[0];
    } else {
      EXPECT_NE(lines[0].find(c.line), std::string::npos) << lines[0];
    }
    if (c.exit_code != 2) {
      EXPECT_EQ(lines.size(), 1u) << result.err;
    } else {
      EXPECT_EQ(result.err.find("using the built-in sandbox"), std::string::npos) << result.err;
    }
  }
  const std::vector<std::string> favourites =
      Column(Json({"fav", "list", "--all"}).at(JsonString("songs")), "song_id");
  EXPECT_FALSE(Contains(favourites, "100017"));
  EXPECT_FALSE(Contains(favourites, "100029"));
}

// The built-in sandbox says so once, unless --quiet, and keeps its state in the state directory.
TEST_F(LumoTest, NoticesGoToStandardErrorAndEmptyResultsSaySo) {
  const RunResult result = Run({"splash"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err,
            "lumo: using the built-in sandbox (state in " + StatePath().u8string() + ")\n");
  EXPECT_TRUE(fs::exists(StatePath()));
  const RunResult text = Run(Words("-q search suggest zzzqqqxxx"));
  ASSERT_EQ(text.exit_code, 0) << text.err;
  EXPECT_EQ(text.out, "no matches\n");
  EXPECT_EQ(text.err, "");
  EXPECT_EQ(Json(Words("search suggest zzzqqqxxx")).at(JsonString("songs")).size(), 0u);
}

TEST_F(ServedTest, TransportProblemsReadInPlainWords) {
  sandbox::testing::SilentListener silent;
  ASSERT_NE(silent.port(), 0);
  AddRule(Words("norda.lumo.active.startPC --action html502 --count 1"));
  const std::tuple<std::string, std::string, const char*> cases[] = {
      {"--timeout 1 --connect-to 127.0.0.1:" + std::to_string(silent.port()) + " splash", "",
       "lumo: splash failed: no answer within 1 s"},
      {"--connect-to " + target_ + " splash", "",
       "lumo: splash failed: HTTP 502 (not a service answer)"},
      {"splash", "LUMO_CONNECT_TO=127.0.0.1:1",
       "lumo: splash failed: nothing listens on 127.0.0.1:1; start one with `lumo sandbox serve`"},
  };
  for (const auto& [words, environment, line] : cases) {
    const RunResult result = Run(Words(words), Words(environment));
    EXPECT_EQ(result.exit_code, 3) << line;
    EXPECT_EQ(result.err, std::string(line) + "\n");
  }
  // The rule was used up; the log shows the failed call with its fault.
  const std::string sandbox = "--connect-to " + target_ + " sandbox ";
  EXPECT_EQ(Json(Words(sandbox + "rules list")).at(JsonString("rules")).size(), 0u);
  const value log = Json(Words(sandbox + "log --method norda.lumo.active.startPC"));
  ASSERT_EQ(log.at(JsonString("entries")).size(), 1u);
  EXPECT_EQ(log.at(JsonString("entries")).at(0).at(JsonString("http_status")).as_integer(), 502);
  EXPECT_EQ(Served({"sandbox", "reset"}).exit_code, 0);
  EXPECT_EQ(Json(Words(sandbox + "log")).at(JsonString("entries")).size(), 0u);
}

// A code the library takes in (22469, 24003) is an answer only where the command's help says so;
// elsewhere, and for any code that is not a number of the service, the run fails with it.
TEST_F(ServedTest, ARefusalIsAnErrorUnlessTheCommandDocumentsItAsAnAnswer) {
  struct Case {
    const char* words;
    const char* method;
    const char* code;
    int exit_code;
    const char* line;  // the error line, or nullptr for any
  };
  const Case cases[] = {
      {"song link 100001", "song.getSongLink", "22469", 0, ""},
      {"song link 100001", "song.getSongLink", "24003", 0, ""},
      {"cloud quota", "cloud.expand", "24003", 1,
       "lumo: cloud quota failed: service code 24003 (the song is not available: fault rule)"},
      {"search suggest neon", "search.catalogSug", "22469", 1,
       "lumo: search suggest failed: service code 22469 (the song must be bought: fault rule)"},
      {"recommend 100001", "song.getRecommandSongList", "24003", 1, nullptr},
      {"artist pics 2001", "artist.getInfo", "22469", 1, nullptr},
      {"radio channel Classical", "radio.getChannelSong", "24003", 1, nullptr},
      {"splash", "active.startPC", "-1", 1, "lumo: splash failed: service code -1 (fault rule)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.code);
    AddRule(Words(std::string("norda.lumo.") + c.method + " --action error_code --error-code " +
                  c.code + " --count 1"));
    const RunResult result =
        Served(Words(std::string("--token ") + kOrdinaryToken + " " + c.words));
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    if (c.line) {
      EXPECT_EQ(result.err, c.exit_code ? std::string(c.line) + "\n" : "");
    }
    EXPECT_EQ(Served(Words("sandbox rules remove all")).exit_code, 0);
  }
}

// The rules' later fields reach the sandbox: a body answered as it is after one call let through,
// and a rule that also takes the calls the sandbox's checks refuse.
TEST_F(ServedTest, RulesCarrySkipBodyAndRefused) {
  AddRule({"norda.lumo.active.startPC", "--action", "verbatim", "--body",
           R"({"error_code":24003,"error_msg":"as written"})", "--skip", "1", "--count", "1"});
  AddRule(Words("norda.lumo.cloud.expand --action html502 --refused"));
  const value rules =
      Json(Words("--connect-to " + target_ + " sandbox rules list")).at(JsonString("rules"));
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules.at(0).at(JsonString("skip")).as_integer(), 1);
  EXPECT_TRUE(rules.at(1).at(JsonString("refused")).as_bool());
  const std::tuple<const char*, int, const char*> cases[] = {
      {"splash", 0, ""},
      {"splash", 1,
       "lumo: splash failed: service code 24003 (the song is not available: as written)\n"},
      {"splash", 0, ""},
      {"--token not-a-token cloud quota", 3,
       "lumo: cloud quota failed: HTTP 502 (not a service answer)\n"},
  };
  for (const auto& [words, exit_code, err] : cases) {
    const RunResult result = Served(Words(words));
    EXPECT_EQ(result.exit_code, exit_code) << result.err;
    EXPECT_EQ(result.err, err);
  }
}

// A page that fails after others keeps what they brought, and the run goes on where it failed.
TEST_F(ServedTest, AFailedPageKeepsTheEarlierPagesAndNamesWhereToGoOn) {
  AddRule(Words("norda.lumo.favorite.getFavoriteSong --action html502 --skip 2 --count 1"));
  const Args all = {"--json", "--token", kBigToken, "fav", "list", "--all"};
  const RunResult failed = Served(all);
  EXPECT_EQ(failed.exit_code, 3);
  EXPECT_EQ(failed.err,
            "lumo: fav list failed: HTTP 502 (not a service answer)\n"
            "lumo: fav list: the 100 items of the pages before are printed; to go on from the "
            "failed page, run it again with --all --page 2\n");
  const value kept = value::parse(failed.out);
  EXPECT_EQ(kept.at(JsonString("songs")).size(), 100u);
  EXPECT_EQ(kept.at(JsonString("next_page")).as_integer(), 2);
  const RunResult rest = Served(Join(all, {"--page", "2"}));
  ASSERT_EQ(rest.exit_code, 0) << rest.err;
  EXPECT_EQ(value::parse(rest.out).at(JsonString("songs")).size(), 2300u);
}

TEST_F(LumoTest, EnvironmentSuppliesTokenAndOptionsWin) {
  EXPECT_EQ(Run(Words("cloud quota"), {"LUMO_TOKEN=not-a-token"}).exit_code, 1);
  EXPECT_EQ(
      Run({"--token", kOrdinaryToken, "cloud", "quota"}, {"LUMO_TOKEN=not-a-token"}).exit_code, 0);
  EXPECT_EQ(Run(Words("cloud quota"), {std::string("LUMO_TOKEN=") + kBigToken}).exit_code, 0);
}

TEST_F(LumoTest, VerboseTwiceShowsTheStartOfEachAnswer) {
  const RunResult result = Run(Words("-vv recommend 100001"));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const size_t body = result.err.find("< {\"error_code\":22000");
  ASSERT_NE(body, std::string::npos) << result.err;
  const std::string line = result.err.substr(body, result.err.find('\n', body) - body);
  EXPECT_NE(line.find("more bytes)"), std::string::npos);
  EXPECT_LE(line.size(), 4096u + 40u);
}

TEST_F(LumoTest, SeveralRunsShareOneFreshStateFile) {
  const char* const commands[] = {
      "splash",      "song link 100001",        "search suggest neon",
      "cloud quota", "radio channel Classical", "report down 100001 100002"};
  std::vector<std::unique_ptr<ChildProcess>> runs;
  for (size_t i = 0; i < std::size(commands); ++i) {
    const fs::path n = dir_ / std::to_string(i);
    runs.push_back(std::make_unique<ChildProcess>(LUMO_BINARY, Words(commands[i]), Environment({}),
                                                  n.u8string() + ".out", n.u8string() + ".err"));
  }
  for (size_t i = 0; i < std::size(commands); ++i) {
    EXPECT_EQ(runs[i]->Wait(), 0) << commands[i] << ": "
                                  << ReadFile((dir_ / std::to_string(i)).u8string() + ".err");
  }
}

TEST_F(LumoTest, SandboxUsersAreListedWithTheirTokens) {
  EXPECT_EQ(Utf8(Json(Words("sandbox users"))
                     .at(JsonString("users"))
                     .at(0)
                     .at(JsonString("token"))
                     .as_string()),
            kOrdinaryToken);
}

// Each command has its own help, the same as `lumo help COMMAND`; a command line that stops
// short of a command lists what may follow (a usage error); the completion scripts know the tree.
TEST_F(LumoTest, HelpAndCompletionFollowTheCommandTree) {
  for (const char* path : {"cloud", "cloud upload", "sandbox rules add"}) {
    const RunResult help = Run(Words(std::string(path) + " --help"));
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("Usage: lumo " + std::string(path)), std::string::npos) << help.out;
    EXPECT_EQ(Run(Words(std::string("help ") + path)).out, help.out);
  }
  struct Listing {
    const char* words;
    int exit_code;
    bool on_stdout;
    std::vector<std::string> lines;
  };
  const Listing listings[] = {
      {"", 2, false, {"Usage: lumo [OPTIONS] COMMAND ...", "  song        Songs of the catalogue"}},
      {"-q --json", 2, false, {"  completion  Print a shell completion script"}},
      {"help", 0, true, {"  sandbox                     The sandbox service"}},
      {"list", 2, false, {"Usage: lumo list COMMAND ...", "  unfav   Remove a song list from"}},
      {"sandbox rules", 2, false, {"Run `lumo help sandbox rules COMMAND` for a command's usage."}},
  };
  for (const Listing& listing : listings) {
    SCOPED_TRACE(listing.words);
    const RunResult result = Run(Words(listing.words));
    EXPECT_EQ(result.exit_code, listing.exit_code);
    const std::string& text = listing.on_stdout ? result.out : result.err;
    EXPECT_EQ((listing.on_stdout ? result.err : result.out), "");
    for (const std::string& line : listing.lines) {
      EXPECT_NE(("\n" + text).find("\n" + line), std::string::npos) << line << "\n" << text;
    }
  }
  EXPECT_EQ(Run({"-V"}).out, Run({"--version"}).out);
  const RunResult zsh = Run(Words("completion zsh"));
  EXPECT_EQ(zsh.exit_code, 0);
  EXPECT_NE(zsh.out.find("bashcompinit"), std::string::npos);
}

TEST_F(LumoTest, VersionAndTheSandboxServersShareTheirOptions) {
  const RunResult version = Run({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("lumo [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << version.out;
  const std::string serve = Run(Words("sandbox serve --help")).out;
  const std::string standalone = Run({"--help"}, {}, LUMO_SANDBOX_BINARY).out;
  for (const std::string name : {"--port", "--db", "--threads", "--bind"}) {
    EXPECT_TRUE(std::regex_search(serve, std::regex("\n +" + name + "\\b"))) << name;
    EXPECT_TRUE(std::regex_search(standalone, std::regex("\n +" + name + "\\b"))) << name;
  }
}

// The tool reads the list first, so that what an edit does not name stays as it was.
TEST_F(LumoTest, AnEditKeepsWhatItDoesNotName) {
  const std::string title = "Road & Rain 夜晚的歌 + more";
  const value created = Json({"list", "create", title, "--songs", "100001"});
  const std::string id = Utf8(created.at(JsonString("list_id")).as_string());
  EXPECT_EQ(Utf8(created.at(JsonString("title")).as_string()), title);
  Json({"list", "edit", id, "--tag", "Chill", "--desc", "for the road & 夜"});
  Json({"list", "edit", id, "--title", "Renamed & 改名"});
  const value info = Json({"list", "show", id}).at(JsonString("info"));
  EXPECT_EQ(Utf8(info.at(JsonString("list_title")).as_string()), "Renamed & 改名");
  EXPECT_EQ(Utf8(info.at(JsonString("list_tag")).as_string()), "Chill");
  EXPECT_EQ(Utf8(info.at(JsonString("list_desc")).as_string()), "for the road & 夜");
}

// The library logs (through glog) the read of a list without songs; that reaches standard
// error only with -v, tokens masked.
TEST_F(LumoTest, TheLibrarysLogShowsOnlyWhenAskedFor) {
  const std::string id =
      Utf8(Json(Words("list create Empty")).at(JsonString("list_id")).as_string());
  Json({"list", "edit", id, "--tag", "x"});  // nothing on standard error
  const RunResult verbose = Run({"-q", "-v", "list", "edit", id, "--tag", "y"});
  ASSERT_EQ(verbose.exit_code, 0) << verbose.err;
  EXPECT_NE(verbose.err.find("lumo: log: src\\diy\\get_playlist: current song list has no songs"),
            std::string::npos)
      << verbose.err;
  EXPECT_EQ(verbose.err.find("WARNING: Logging before"), std::string::npos);
  EXPECT_EQ(verbose.err.find(kOrdinaryToken), std::string::npos);
}

// Of several songs, the tool lists those the service did not add (paid, or there already); a
// removal says what the service removed.
TEST_F(LumoTest, FavouritesSayWhatTheServiceDid) {
  Json(Words("fav add 100002"));
  const value several = Json(Words("fav add 100003 100017 100002 100004"));
  EXPECT_EQ(Column(several.at(JsonString("added_ids"))), (Args{"100003", "100004"}));
  EXPECT_EQ(Column(several.at(JsonString("skipped_ids"))), (Args{"100017", "100002"}));
  const std::pair<const char*, const char*> removals[] = {
      {"fav remove 100003 100004", "removed  2 songs\n"},
      {"fav remove 100003", "removed  none: not among the user's favourites\n"},
      {"fav remove 100002 100003",
       "removed  1 of 2 songs; the others were not among the user's "
       "favourites\n"},
  };
  for (const auto& [words, line] : removals) {
    const RunResult result = Run(Words(std::string("-q ") + words));
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out.rfind(line, 0), 0u) << result.out;
  }
  EXPECT_EQ(Json(Words("fav remove 100003")).at(JsonString("deleted")).as_integer(), 0);
}

// The library keeps an album's texts in a song list's fields; the tool gives back their names.
TEST_F(LumoTest, AnAlbumReadsAsTheServiceNamesIt) {
  const value album = Json(Words("album 5001"));
  EXPECT_EQ(Utf8(album.at(JsonString("album")).at(JsonString("album_id")).as_string()), "5001");
  EXPECT_EQ(Utf8(album.at(JsonString("album")).at(JsonString("artist_id")).as_string()), "2001");
  EXPECT_NE(Utf8(album.at(JsonString("album")).at(JsonString("buy_url")).as_string()), "");
  ASSERT_GT(album.at(JsonString("songs")).size(), 0u);
  for (const std::string& id : Column(album.at(JsonString("songs")), "album_id"))
    EXPECT_EQ(id, "5001");
}

}  // namespace
}  // namespace lumo::cli::testing
