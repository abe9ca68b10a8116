#include "file_digest.h"

#include <algorithm>
#include <boost/crc.hpp>
#include <filesystem>
#include <vector>

#include "input_file.h"
#include "md5.h"
#include "report.h"

namespace lumo::cli {
namespace {

std::string Extension(const std::string& path) {
  const std::string name = std::filesystem::u8path(path).filename().u8string();
  // A leading dot starts a hidden file's name (".hidden"), not an extension.
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}

// Why a file of this kind is not read; nothing for a regular file.
std::optional<std::string> RefuseKind(const std::string& path, FileKind kind) {
  switch (kind) {
    case FileKind::kRegular:
      return std::nullopt;
    case FileKind::kDirectory:
      return path + " is a directory";
    case FileKind::kOther:
      break;
  }
  return path + " is not a regular file (a device, FIFO or socket)";
}

std::string TooLarge(const std::string& path, uint64_t size) {
  return path + " is " + ReadableBytes(size) + "; the object store takes at most " +
         ReadableBytes(kUploadLimit);
}

std::string CannotRead(const std::string& path, const std::string& reason) {
  return "cannot read " + path + ": " + reason;
}

}  // namespace

std::string Md5Hex(std::string_view bytes) {
  Md5 md5;
  md5.Update(bytes);
  return md5.FinishHex();
}

std::optional<std::string> RefuseUpload(const std::string& path) {
  std::string reason;
  const std::optional<FileFacts> facts = LookAt(path, &reason);
  if (!facts) return CannotRead(path, reason);
  if (auto refused = RefuseKind(path, facts->kind)) return refused;
  if (facts->size == 0) return path + " is empty";
  if (facts->size > kUploadLimit) return TooLarge(path, facts->size);
  return std::nullopt;
}

std::optional<FileDigest> DigestFile(const std::string& path, std::string* error,
                                     std::string* bytes) {
  InputFile file(path);
  const std::optional<FileFacts> facts = file.Facts();
  if (!facts) {
    *error = CannotRead(path, file.error());
    return std::nullopt;
  }
  if (auto refused = RefuseKind(path, facts->kind)) {
    *error = *refused;
    return std::nullopt;
  }
  FileDigest digest;
  digest.ext = Extension(path);
  Md5 whole;
  Md5 slice;
  boost::crc_32_type crc;
  std::vector<char> buffer(size_t{64} * 1024);
  // A file that grows while it is read is read up to the size it had.
  const uint64_t size = facts->size;
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
    const std::optional<size_t> got = file.Read(buffer.data(), wanted);
    if (!got) {
      *error = CannotRead(path, file.error());
      return std::nullopt;
    }
    if (*got == 0) break;
    const std::string_view piece(buffer.data(), *got);
    whole.Update(piece);
    if (digest.size < kSliceBytes) {
      slice.Update(piece.substr(0, static_cast<size_t>(kSliceBytes - digest.size)));
    }
    crc.process_bytes(piece.data(), piece.size());
    if (bytes) bytes->append(piece);
    digest.size += *got;
  }
  digest.md5 = whole.FinishHex();
  digest.slice_md5 = slice.FinishHex();
  digest.crc32 = crc.checksum();
  return digest;
}

}  // namespace lumo::cli
