// What the cloud upload check describes a local file by.
#ifndef LUMO_CLI_FILE_DIGEST_H_
#define LUMO_CLI_FILE_DIGEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumo::cli {

// The slice is the file's first 256 KiB, or the whole file when it is smaller.
inline constexpr uint64_t kSliceBytes = 256 * 1024;

struct FileDigest {
  uint64_t size = 0;
  std::string md5;        // of the whole file, lower-case hexadecimal
  std::string slice_md5;  // of the slice
  uint32_t crc32 = 0;     // CRC-32 (IEEE 802.3) of the whole file
  std::string ext;        // after the last "." of the file name, without it; empty when none
};

// Lower-case hexadecimal MD5 of `bytes`.
std::string Md5Hex(std::string_view bytes);

// Reads `path` once. Nothing, with *error set, when the file cannot be read.
std::optional<FileDigest> DigestFile(const std::string& path, std::string* error);

}  // namespace lumo::cli

#endif  // LUMO_CLI_FILE_DIGEST_H_
