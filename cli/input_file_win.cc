#include <windows.h>

#include <algorithm>

#include "base/string_utils.h"
#include "input_file.h"

namespace lumo::cli {
namespace {

// The system's words for its last error, on one line.
std::string LastError() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string words = length ? std::string(text, length) : "system error " + std::to_string(code);
  LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.')) {
    words.pop_back();
  }
  return words;
}

FileFacts FactsOf(DWORD attributes, DWORD size_high, DWORD size_low) {
  FileFacts facts;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    facts.kind = FileKind::kDirectory;
  } else if (!(attributes & FILE_ATTRIBUTE_DEVICE)) {
    facts.kind = FileKind::kRegular;
    facts.size = (uint64_t{size_high} << 32) | size_low;
  }
  return facts;
}

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::optional<FileFacts> LookAt(const std::string& path, std::string* error) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(base::string_utils::ToUtf16(path).c_str(), GetFileExInfoStandard,
                            &data)) {
    *error = LastError();
    return std::nullopt;
  }
  return FactsOf(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow);
}

// Shared with writers and deleters, as a file opened on Linux is; a folder opens too (backup
// semantics), so that Facts can name it.
InputFile::InputFile(const std::string& path)
    : handle_(reinterpret_cast<intptr_t>(
          CreateFileW(base::string_utils::ToUtf16(path).c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr))) {
  if (AsHandle(handle_) == INVALID_HANDLE_VALUE) error_ = LastError();
}

InputFile::~InputFile() {
  if (AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

std::optional<FileFacts> InputFile::Facts() {
  if (AsHandle(handle_) == INVALID_HANDLE_VALUE) return std::nullopt;
  // Consoles, pipes and devices are no files on a disk.
  if (GetFileType(AsHandle(handle_)) != FILE_TYPE_DISK) return FileFacts{};
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(AsHandle(handle_), &info)) {
    error_ = LastError();
    return std::nullopt;
  }
  return FactsOf(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow);
}

std::optional<size_t> InputFile::Read(char* buffer, size_t size) {
  DWORD count = 0;
  const auto wanted = static_cast<DWORD>(std::min<size_t>(size, MAXDWORD));
  if (!ReadFile(AsHandle(handle_), buffer, wanted, &count, nullptr)) {
    error_ = LastError();
    return std::nullopt;
  }
  return count;
}

}  // namespace lumo::cli
