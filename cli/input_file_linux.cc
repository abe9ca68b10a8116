#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "input_file.h"

namespace lumo::cli {
namespace {

FileFacts FactsOf(const struct stat& info) {
  FileFacts facts;
  if (S_ISREG(info.st_mode)) {
    facts.kind = FileKind::kRegular;
    facts.size = static_cast<uint64_t>(info.st_size);
  } else if (S_ISDIR(info.st_mode)) {
    facts.kind = FileKind::kDirectory;
  }
  return facts;
}

}  // namespace

std::optional<FileFacts> LookAt(const std::string& path, std::string* error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    *error = std::strerror(errno);
    return std::nullopt;
  }
  return FactsOf(info);
}

// Non-blocking, so that opening a FIFO does not wait for a writer.
InputFile::InputFile(const std::string& path)
    : handle_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
  if (handle_ < 0) error_ = std::strerror(errno);
}

InputFile::~InputFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::optional<FileFacts> InputFile::Facts() {
  struct stat info {};
  if (handle_ < 0) return std::nullopt;
  if (::fstat(static_cast<int>(handle_), &info) != 0) {
    error_ = std::strerror(errno);
    return std::nullopt;
  }
  return FactsOf(info);
}

std::optional<size_t> InputFile::Read(char* buffer, size_t size) {
  for (;;) {
    const ssize_t count = ::read(static_cast<int>(handle_), buffer, size);
    if (count >= 0) return static_cast<size_t>(count);
    if (errno != EINTR) break;
  }
  error_ = std::strerror(errno);
  return std::nullopt;
}

}  // namespace lumo::cli
