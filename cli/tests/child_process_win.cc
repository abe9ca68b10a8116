#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cwctype>

#include "base/string_utils.h"
#include "child_process.h"

namespace lumo::cli::testing {
namespace {

using base::string_utils::ToUtf16;

std::wstring NameOf(const std::wstring& assignment) {
  std::wstring name = assignment.substr(0, assignment.find(L'=', 1));
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
  return name;
}

// This process's environment without the changed names (which Windows compares without case),
// then the new assignments, sorted as CreateProcessW wants them, each ended by a NUL and the whole
// by another.
std::wstring ChangedEnvironment(const EnvironmentChange& change) {
  std::vector<std::wstring> removed;
  for (const std::string& name : change.unset) removed.push_back(NameOf(ToUtf16(name)));
  for (const std::string& assignment : change.set) removed.push_back(NameOf(ToUtf16(assignment)));
  std::vector<std::wstring> entries;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
    if (std::find(removed.begin(), removed.end(), NameOf(entry)) == removed.end()) {
      entries.push_back(entry);
    }
  }
  FreeEnvironmentStringsW(block);
  for (const std::string& assignment : change.set) entries.push_back(ToUtf16(assignment));
  std::sort(entries.begin(), entries.end(),
            [](const std::wstring& a, const std::wstring& b) { return NameOf(a) < NameOf(b); });
  std::wstring joined;
  for (const std::wstring& entry : entries) joined += entry + L'\0';
  return joined + L'\0';
}

// `argument` as the C runtime's parsing of a command line gives it back: quoted when it has
// blanks or quotes or is empty, with the backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// A handle the program inherits; INVALID_HANDLE_VALUE when the file cannot be opened.
HANDLE Inherited(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const EnvironmentChange& environment, const std::filesystem::path& out,
                           const std::filesystem::path& err)
    : process_(-1) {
  std::wstring command_line = Quoted(ToUtf16(program));
  for (const std::string& arg : args) command_line += L" " + Quoted(ToUtf16(arg));
  std::wstring environment_block = ChangedEnvironment(environment);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inherited(L"NUL", GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = Inherited(out.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = Inherited(err.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  PROCESS_INFORMATION started = {};
  if (CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                     CREATE_UNICODE_ENVIRONMENT, environment_block.data(), nullptr, &startup,
                     &started)) {
    CloseHandle(started.hThread);
    process_ = reinterpret_cast<intptr_t>(started.hProcess);
  }
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
}

ChildProcess::~ChildProcess() { Wait(); }

int ChildProcess::Wait() {
  if (status_) return *status_;
  status_ = -1;
  if (process_ == -1) return *status_;
  const auto process = reinterpret_cast<HANDLE>(process_);
  DWORD code = 0;
  const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(kLongestRun);
  if (WaitForSingleObject(process, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0) {
    if (GetExitCodeProcess(process, &code)) status_ = static_cast<int>(code);
  } else {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, static_cast<DWORD>(limit.count()));
  }
  CloseHandle(process);
  return *status_;
}

}  // namespace lumo::cli::testing
