// The lumo binary as a user runs it: each test gets its own state directory, so the built-in
// sandbox starts from the seed, and reads what the tool prints and its exit status.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cpprest/json.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "lumo_run.h"
#include "sandbox/server.h"

namespace {

using lumo_test::ErrorLines;
using lumo_test::kOrdinaryToken;
using lumo_test::Lines;
using lumo_test::LumoTest;
using lumo_test::Quote;
using lumo_test::ReadFile;
using lumo_test::RunResult;
namespace fs = std::filesystem;
using web::json::value;

TEST_F(LumoTest, SearchAndSongLinkAnswerFromTheSeed) {
  const value suggest = RunJson({"search", "suggest", "Neon"});
  ASSERT_GT(suggest.at("songs").size(), 0u);
  EXPECT_EQ(suggest.at("songs").at(0).at("songid").as_string(), "100001");

  // Verbose: the headers go to standard error, with the token masked.
  const RunResult link = Run({"-v", "--json", "song", "link", "100017"});
  ASSERT_EQ(link.exit_code, 0) << link.err;
  const value answer = value::parse(link.out);
  EXPECT_EQ(answer.at("status").as_integer(), 22469);  // must be bought
  EXPECT_TRUE(answer.at("succeeded").as_bool());
  EXPECT_NE(answer.at("buy_url").as_string(), "");
  EXPECT_NE(link.err.find("> User-Agent: qxpc_1.0.0"), std::string::npos) << link.err;
  EXPECT_NE(link.err.find("kwtok=***"), std::string::npos);
  EXPECT_NE(link.err.find("< HTTP 200"), std::string::npos);
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
  const size_t next_column = lines[2].find_first_not_of(' ', author + wide.size());
  EXPECT_EQ(next_column, lines[1].find("album_title") + 3) << lines[1] << "\n" << lines[2];
}

TEST_F(LumoTest, CloudUploadStoresTheFileAndLaterRunsFindIt) {
  // "123456789" is the published check input of MD5 and CRC-32.
  const std::string file = WriteFile("check.mp3", "123456789").string();
  const value upload = RunJson({"cloud", "upload", file, "--artist", "Tester", "--duration", "1"});
  EXPECT_EQ(upload.at("file").at("md5").as_string(), "25f9e794323b453885f5181f1b624d0b");
  EXPECT_EQ(upload.at("file").at("crc32").as_number().to_uint64(), 0xCBF43926u);
  EXPECT_EQ(upload.at("put").at("http_status").as_integer(), 200);
  const std::string song_id = upload.at("record").at("song_id").as_string();
  EXPECT_NE(song_id, "");
  EXPECT_EQ(upload.at("check_again").at("song_id").as_string(), song_id);

  EXPECT_EQ(RunJson({"cloud", "check", file}).at("check").at("song_id").as_string(), song_id);
  const value again = RunJson({"cloud", "upload", file});
  EXPECT_TRUE(again.at("already_stored").as_bool());
  EXPECT_FALSE(again.has_field("signature"));
}

TEST_F(LumoTest, DryRunPrintsTheAddressAndDecryptsItsEncryptedPart) {
  const value lyrics = RunJson({"--dry-run", "search", "lyrics", "Neon & Letters", "林子轩"});
  const std::string url = lyrics.at("url").as_string();
  const size_t plain = url.find("query=");
  const size_t e = url.find("&e=");
  ASSERT_TRUE(plain != std::string::npos && e != std::string::npos) << url;
  EXPECT_EQ(lyrics.at("decrypted_parameter").as_string(), "e");
  EXPECT_EQ(lyrics.at("decrypted").as_string(), url.substr(plain, e - plain));

  const RunResult link = Run({"--json", "--dry-run", "song", "link", "100001"});
  ASSERT_EQ(link.exit_code, 0);
  EXPECT_FALSE(value::parse(link.out).has_field("decrypted"));
  // Nothing was sent: the sandbox never started.
  EXPECT_EQ(link.err, "");
  EXPECT_FALSE(fs::exists(StatePath()));
}

// A result that cannot be written is no success.
TEST_F(LumoTest, AnUnwritableResultFails) {
  const RunResult result = RunShell("(" + Command({"-q", "splash"}) + " >/dev/full)");
  EXPECT_NE(result.exit_code, 0);
  EXPECT_NE(result.err.find("cannot write the result"), std::string::npos) << result.err;
}

TEST_F(LumoTest, ErrorsEndWithOneLineAndTheirExitStatus) {
  const std::string no_extension = WriteFile("noextension", "abc").string();
  const std::string empty = WriteFile("empty.mp3", "").string();
  const std::string big = WriteFile("big.mp3", "").string();
  fs::resize_file(big, 64 * 1024 * 1024 + 1);  // sparse: nothing is written
  const std::string fifo = (dir_ / "pipe.mp3").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string missing = (dir_ / "missing.mp3").string();
  const std::string hidden = WriteFile(".hidden", "abc").string();
  const std::string song = WriteFile("song.mp3", "abc").string();
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* line_part;
  };
  const Case cases[] = {
      {{"artist", "pics", "1"}, 1, "lumo: artist pics failed: service code 41005 (no such artist"},
      {{"--connect-to", "127.0.0.1:1", "splash"},
       3,
       "lumo: splash failed: nothing listens on 127.0.0.1:1; start one with `lumo sandbox serve`"},
      // Usage: wrong words, options and values.
      {{"sgn", "link", "1"}, 2, "lumo: unknown command \"sgn\"; did you mean \"song\"?"},
      {{"song", "lnk", "1"}, 2, "lumo: unknown command \"lnk\"; did you mean \"link\"?"},
      {{"help", "clod"}, 2, "unknown command \"clod\"; did you mean \"cloud\"?"},
      {{"song", "link", "100001", "--bogus"}, 2, "--bogus"},
      {{"--connect-to", "nowhere", "splash"}, 2, "HOST:PORT"},
      {{"--dry-run", "--connect-to", std::string(30000, 'a') + ":80", "splash"}, 2, "HOST:PORT"},
      {{"radio"}, 2, "subcommand"},
      {{"song", "link", "10000x"}, 2, "expected a numeric id"},
      {{"recommend", "abc"}, 2, "expected a numeric id"},
      {{"report", "down", "100001", "x1"}, 2, "expected a numeric id"},
      {{"radio", "scene", "Sleep"}, 2, "expected a numeric id"},
      {{"--timeout", "0", "splash"}, 2, "--timeout"},
      {{"--timeout", "-5", "splash"}, 2, "--timeout"},
      {{"--timeout", "100000000000", "splash"}, 2, "--timeout"},
      {{"completion", "fish"}, 2, "fish"},
      // Files that cannot be uploaded, refused before anything is sent.
      {{"cloud", "upload", no_extension}, 2, "has no file extension"},
      {{"cloud", "upload", empty}, 2, "is empty"},
      {{"cloud", "check", big}, 2, "the object store takes at most 64 MB"},
      {{"cloud", "check", dir_.string()}, 2, "is a directory"},
      {{"cloud", "check", "/dev/zero"}, 2, "is not a regular file"},
      {{"cloud", "upload", fifo}, 2, "is not a regular file"},
      {{"cloud", "check", missing}, 2, "cannot read"},
      {{"cloud", "check", hidden}, 2, "has no file extension"},
      // Numbers out of range are refused, not wrapped around.
      {{"cloud", "signature", "cloud/x.mp3", "-5", "abc"}, 2, "LENGTH: Value -5 not in range"},
      {{"cloud", "record", song, "--link", "http://127.0.0.1/x", "--duration", "5000000"},
       2,
       "--duration: Value 5000000 not in range"},
      {{"cloud", "record", song, "--link", "http://127.0.0.1/x", "--bitrate", "-5"},
       2,
       "--bitrate: Value -5 not in range"},
      // A method that needs a session, with nothing to take it from.
      {{"--connect-to", "127.0.0.1:1", "cloud", "quota"},
       2,
       "lumo: cloud quota failed: this needs a session token: give --token TOKEN or set "
       "LUMO_TOKEN"},
      {{"--connect-to", "127.0.0.1:1", "radio", "private"}, 2, "--token TOKEN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const RunResult result = Run(c.args);
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.out, "");
    const std::vector<std::string> lines = ErrorLines(result.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(c.line_part), std::string::npos) << lines[0];
    if (c.exit_code != 2) {
      EXPECT_EQ(lines.size(), 1u) << result.err;
    } else {
      // Refused before any call: the built-in sandbox never started.
      EXPECT_EQ(result.err.find("using the built-in sandbox"), std::string::npos) << result.err;
    }
  }
}

