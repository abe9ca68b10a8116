#include "file_digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <boost/crc.hpp>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "report.h"

namespace lumo::cli {
namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

DigestContext NewMd5() {
  DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr);
  return context;
}

std::string FinishHex(EVP_MD_CTX* context) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context, digest, &length);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string Extension(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  // A leading dot starts a hidden file's name (".hidden"), not an extension.
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}

// Why a file of this kind is not read; nothing for a regular file.
std::optional<std::string> RefuseKind(const std::string& path, mode_t mode) {
  if (S_ISREG(mode)) return std::nullopt;
  if (S_ISDIR(mode)) return path + " is a directory";
  return path + " is not a regular file (a device, FIFO or socket)";
}

std::string TooLarge(const std::string& path, uint64_t size) {
  return path + " is " + ReadableBytes(size) + "; the object store takes at most " +
         ReadableBytes(kUploadLimit);
}

std::string CannotRead(const std::string& path) {
  return "cannot read " + path + ": " + std::strerror(errno);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::string Md5Hex(std::string_view bytes) {
  DigestContext context = NewMd5();
  EVP_DigestUpdate(context.get(), bytes.data(), bytes.size());
  return FinishHex(context.get());
}

std::optional<std::string> RefuseUpload(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return CannotRead(path);
  if (auto refused = RefuseKind(path, info.st_mode)) return refused;
  const auto size = static_cast<uint64_t>(info.st_size);
  if (size == 0) return path + " is empty";
  if (size > kUploadLimit) return TooLarge(path, size);
  return std::nullopt;
}

std::optional<FileDigest> DigestFile(const std::string& path, std::string* error,
                                     std::string* bytes) {
  // Non-blocking, so that opening a FIFO does not wait for a writer; fstat then refuses it.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0) {
    *error = CannotRead(path);
    return std::nullopt;
  }
  if (auto refused = RefuseKind(path, info.st_mode)) {
    *error = *refused;
    return std::nullopt;
  }
  FileDigest digest;
  digest.ext = Extension(path);
  DigestContext whole = NewMd5();
  DigestContext slice = NewMd5();
  boost::crc_32_type crc;
  std::vector<char> buffer(size_t{64} * 1024);
  // A file that grows while it is read is read up to the size it had.
  const auto size = static_cast<uint64_t>(info.st_size);
  if (bytes) {
    if (size > kUploadLimit) {
      *error = TooLarge(path, size);
      return std::nullopt;
    }
    bytes->clear();
    bytes->reserve(static_cast<size_t>(size));
  }
  while (digest.size < size) {
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - digest.size));
    const ssize_t count = ::read(file.get(), buffer.data(), wanted);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      *error = CannotRead(path);
      return std::nullopt;
    }
    if (count == 0) break;
    const auto got = static_cast<size_t>(count);
    EVP_DigestUpdate(whole.get(), buffer.data(), got);
    if (digest.size < kSliceBytes) {
      EVP_DigestUpdate(slice.get(), buffer.data(),
                       std::min<uint64_t>(got, kSliceBytes - digest.size));
    }
    crc.process_bytes(buffer.data(), got);
    if (bytes) bytes->append(buffer.data(), got);
    digest.size += got;
  }
  digest.md5 = FinishHex(whole.get());
  digest.slice_md5 = FinishHex(slice.get());
  digest.crc32 = crc.checksum();
  return digest;
}

}  // namespace lumo::cli
