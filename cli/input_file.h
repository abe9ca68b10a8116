// A local file read from start to end, and what a path names, through the system's own calls
// (input_file_linux.cc, input_file_win.cc). Paths are UTF-8.
#ifndef LUMO_CLI_INPUT_FILE_H_
#define LUMO_CLI_INPUT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace lumo::cli {

enum class FileKind { kRegular, kDirectory, kOther /* a device, FIFO, socket or pipe */ };

struct FileFacts {
  FileKind kind = FileKind::kOther;
  uint64_t size = 0;  // of a regular file
};

// What `path` names, looked at without opening it; nothing, with the system's reason in *error,
// when that cannot be told.
std::optional<FileFacts> LookAt(const std::string& path, std::string* error);

// Opened on construction; thread-compatible.
class InputFile {
 public:
  // Never waits: a FIFO without a writer opens (and Facts then calls it kOther).
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // What the open file is; nothing, with error() set, when it did not open.
  std::optional<FileFacts> Facts();
  // Reads up to `size` bytes into `buffer`: how many, 0 at the end, nothing (with error() set)
  // on a failure.
  std::optional<size_t> Read(char* buffer, size_t size);
  // The system's reason for the last failure.
  const std::string& error() const { return error_; }

 private:
  intptr_t handle_;  // a descriptor on Linux, a HANDLE on Windows
  std::string error_;
};

}  // namespace lumo::cli

#endif  // LUMO_CLI_INPUT_FILE_H_