TEST_F(LumoTest, BuiltInSandboxSaysSoOnceAndKeepsItsStateInTheStateDirectory) {
  const RunResult result = Run({"splash"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err,
            "lumo: using the built-in sandbox (state in " + StatePath().string() + ")\n");
  EXPECT_TRUE(fs::exists(StatePath()));
}

// A listening socket on 127.0.0.1 that never accepts: connections complete and then wait.
class SilentListener {
 public:
  SilentListener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd_, 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen on loopback";
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentListener() { close(fd_); }
  std::string target() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// A sandbox in this process, for runs of the tool with --connect-to.
class ServedSandbox {
 public:
  ServedSandbox() : server_(lumo::sandbox::Options{}) {
    std::string error;
    EXPECT_TRUE(server_.Start(&error)) << error;
  }
  std::string target() const { return "127.0.0.1:" + std::to_string(server_.port()); }

 private:
  lumo::sandbox::Server server_;
};

TEST_F(LumoTest, TransportProblemsReadInPlainWords) {
  SilentListener silent;
  ServedSandbox served;
  const std::string target = served.target();
  ASSERT_EQ(Run({"--connect-to", target, "sandbox", "rules", "add", "--method",
                 "norda.lumo.active.startPC", "--action", "html502", "--count", "1"})
                .exit_code,
            0);
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> environment;
    const char* line;
  };
  const Case cases[] = {
      {{"--timeout", "1", "--connect-to", silent.target(), "splash"},
       {},
       "lumo: splash failed: no answer within 1 s"},
      {{"--connect-to", target, "splash"},
       {},
       "lumo: splash failed: HTTP 502 (not a service answer)"},
      {{"splash"},
       {"LUMO_CONNECT_TO=127.0.0.1:1"},
       "lumo: splash failed: nothing listens on 127.0.0.1:1; start one with `lumo sandbox serve`"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const RunResult result = Run(c.args, c.environment);
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.err, std::string(c.line) + "\n");
  }
  // The rule was used up; the log shows both calls, the failed one with its fault.
  EXPECT_EQ(RunJson({"--connect-to", target, "sandbox", "rules", "list"}).at("rules").size(), 0u);
  const value log =
      RunJson({"--connect-to", target, "sandbox", "log", "--method", "norda.lumo.active.startPC"});
  ASSERT_EQ(log.at("entries").size(), 1u);
  EXPECT_EQ(log.at("entries").at(0).at("http_status").as_integer(), 502);
  EXPECT_EQ(Run({"--connect-to", target, "sandbox", "reset"}).exit_code, 0);
  EXPECT_EQ(RunJson({"--connect-to", target, "sandbox", "log"}).at("entries").size(), 0u);
}

// A code the library takes in (22469, 24003) is an answer only where the command's help says so;
// elsewhere, and for any code that is not a number of the service, the run fails with it.
TEST_F(LumoTest, ARefusalIsAnErrorUnlessTheCommandDocumentsItAsAnAnswer) {
  ServedSandbox served;
  const std::string target = served.target();
  struct Case {
    std::vector<std::string> args;
    const char* method;
    const char* code;
    int exit_code;
    const char* line;  // the error line, or empty
  };
  const Case cases[] = {
      {{"song", "link", "100001"}, "norda.lumo.song.getSongLink", "22469", 0, ""},
      {{"song", "link", "100001"}, "norda.lumo.song.getSongLink", "24003", 0, ""},
      {{"cloud", "quota"},
       "norda.lumo.cloud.expand",
       "24003",
       1,
       "lumo: cloud quota failed: service code 24003 (the song is not available: fault rule)"},
      {{"search", "suggest", "neon"},
       "norda.lumo.search.catalogSug",
       "22469",
       1,
       "lumo: search suggest failed: service code 22469 (the song must be bought: fault rule)"},
      {{"recommend", "100001"}, "norda.lumo.song.getRecommandSongList", "24003", 1, nullptr},
      {{"artist", "pics", "2001"}, "norda.lumo.artist.getInfo", "22469", 1, nullptr},
      {{"radio", "channel", "Jazz Café"}, "norda.lumo.radio.getChannelSong", "24003", 1, nullptr},
      {{"splash"},
       "norda.lumo.active.startPC",
       "-1",
       1,
       "lumo: splash failed: service code -1 (fault rule)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.code);
    ASSERT_EQ(Run({"--connect-to", target, "sandbox", "rules", "add", "--method", c.method,
                   "--action", "error_code", "--error-code", c.code, "--count", "1"})
                  .exit_code,
              0);
    std::vector<std::string> args = {"--connect-to", target, "--token", kOrdinaryToken};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult result = Run(args);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    if (c.line) {
      EXPECT_EQ(result.err, c.exit_code ? std::string(c.line) + "\n" : "");
    }
    EXPECT_EQ(Run({"--connect-to", target, "sandbox", "rules", "remove", "all"}).exit_code, 0);
  }
}

// The rules' later fields reach the sandbox: a body answered as it is after one call let through,
// and a rule that also takes the calls the sandbox's checks refuse.
TEST_F(LumoTest, RulesCarrySkipBodyAndRefused) {
  ServedSandbox served;
  const std::string target = served.target();
  ASSERT_EQ(Run({"--connect-to", target, "sandbox", "rules", "add", "--method",
                 "norda.lumo.active.startPC", "--action", "verbatim", "--body",
                 R"({"error_code":24003,"error_msg":"as written"})", "--skip", "1", "--count", "1"})
                .exit_code,
            0);
  ASSERT_EQ(Run({"--connect-to", target, "sandbox", "rules", "add", "--method",
                 "norda.lumo.cloud.expand", "--action", "html502", "--refused"})
                .exit_code,
            0);
  const value rules = RunJson({"--connect-to", target, "sandbox", "rules", "list"}).at("rules");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules.at(0).at("skip").as_integer(), 1);
  EXPECT_TRUE(rules.at(1).at("refused").as_bool());

  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* err;
  };
  const Case cases[] = {
      {{"splash"}, 0, ""},
      {{"splash"},
       1,
       "lumo: splash failed: service code 24003 (the song is not available: as written)\n"},
      {{"splash"}, 0, ""},
      {{"--token", "not-a-token", "cloud", "quota"},
       3,
       "lumo: cloud quota failed: HTTP 502 (not a service answer)\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--connect-to", target};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult result = Run(args);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_EQ(result.err, c.err);
  }
}

