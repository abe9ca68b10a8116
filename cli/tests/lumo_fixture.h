// What the tests of the lumo binary share: each test gets its own state folder, so the built-in
// sandbox starts from the seed, runs the binary and reads what it printed and its exit status.
#ifndef LUMO_CLI_TESTS_LUMO_FIXTURE_H_
#define LUMO_CLI_TESTS_LUMO_FIXTURE_H_

#include <gtest/gtest.h>

#include <cpprest/json.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "platform.h"
#include "report.h"
#include "sandbox/server.h"
#include "scratch_folder.h"

namespace lumo::cli::testing {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using web::json::value;

inline constexpr char kOrdinaryToken[] = "sbx-ordinary-7f3a9c21";
inline constexpr char kBigToken[] = "sbx-big-2c81e4d0";

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

inline std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

inline Args Join(Args head, const Args& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// The words of a command line written with single spaces.
inline Args Words(const std::string& line) {
  Args words;
  std::istringstream stream(line);
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// The texts of member `key` of every element of `rows` (or of the texts themselves).
inline std::vector<std::string> Column(const value& rows, const char* key = nullptr) {
  std::vector<std::string> texts;
  for (const value& row : rows.as_array()) {
    texts.push_back(Utf8((key ? row.at(JsonString(key)) : row).as_string()));
  }
  return texts;
}

inline bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class LumoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_holder_ = std::make_unique<sandbox::testing::ScratchFolder>("lumo_cli_test.");
    dir_ = dir_holder_->path();
    ASSERT_FALSE(dir_.empty());
  }

  fs::path StatePath() const { return dir_ / "state" / "lumo" / "sandbox.db"; }

  // This test's state folder instead of the user's, no token, route or proxy from outside, and
  // `environment` ("NAME=value" words).
  EnvironmentChange Environment(const Args& environment) const {
    EnvironmentChange change;
    change.set =
        Join({std::string(kStateHomeVariable) + "=" + (dir_ / "state").u8string()}, environment);
    change.unset = {"LUMO_TOKEN", "LUMO_CONNECT_TO", "http_proxy", "HTTP_PROXY"};
    return change;
  }

  // Runs `binary` with `args` and Environment(environment), its output into files of this test.
  RunResult Run(const Args& args, const Args& environment = {},
                const std::string& binary = LUMO_BINARY) const {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    ChildProcess process(binary, args, Environment(environment), out, err);
    const int exit_code = process.Wait();
    return {exit_code, ReadFile(out), ReadFile(err)};
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

  std::unique_ptr<sandbox::testing::ScratchFolder> dir_holder_;
  fs::path dir_;
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

}  // namespace lumo::cli::testing

#endif  // LUMO_CLI_TESTS_LUMO_FIXTURE_H_
