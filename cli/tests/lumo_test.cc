// The lumo binary as a user runs it: each test gets its own state directory, so the built-in
// sandbox starts from the seed, and reads what the tool prints and its exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cpprest/json.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using web::json::value;

constexpr char kOrdinaryToken[] = "sbx-ordinary-7f3a9c21";

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

// The error lines, without the note about the built-in sandbox.
std::vector<std::string> ErrorLines(const std::string& err) {
  std::vector<std::string> lines;
  for (const std::string& line : Lines(err)) {
    if (line.rfind("lumo: using the built-in sandbox", 0) != 0) lines.push_back(line);
  }
  return lines;
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

  // Runs lumo with `args` and this test's state directory instead of the user's.
  RunResult Run(const std::vector<std::string>& args) const {
    std::string command =
        "XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " + Quote(LUMO_BINARY);
    for (const std::string& arg : args) command += " " + Quote(arg);
    const fs::path out = dir_ / "stdout";
    const fs::path err = dir_ / "stderr";
    const int status = std::system((command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
  }

  // Runs with --json and expects success.
  value RunJson(std::vector<std::string> args) const {
    args.insert(args.begin(), "--json");
    const RunResult result = Run(args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return value::parse(result.out);  // a throw fails the test
  }

  fs::path WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }

  fs::path dir_;
};

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

TEST_F(LumoTest, ErrorsEndWithOneLineAndTheirExitStatus) {
  const std::string no_extension = WriteFile("noextension", "abc").string();
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* line_part;
  };
  const Case cases[] = {
      {{"artist", "pics", "1"}, 1, "lumo: artist pics failed: service code 41005 (no such artist"},
      {{"--connect-to", "127.0.0.1:1", "splash"}, 3, "lumo: splash failed: "},
      {{"cloud", "upload", no_extension}, 2, "has no file extension"},
      {{"song", "link", "100001", "--bogus"}, 2, "--bogus"},
      {{"--connect-to", "nowhere", "splash"}, 2, "HOST:PORT"},
      {{"radio"}, 2, "subcommand"},
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

TEST_F(LumoTest, CommandsHaveHelp) {
  const std::vector<std::vector<std::string>> commands = {
      {}, {"song", "link"}, {"cloud", "upload"}};
  for (std::vector<std::string> command : commands) {
    std::string path = "lumo";
    for (const std::string& word : command) path += " " + word;
    SCOPED_TRACE(path);
    command.push_back("--help");
    const RunResult result = Run(command);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.out.find("Usage: " + path), std::string::npos) << result.out;
  }
}

}  // namespace
