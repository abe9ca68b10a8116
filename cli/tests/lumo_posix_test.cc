// What needs a POSIX shell, terminal or device: a pseudo-terminal for the progress line, bash for
// the completion script, the shell for the printed curl command, /dev/full for a result that
// cannot be written, a FIFO and a device for files that are not uploaded. Linux only (see
// cli/CMakeLists.txt).
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "file_digest.h"
#include "lumo_fixture.h"
#include "output.h"

namespace lumo::cli::testing {
namespace {

// `text` as one word for the shell.
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Everything readable now from a non-blocking descriptor.
std::string Drain(int fd) {
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  return text;
}

class ShellTest : public ServedTest {
 protected:
  // Runs `command` with sh.
  RunResult RunShell(const std::string& command) const {
    const fs::path out = dir_ / "shell.out", err = dir_ / "shell.err";
    ChildProcess shell("sh", {"-c", command}, Environment({}), out, err);
    const int exit_code = shell.Wait();
    return {exit_code, ReadFile(out), ReadFile(err)};
  }

  // Runs lumo with standard error on a terminal; what it drew there.
  std::string RunOnTerminal(const Args& args) const {
    int reader = -1, terminal = -1;
    EXPECT_EQ(openpty(&reader, &terminal, nullptr, nullptr, nullptr), 0);
    ChildProcess lumo(LUMO_BINARY, args, Environment({}), "/dev/null", ttyname(terminal));
    EXPECT_EQ(lumo.Wait(), 0);
    fcntl(reader, F_SETFL, O_NONBLOCK);
    std::string drawn = Drain(reader);
    close(terminal);
    close(reader);
    return drawn;
  }
};

// The command line the dry run prints, with the token, gets the service's answer from the shell.
TEST_F(ShellTest, TheDryRunsCurlCommandWorks) {
  const Args args = {"--dry-run",    "--connect-to", target_, "--token",
                     kOrdinaryToken, "--show-token", "cloud", "quota"};
  const RunResult curl = RunShell(Utf8(Json(args).at(JsonString("curl")).as_string()));
  ASSERT_EQ(curl.exit_code, 0) << curl.err;
  EXPECT_EQ(value::parse(curl.out).at(JsonString("error_code")).as_integer(), 22000) << curl.out;
}

// A result that cannot be written is no success.
TEST_F(ShellTest, AnUnwritableResultFails) {
  ChildProcess lumo(LUMO_BINARY, {"-q", "splash"}, Environment({}), "/dev/full", dir_ / "err");
  EXPECT_NE(lumo.Wait(), 0);
  const std::string err = ReadFile(dir_ / "err");
  EXPECT_NE(err.find("cannot write the result"), std::string::npos) << err;
}

// The script is valid bash, registers itself for lumo and completes a group's subcommands and an
// option's values.
TEST_F(ShellTest, TheBashCompletionCompletesCommandsAndValues) {
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
}

TEST_F(ShellTest, TheProgressLineIsForATerminalAndNeverForJson) {
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

TEST(ProgressLineTest, DrawsInPlaceOnATerminal) {
  // Standard error on a pseudo-terminal this test reads.
  int reader = -1, terminal = -1;
  ASSERT_EQ(openpty(&reader, &terminal, nullptr, nullptr, nullptr), 0);
  fcntl(reader, F_SETFL, O_NONBLOCK);
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(terminal, STDERR_FILENO);
  const auto written = [reader] {
    std::fflush(stderr);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    return text;
  };
  GlobalOptions options;
  {
    ProgressLine line{Output(options)};
    for (const char* text :
         {"pages 1, items 50", "pages 1, items 50", "pages 10, items 500", "pages 2, items 9"}) {
      line.Show(text);
    }
  }
  // Each change redraws the line from its start, blanks cover what a longer line left, and the
  // line is cleared at the end. (That --json draws nothing shows in a run of the binary.)
  const std::string text = written();
  dup2(saved, STDERR_FILENO);
  for (int fd : {saved, terminal, reader}) close(fd);
  EXPECT_EQ(text, "\rpages 1, items 50\rpages 10, items 500\rpages 2, items 9   \r" +
                      std::string(16, ' ') + "\r");
}

// A FIFO is refused without waiting for a writer, a device without reading it.
TEST_F(ShellTest, PipesAndDevicesAreRefusedUnread) {
  const std::string fifo = (dir_ / "pipe.mp3").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& odd : {fifo, std::string("/dev/zero")}) {
    std::string error;
    EXPECT_FALSE(DigestFile(odd, &error)) << odd;
    EXPECT_NE(error, "") << odd;
    EXPECT_TRUE(RefuseUpload(odd)) << odd;
  }
}

}  // namespace
}  // namespace lumo::cli::testing
