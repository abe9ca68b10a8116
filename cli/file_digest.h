// What the cloud upload check describes a local file by.
#ifndef LUMO_CLI_FILE_DIGEST_H_
#define LUMO_CLI_FILE_DIGEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumo::cli {

// The slice is the file's first 256 KiB, or the whole file when it is smaller.
inline constexpr uint64_t kSliceBytes = uint64_t{256} * 1024;

struct FileDigest {
  uint64_t size = 0;
  std::string md5;        // of the whole file, lower-case hexadecimal
  std::string slice_md5;  // of the slice
  uint32_t crc32 = 0;     // CRC-32 (IEEE 802.3) of the whole file
  std::string ext;        // after the last "." of the file name, without it; empty when none
};

// Lower-case hexadecimal MD5 of `bytes`.
std::string Md5Hex(std::string_view bytes);

// The largest file the object store takes.
inline constexpr uint64_t kUploadLimit = uint64_t{64} * 1024 * 1024;

// Reads `path` once, up to the size it had when opened. Nothing, with *error set, when the file
// cannot be read or is not a regular file (a directory, a device, a FIFO: those are refused
// without reading, and a FIFO without waiting for a writer). With `bytes`, the bytes digested are
// kept there, so that what is uploaded is what was digested; the file may then be at most
// kUploadLimit.
std::optional<FileDigest> DigestFile(const std::string& path, std::string* error,
                                     std::string* bytes = nullptr);

// Why `path` cannot be uploaded (not a regular file, empty, over kUploadLimit), looked at
// without opening it; nothing when it can.
std::optional<std::string> RefuseUpload(const std::string& path);

}  // namespace lumo::cli

#endif  // LUMO_CLI_FILE_DIGEST_H_
