#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "child_process.h"

extern char** environ;

namespace lumo::cli::testing {
namespace {

std::string NameOf(const std::string& assignment) {
  return assignment.substr(0, assignment.find('='));
}

// This process's environment without the changed names, then the new assignments.
std::vector<std::string> ChangedEnvironment(const EnvironmentChange& change) {
  std::vector<std::string> removed = change.unset;
  for (const std::string& assignment : change.set) removed.push_back(NameOf(assignment));
  std::vector<std::string> result;
  for (char** entry = environ; *entry; ++entry) {
    if (std::find(removed.begin(), removed.end(), NameOf(*entry)) == removed.end()) {
      result.push_back(*entry);
    }
  }
  result.insert(result.end(), change.set.begin(), change.set.end());
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const EnvironmentChange& environment, const std::filesystem::path& out,
                           const std::filesystem::path& err)
    : process_(-1) {
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = ChangedEnvironment(environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, Pointers(argv).data(),
                   Pointers(envp).data()) == 0) {
    process_ = pid;
  }
  posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() { Wait(); }

int ChildProcess::Wait() {
  if (status_) return *status_;
  status_ = -1;
  if (process_ < 0) return *status_;
  const auto pid = static_cast<pid_t>(process_);
  const auto deadline = std::chrono::steady_clock::now() + kLongestRun;
  int status = 0;
  pid_t ended = 0;
  while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  } else if (ended == pid && WIFEXITED(status)) {
    status_ = WEXITSTATUS(status);
  }
  return *status_;
}

}  // namespace lumo::cli::testing
