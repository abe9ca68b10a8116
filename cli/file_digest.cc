#include "file_digest.h"

#include <openssl/evp.h>

#include <boost/crc.hpp>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

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
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

}  // namespace

std::string Md5Hex(std::string_view bytes) {
  DigestContext context = NewMd5();
  EVP_DigestUpdate(context.get(), bytes.data(), bytes.size());
  return FinishHex(context.get());
}

std::optional<FileDigest> DigestFile(const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  FileDigest digest;
  digest.ext = Extension(path);
  DigestContext whole = NewMd5();
  DigestContext slice = NewMd5();
  boost::crc_32_type crc;
  std::vector<char> buffer(64 * 1024);
  while (file) {
    file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto count = static_cast<size_t>(file.gcount());
    if (count == 0) break;
    EVP_DigestUpdate(whole.get(), buffer.data(), count);
    if (digest.size < kSliceBytes) {
      EVP_DigestUpdate(slice.get(), buffer.data(),
                       std::min<uint64_t>(count, kSliceBytes - digest.size));
    }
    crc.process_bytes(buffer.data(), count);
    digest.size += count;
  }
  if (file.bad()) {
    *error = "error while reading " + path;
    return std::nullopt;
  }
  digest.md5 = FinishHex(whole.get());
  digest.slice_md5 = FinishHex(slice.get());
  digest.crc32 = crc.checksum();
  return digest;
}

}  // namespace lumo::cli