TEST_F(LumoTest, EnvironmentSuppliesTokenAndOptionsWin) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> environment;
    int exit_code;
  };
  const Case cases[] = {
      {{"cloud", "quota"}, {"LUMO_TOKEN=not-a-token"}, 1},
      {{"--token", kOrdinaryToken, "cloud", "quota"}, {"LUMO_TOKEN=not-a-token"}, 0},
      {{"cloud", "quota"}, {"LUMO_TOKEN=sbx-big-2c81e4d0"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.environment[0]);
    EXPECT_EQ(Run(c.args, c.environment).exit_code, c.exit_code);
  }
}

TEST_F(LumoTest, DryRunMasksTheTokenAndPrintsACurlCommandThatWorks) {
  ServedSandbox served;
  const std::vector<std::string> args = {"--json",  "--dry-run",    "--connect-to", served.target(),
                                         "--token", kOrdinaryToken, "cloud",        "quota"};
  const RunResult masked = Run(args);
  ASSERT_EQ(masked.exit_code, 0) << masked.err;
  EXPECT_EQ(masked.out.find(kOrdinaryToken), std::string::npos) << masked.out;
  const value plan = value::parse(masked.out);
  EXPECT_EQ(plan.at("headers").at("User-Agent").as_string(), "qxpc_1.0.0");
  EXPECT_TRUE(plan.at("headers").has_field("Referer"));
  EXPECT_NE(plan.at("url").as_string().find("kwtok=***"), std::string::npos);
  EXPECT_NE(plan.at("curl").as_string().find(
                "--connect-to 'api.lumo.example:80:" + served.target() + "'"),
            std::string::npos);

  std::vector<std::string> shown = args;
  shown.insert(shown.begin(), "--show-token");
  const value ready = RunJson(shown);
  // The printed command line, run by the shell, gets the service's answer.
  const RunResult curl = RunShell(ready.at("curl").as_string());
  ASSERT_EQ(curl.exit_code, 0) << curl.err;
  const value answer = value::parse(curl.out);
  EXPECT_EQ(answer.at("error_code").as_integer(), 22000) << curl.out;
}

