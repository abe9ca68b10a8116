// The lumo binary as a user runs it: each test gets its own state directory, so the built-in
// sandbox starts from the seed, and reads what the tool prints and its exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cpprest/json.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sandbox/server.h"

namespace {

namespace fs = std::filesystem;
using web::json::value;
using Args = std::vector<std::string>;

constexpr char kOrdinaryToken[] = "sbx-ordinary-7f3a9c21";
constexpr char kBigToken[] = "sbx-big-2c81e4d0";

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// `text` as one word for the shell.
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The texts of member `key` of every element of `rows` (or of the texts themselves).
std::vector<std::string> Column(const value& rows, const char* key = nullptr) {
  std::vector<std::string> texts;
  for (const value& row : rows.as_array()) texts.push_back((key ? row.at(key) : row).as_string());
  return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

Args Join(Args head, const Args& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// The words of a command line written with single spaces.
Args Words(const std::string& line) {
  Args words;
  std::istringstream stream(line);
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// Everything readable now from a non-blocking descriptor.
std::string Drain(int fd) {
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  return text;
}

class LumoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumo_cli_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path StatePath() const { return dir_ / "state" / "lumo" / "sandbox.db"; }

  // The shell command that runs `binary` with `args`, this test's state directory instead of
  // the user's, no proxy, and `environment` ("NAME=value" words).
  std::string Command(const Args& args, const Args& environment = {},
                      const std::string& binary = LUMO_BINARY) const {
    std::string command = "env -u LUMO_TOKEN -u LUMO_CONNECT_TO -u http_proxy -u HTTP_PROXY " +
                          Quote("XDG_STATE_HOME=" + (dir_ / "state").string());
    for (const std::string& word : Join(Join(environment, {binary}), args))
      command += " " + Quote(word);
    return command;
  }

  RunResult Run(const Args& args, const Args& environment = {},
                const std::string& binary = LUMO_BINARY) const {
    return RunShell(Command(args, environment, binary));
  }

  RunResult RunShell(const std::string& command) const {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const int status = std::system((command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
  }

  // Runs with --quiet and --json and expects success with nothing on standard error.
  value Json(const Args& args) const {
    const RunResult result = Run(Join({"-q", "--json"}, args));
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return value::parse(result.out);  // a throw fails the test
  }

  fs::path WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }

  // Runs lumo with standard error on a terminal; what it drew there.
  std::string RunOnTerminal(const Args& args) const {
    int reader = -1, terminal = -1;
    EXPECT_EQ(openpty(&reader, &terminal, nullptr, nullptr, nullptr), 0);
    const std::string command = Command(args) + " >/dev/null 2>" + Quote(ttyname(terminal));
    EXPECT_EQ(std::system((command + " </dev/null").c_str()), 0) << command;
    fcntl(reader, F_SETFL, O_NONBLOCK);
    std::string drawn = Drain(reader);
    close(terminal);
    close(reader);
    return drawn;
  }

  fs::path dir_;
};

// A listening socket on 127.0.0.1 that never accepts: connections complete and then wait.
class SilentListener {
 public:
  SilentListener() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd_, 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen on loopback";
    }
    target = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  }
  ~SilentListener() { close(fd_); }
  std::string target;

 private:
  int fd_;
};

// A sandbox in this process, for runs of the tool with --connect-to.
class ServedTest : public LumoTest {
 protected:
  void SetUp() override {
    LumoTest::SetUp();
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    target_ = "127.0.0.1:" + std::to_string(server_.port());
  }
  RunResult Served(const Args& args, const Args& environment = {}) const {
    return Run(Join({"--connect-to", target_}, args), environment);
  }
  void AddRule(const Args& words) const {
    ASSERT_EQ(Served(Join({"sandbox", "rules", "add", "--method"}, words)).exit_code, 0);
  }

  lumo::sandbox::Server server_{lumo::sandbox::Options{}};
  std::string target_;
};

TEST_F(LumoTest, SearchAndSongLinkAnswerFromTheSeed) {
  EXPECT_EQ(Json({"search", "suggest", "Neon"}).at("songs").at(0).at("songid").as_string(),
            "100001");
  // Verbose: the headers go to standard error, with the token masked.
  const RunResult link = Run({"-v", "--json", "song", "link", "100017"});
  ASSERT_EQ(link.exit_code, 0) << link.err;
  const value answer = value::parse(link.out);
  EXPECT_EQ(answer.at("status").as_integer(), 22469);  // must be bought
  EXPECT_TRUE(answer.at("succeeded").as_bool());
  EXPECT_NE(answer.at("buy_url").as_string(), "");
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
  const std::string file = WriteFile("check.mp3", "123456789").string();
  const value upload = Json({"cloud", "upload", file, "--artist", "Tester", "--duration", "1"});
  EXPECT_EQ(upload.at("file").at("md5").as_string(), "25f9e794323b453885f5181f1b624d0b");
  EXPECT_EQ(upload.at("file").at("crc32").as_number().to_uint64(), 0xCBF43926u);
  EXPECT_EQ(upload.at("put").at("http_status").as_integer(), 200);
  const std::string song_id = upload.at("record").at("song_id").as_string();
  EXPECT_NE(song_id, "");
  EXPECT_EQ(upload.at("check_again").at("song_id").as_string(), song_id);
  EXPECT_EQ(Json({"cloud", "check", file}).at("check").at("song_id").as_string(), song_id);
  const value again = Json({"cloud", "upload", file});
  EXPECT_TRUE(again.at("already_stored").as_bool());
  EXPECT_FALSE(again.has_field("signature"));
}

TEST_F(LumoTest, DryRunPrintsTheAddressAndDecryptsItsEncryptedPart) {
  const value lyrics = Json({"--dry-run", "search", "lyrics", "Neon & Letters", "林子轩"});
  const std::string url = lyrics.at("url").as_string();
  const size_t plain = url.find("query="), e = url.find("&e=");
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

TEST_F(ServedTest, DryRunMasksTheTokenAndPrintsACurlCommandThatWorks) {
  const Args args = {"--dry-run",    "--connect-to", target_, "--token",
                     kOrdinaryToken, "cloud",        "quota"};
  const RunResult masked = Run(Join({"--json"}, args));
  ASSERT_EQ(masked.exit_code, 0) << masked.err;
  EXPECT_EQ(masked.out.find(kOrdinaryToken), std::string::npos) << masked.out;
  const value plan = value::parse(masked.out);
  EXPECT_EQ(plan.at("headers").at("User-Agent").as_string(), "qxpc_1.0.0");
  EXPECT_TRUE(plan.at("headers").has_field("Referer"));
  EXPECT_NE(plan.at("url").as_string().find("kwtok=***"), std::string::npos);
  EXPECT_NE(plan.at("curl").as_string().find("--connect-to 'api.lumo.example:80:" + target_ + "'"),
            std::string::npos);
  // The printed command line with the token, run by the shell, gets the service's answer.
  const RunResult curl = RunShell(Json(Join({"--show-token"}, args)).at("curl").as_string());
  ASSERT_EQ(curl.exit_code, 0) << curl.err;
  EXPECT_EQ(value::parse(curl.out).at("error_code").as_integer(), 22000) << curl.out;
}

// A result that cannot be written is no success.
TEST_F(LumoTest, AnUnwritableResultFails) {
  const RunResult result = RunShell("(" + Command({"-q", "splash"}) + " >/dev/full)");
  EXPECT_NE(result.exit_code, 0);
  EXPECT_NE(result.err.find("cannot write the result"), std::string::npos) << result.err;
}

// One line on standard error and the exit status: 1 for a refusal of the service, 2 for usage
// (before anything is sent, so the built-in sandbox never starts), 3 for the transport. A line
// given from its "lumo: " on is the start of the error line; otherwise a piece of it.
TEST_F(LumoTest, ErrorsEndWithOneLineAndTheirExitStatus) {
  const std::string no_extension = WriteFile("noextension", "abc").string();
  const std::string empty = WriteFile("empty.mp3", "").string();
  const std::string big = WriteFile("big.mp3", "").string();
  fs::resize_file(big, 64 * 1024 * 1024 + 1);  // sparse: nothing is written
  const std::string record =
      "cloud record " + WriteFile("song.mp3", "abc").string() + " --link http://127.0.0.1/x";
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
      {"cloud check " + (dir_ / "missing.mp3").string(), 2, "cannot read"},
      {"cloud check " + WriteFile(".hidden", "abc").string(), 2, "has no file extension"},
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
      Column(Json({"fav", "list", "--all"}).at("songs"), "song_id");
  EXPECT_FALSE(Contains(favourites, "100017"));
  EXPECT_FALSE(Contains(favourites, "100029"));
}

// The built-in sandbox says so once, unless --quiet, and keeps its state in the state directory.
TEST_F(LumoTest, NoticesGoToStandardErrorAndEmptyResultsSaySo) {
  const RunResult result = Run({"splash"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err,
            "lumo: using the built-in sandbox (state in " + StatePath().string() + ")\n");
  EXPECT_TRUE(fs::exists(StatePath()));
  const RunResult text = Run(Words("-q search suggest zzzqqqxxx"));
  ASSERT_EQ(text.exit_code, 0) << text.err;
  EXPECT_EQ(text.out, "no matches\n");
  EXPECT_EQ(text.err, "");
  EXPECT_EQ(Json(Words("search suggest zzzqqqxxx")).at("songs").size(), 0u);
}

TEST_F(ServedTest, TransportProblemsReadInPlainWords) {
  SilentListener silent;
  AddRule(Words("norda.lumo.active.startPC --action html502 --count 1"));
  const std::tuple<std::string, std::string, const char*> cases[] = {
      {"--timeout 1 --connect-to " + silent.target + " splash", "",
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
  EXPECT_EQ(Json(Words(sandbox + "rules list")).at("rules").size(), 0u);
  const value log = Json(Words(sandbox + "log --method norda.lumo.active.startPC"));
  ASSERT_EQ(log.at("entries").size(), 1u);
  EXPECT_EQ(log.at("entries").at(0).at("http_status").as_integer(), 502);
  EXPECT_EQ(Served({"sandbox", "reset"}).exit_code, 0);
  EXPECT_EQ(Json(Words(sandbox + "log")).at("entries").size(), 0u);
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
  const value rules = Json(Words("--connect-to " + target_ + " sandbox rules list")).at("rules");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules.at(0).at("skip").as_integer(), 1);
  EXPECT_TRUE(rules.at(1).at("refused").as_bool());
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
  EXPECT_EQ(kept.at("songs").size(), 100u);
  EXPECT_EQ(kept.at("next_page").as_integer(), 2);
  const RunResult rest = Served(Join(all, {"--page", "2"}));
  ASSERT_EQ(rest.exit_code, 0) << rest.err;
  EXPECT_EQ(value::parse(rest.out).at("songs").size(), 2300u);
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
  std::string script;
  for (size_t i = 0; i < std::size(commands); ++i) {
    const std::string n = Quote((dir_ / std::to_string(i)).string());
    script += "(" + Command(Words(commands[i])) + " >" + n + ".out 2>" + n + ".err; echo $? >" + n +
              ".rc) & ";
  }
  ASSERT_EQ(std::system((script + "wait").c_str()), 0);
  for (size_t i = 0; i < std::size(commands); ++i) {
    const std::string n = (dir_ / std::to_string(i)).string();
    EXPECT_EQ(ReadFile(n + ".rc"), "0\n") << commands[i] << ": " << ReadFile(n + ".err");
  }
}

TEST_F(LumoTest, SandboxUsersAreListedWithTheirTokens) {
  EXPECT_EQ(Json(Words("sandbox users")).at("users").at(0).at("token").as_string(), kOrdinaryToken);
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
  // The script is valid bash, registers itself for lumo and completes a group's subcommands and
  // an option's values.
  const RunResult script = Run(Words("completion bash"));
  ASSERT_EQ(script.exit_code, 0);
  const fs::path file = WriteFile("completion.bash", script.out);
  const RunResult completed = RunShell(
      "bash -c " + Quote(". " + Quote(file.string()) +
                         " && complete -p lumo && COMP_WORDS=(lumo lists --kind '') COMP_CWORD=3"
                         " && _lumo_complete && echo \"${COMPREPLY[*]}\" &&"
                         " COMP_WORDS=(lumo cloud '') COMP_CWORD=2 && "
                         "_lumo_complete && echo \"${COMPREPLY[*]}\""));
  EXPECT_EQ(completed.exit_code, 0) << completed.err;
  EXPECT_EQ(completed.out.rfind("complete -F _lumo_complete lumo\n"
                                "own fav albums count\n"
                                "upload check signature record quota expand --help",
                                0),
            0u)
      << completed.out;
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
  const std::string id = created.at("list_id").as_string();
  EXPECT_EQ(created.at("title").as_string(), title);
  Json({"list", "edit", id, "--tag", "Chill", "--desc", "for the road & 夜"});
  Json({"list", "edit", id, "--title", "Renamed & 改名"});
  const value info = Json({"list", "show", id}).at("info");
  EXPECT_EQ(info.at("list_title").as_string(), "Renamed & 改名");
  EXPECT_EQ(info.at("list_tag").as_string(), "Chill");
  EXPECT_EQ(info.at("list_desc").as_string(), "for the road & 夜");
}

// The library logs (through glog) the read of a list without songs; that reaches standard
// error only with -v, tokens masked.
TEST_F(LumoTest, TheLibrarysLogShowsOnlyWhenAskedFor) {
  const std::string id = Json(Words("list create Empty")).at("list_id").as_string();
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
  EXPECT_EQ(Column(several.at("added_ids")), (Args{"100003", "100004"}));
  EXPECT_EQ(Column(several.at("skipped_ids")), (Args{"100017", "100002"}));
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
  EXPECT_EQ(Json(Words("fav remove 100003")).at("deleted").as_integer(), 0);
}

// The library keeps an album's texts in a song list's fields; the tool gives back their names.
TEST_F(LumoTest, AnAlbumReadsAsTheServiceNamesIt) {
  const value album = Json(Words("album 5001"));
  EXPECT_EQ(album.at("album").at("album_id").as_string(), "5001");
  EXPECT_EQ(album.at("album").at("artist_id").as_string(), "2001");
  EXPECT_NE(album.at("album").at("buy_url").as_string(), "");
  ASSERT_GT(album.at("songs").size(), 0u);
  for (const std::string& id : Column(album.at("songs"), "album_id")) EXPECT_EQ(id, "5001");
}

TEST_F(LumoTest, TheProgressLineIsForATerminalAndNeverForJson) {
  const std::string all = std::string("-q --token ") + kBigToken + " fav list --all";
  const std::string drawn = RunOnTerminal(Words(all));
  // Redrawn in place, and cleared at the end.
  ASSERT_FALSE(drawn.empty());
  EXPECT_NE(drawn.find("\rpages "), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("pages 48, items 2400"), std::string::npos) << drawn;
  EXPECT_EQ(drawn.back(), '\r');
  EXPECT_EQ(RunOnTerminal(Words("--json " + all)), "");
  EXPECT_EQ(RunOnTerminal(Words(std::string("-q --token ") + kBigToken + " lists")),
            "");  // one page
}

}  // namespace
