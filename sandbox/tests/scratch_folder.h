// A new empty folder under the system's temporary folder for one test, removed with what is in
// it when the test is done with it.
#ifndef SANDBOX_TESTS_SCRATCH_FOLDER_H_
#define SANDBOX_TESTS_SCRATCH_FOLDER_H_

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace lumo::sandbox::testing {

// Thread-compatible.
class ScratchFolder {
 public:
  // A name that is taken already is not reused; an empty path() when none could be made.
  explicit ScratchFolder(const std::string& prefix) {
    std::random_device random;
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    for (int attempt = 0; attempt < 100 && path_.empty() && !error; ++attempt) {
      const std::filesystem::path candidate = base / (prefix + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace lumo::sandbox::testing

#endif  // SANDBOX_TESTS_SCRATCH_FOLDER_H_
