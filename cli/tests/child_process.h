// A program run as a user runs it from a shell, for the tool's tests: with its arguments as given,
// this process's environment with some variables changed, standard output and error into files
// and an empty standard input. Through posix_spawn on Linux (child_process_posix.cc) and
// CreateProcessW on Windows (child_process_win.cc).
#ifndef LUMO_CLI_TESTS_CHILD_PROCESS_H_
#define LUMO_CLI_TESTS_CHILD_PROCESS_H_

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lumo::cli::testing {

struct EnvironmentChange {
  std::vector<std::string> set;    // "NAME=value"
  std::vector<std::string> unset;  // names
};

// Started on construction. Thread-compatible.
class ChildProcess {
 public:
  // `program` is a path, or on Linux a name looked for on PATH; `args` follow it.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const EnvironmentChange& environment, const std::filesystem::path& out,
               const std::filesystem::path& err);
  ~ChildProcess();  // waits for the program unless Wait did
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits for the program to end, at most kLongestRun (then it is killed): its exit status, or
  // -1 when it did not start, did not exit on its own or ran too long.
  int Wait();

  // Longer than any one run of the tool under Wine takes; a hung run fails its test alone.
  static constexpr std::chrono::seconds kLongestRun{120};

 private:
  intptr_t process_;  // a process id, or a process HANDLE; -1 when none started
  std::optional<int> status_;
};

}  // namespace lumo::cli::testing

#endif  // LUMO_CLI_TESTS_CHILD_PROCESS_H_
