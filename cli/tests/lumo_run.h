// Running the lumo binary as a user does, for the tests of cli/tests: each test gets its own
// state directory, so the built-in sandbox starts from the seed, and reads what the tool prints
// and its exit status.
#ifndef LUMO_CLI_TESTS_LUMO_RUN_H_
#define LUMO_CLI_TESTS_LUMO_RUN_H_

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

namespace lumo_test {

namespace fs = std::filesystem;
using web::json::value;

constexpr char kOrdinaryToken[] = "sbx-ordinary-7f3a9c21";

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

// `text` as one word for the shell.
inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The error lines, without the note about the built-in sandbox.
inline std::vector<std::string> ErrorLines(const std::string& err) {
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

  // The shell command that runs `binary` with `args`, this test's state directory instead of
  // the user's, no proxy, and `environment` ("NAME=value" words).
  std::string Command(const std::vector<std::string>& args,
                      const std::vector<std::string>& environment = {},
                      const std::string& binary = LUMO_BINARY) const {
    std::string command =
        "env -u LUMO_TOKEN -u LUMO_CONNECT_TO -u http_proxy -u HTTP_PROXY "
        "XDG_STATE_HOME=" +
        Quote((dir_ / "state").string());
    for (const std::string& variable : environment) command += " " + Quote(variable);
    command += " " + Quote(binary);
    for (const std::string& arg : args) command += " " + Quote(arg);
    return command;
  }

  // Runs lumo with `args`.
  RunResult Run(const std::vector<std::string>& args,
                const std::vector<std::string>& environment = {},
                const std::string& binary = LUMO_BINARY) const {
    return RunShell(Command(args, environment, binary));
  }

  RunResult RunShell(const std::string& command) const {
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

}  // namespace lumo_test

#endif  // LUMO_CLI_TESTS_LUMO_RUN_H_