TEST_F(LumoTest, VerboseTwiceShowsTheStartOfEachAnswer) {
  const RunResult result = Run({"-vv", "recommend", "100001"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const size_t body = result.err.find("< {\"error_code\":22000");
  ASSERT_NE(body, std::string::npos) << result.err;
  const std::string line = result.err.substr(body, result.err.find('\n', body) - body);
  EXPECT_NE(line.find("more bytes)"), std::string::npos);
  EXPECT_LE(line.size(), 4096u + 40u);
}

TEST_F(LumoTest, SeveralRunsShareOneFreshStateFile) {
  const std::vector<std::vector<std::string>> commands = {
      {"splash"},         {"song", "link", "100001"},        {"search", "suggest", "neon"},
      {"cloud", "quota"}, {"radio", "channel", "Jazz Café"}, {"report", "down", "100001", "100002"},
  };
  std::string script;
  for (size_t i = 0; i < commands.size(); ++i) {
    const std::string n = std::to_string(i);
    script += "(" + Command(commands[i]) + " >" + Quote((dir_ / ("out" + n)).string()) + " 2>" +
              Quote((dir_ / ("err" + n)).string()) + "; echo $? >" +
              Quote((dir_ / ("rc" + n)).string()) + ") & ";
  }
  ASSERT_EQ(std::system((script + "wait").c_str()), 0);
  for (size_t i = 0; i < commands.size(); ++i) {
    const std::string n = std::to_string(i);
    SCOPED_TRACE(commands[i][0]);
    EXPECT_EQ(ReadFile(dir_ / ("rc" + n)), "0\n") << ReadFile(dir_ / ("err" + n));
  }
}

TEST_F(LumoTest, EmptyResultsSaySo) {
  const RunResult text = Run({"-q", "search", "suggest", "zzzqqqxxx"});
  ASSERT_EQ(text.exit_code, 0) << text.err;
  EXPECT_EQ(text.out, "no matches\n");
  EXPECT_EQ(text.err, "");  // --quiet: no notice
  const value json = RunJson({"search", "suggest", "zzzqqqxxx"});
  EXPECT_EQ(json.at("songs").size(), 0u);
}

TEST_F(LumoTest, ListedChannelsAndScenesAreTheSandboxes) {
  const value channels = RunJson({"radio", "channels"});
  ASSERT_EQ(channels.at("channels").size(), 12u);
  for (const value& channel : channels.at("channels").as_array()) {
    const RunResult result = Run({"radio", "channel", channel.as_string()});
    EXPECT_EQ(result.exit_code, 0) << channel.as_string() << ": " << result.err;
  }
  const RunResult help = Run({"radio", "scene", "--help"});
  const std::smatch scenes = [&] {
    std::smatch match;
    std::regex_search(help.out, match, std::regex("scenes: (.*)\\."));
    return match;
  }();
  ASSERT_FALSE(scenes.empty()) << help.out;
  for (int id = 1; id <= 8; ++id) {
    EXPECT_NE(scenes[1].str().find(std::to_string(id) + " "), std::string::npos);
    EXPECT_EQ(Run({"radio", "scene", std::to_string(id)}).exit_code, 0) << id;
  }
  EXPECT_EQ(Run({"radio", "scene", "9"}).exit_code, 1);
  const value users = RunJson({"sandbox", "users"});
  EXPECT_EQ(users.at("users").at(0).at("token").as_string(), kOrdinaryToken);
}

// Every command of the completion script has its own help, the same as `lumo help COMMAND`.
TEST_F(LumoTest, EveryCommandHasItsOwnHelp) {
  const RunResult script = Run({"completion", "bash"});
  ASSERT_EQ(script.exit_code, 0);
  std::set<std::string> paths;
  const std::regex path_pattern("\"lumo ([a-z ]+)\"\\)");
  for (auto it = std::sregex_iterator(script.out.begin(), script.out.end(), path_pattern);
       it != std::sregex_iterator(); ++it) {
    paths.insert((*it)[1].str());
  }
  ASSERT_GT(paths.size(), 30u);
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    std::vector<std::string> words;
    std::istringstream stream(path);
    for (std::string word; stream >> word;) words.push_back(word);
    std::vector<std::string> help_args = {"help"};
    help_args.insert(help_args.end(), words.begin(), words.end());
    words.push_back("--help");
    const RunResult help = Run(words);
    EXPECT_EQ(help.exit_code, 0);
    const std::string parent = path.substr(0, path.rfind(' ') + 1);
    EXPECT_NE(help.out.find("Usage: lumo " + parent), std::string::npos) << help.out;
    EXPECT_EQ(Run(help_args).out, help.out);
  }
  // The script is valid bash and completes a group's subcommands.
  const fs::path file = WriteFile("completion.bash", script.out);
  const RunResult completed = RunShell(
      "bash -c " + Quote(". " + Quote(file.string()) +
                         " && COMP_WORDS=(lumo cloud '') COMP_CWORD=2 && _lumo_complete && "
                         "echo \"${COMPREPLY[*]}\""));
  EXPECT_EQ(completed.exit_code, 0) << completed.err;
  EXPECT_EQ(completed.out.rfind("upload check signature record quota expand --help", 0), 0u)
      << completed.out;
}

TEST_F(LumoTest, VersionAndTheSandboxServersShareTheirOptions) {
  const RunResult version = Run({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("lumo [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << version.out;
  const std::regex option("\n +(--[a-z]+)");
  auto options_of = [&](const std::string& help) {
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
         it != std::sregex_iterator(); ++it) {
      names.insert((*it)[1].str());
    }
    return names;
  };
  const std::set<std::string> serve = options_of(Run({"sandbox", "serve", "--help"}).out);
  const std::set<std::string> standalone = options_of(Run({"--help"}, {}, LUMO_SANDBOX_BINARY).out);
  for (const char* name : {"--port", "--db", "--threads", "--bind"}) {
    EXPECT_EQ(serve.count(name), 1u) << name;
    EXPECT_EQ(standalone.count(name), 1u) << name;
  }
}

}  // namespace
