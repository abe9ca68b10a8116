#include "support/log_secret_check.h"

#include <glog/logging.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "base/logging.h"
#include "base/string_utils.h"
#include "base/thread/mutex.h"
#include "sandbox/seed_users.h"

#ifdef _MSC_VER
#include <windows.h>
#endif

// The test executables link with --wrap for base::logging::SetLogSink (tests/CMakeLists.txt):
// every call a test makes reaches WrappedSetLogSink, and RealSetLogSink is the host's own.
#define LUMO_SET_LOG_SINK "_ZN4base7logging10SetLogSinkESt8functionIFvRKNS0_9LogRecordEEE"
#if defined(_MSC_VER)
// lld-link cannot wrap a DLL's import slot (tests/CMakeLists.txt): the program's slot for
// SetLogSink (its name decorated as Visual Studio does) is pointed at WrappedSetLogSink when the
// program starts instead, and RealSetLogSink calls what the slot held before.
base::logging::LogSink WrappedSetLogSink(base::logging::LogSink sink);
using SetLogSinkFunction = base::logging::LogSink (*)(base::logging::LogSink);
extern SetLogSinkFunction set_log_sink_slot __asm__(
    "__imp_?SetLogSink@logging@base@@YA?AV?$function@$$A6AXAEBULogRecord@logging@base@@@Z@std@@"
    "V34@@Z");
namespace {
SetLogSinkFunction const kRealSetLogSink = [] {
  SetLogSinkFunction real = set_log_sink_slot;
  DWORD protection = 0;
  VirtualProtect(&set_log_sink_slot, sizeof set_log_sink_slot, PAGE_READWRITE, &protection);
  set_log_sink_slot = WrappedSetLogSink;
  VirtualProtect(&set_log_sink_slot, sizeof set_log_sink_slot, protection, &protection);
  return real;
}();
}  // namespace
base::logging::LogSink RealSetLogSink(base::logging::LogSink sink) {
  return kRealSetLogSink(std::move(sink));
}
#elif defined(_WIN32)
base::logging::LogSink WrappedSetLogSink(base::logging::LogSink sink);
// A program calls a DLL's function through its slot in the import table, "__imp_" and the name:
// the slot is wrapped, and the wrapping slot holds WrappedSetLogSink.
using SetLogSinkFunction = base::logging::LogSink (*)(base::logging::LogSink);
extern SetLogSinkFunction const kRealSetLogSink __asm__("__real___imp_" LUMO_SET_LOG_SINK);
extern SetLogSinkFunction const kWrappedSetLogSink __asm__("__wrap___imp_" LUMO_SET_LOG_SINK);
SetLogSinkFunction const kWrappedSetLogSink = WrappedSetLogSink;
base::logging::LogSink RealSetLogSink(base::logging::LogSink sink) {
  return kRealSetLogSink(std::move(sink));
}
#else
base::logging::LogSink RealSetLogSink(base::logging::LogSink sink) __asm__(
    "__real_" LUMO_SET_LOG_SINK);
base::logging::LogSink WrappedSetLogSink(base::logging::LogSink sink) __asm__(
    "__wrap_" LUMO_SET_LOG_SINK);
#endif
#undef LUMO_SET_LOG_SINK

namespace lumo::testing {
namespace {

bool EndsValue(char c) {
  return c == '&' || c == ';' || c == '"' || c == '\'' || c == ',' || c == ' ' || c == '\t' ||
         c == '\r' || c == '\n';
}

bool Contains(const std::string& line, const KnownToken& token) {
  const std::string text = token.text;
  for (size_t at = line.find(text); at != std::string::npos; at = line.find(text, at + 1)) {
    if (!token.whole_value_only) return true;
    const size_t end = at + text.size();
    if (at > 0 && line[at - 1] == '=' && (end == line.size() || EndsValue(line[end]))) return true;
  }
  return false;
}

void Report(const std::string& where, const std::string& line) {
  for (const KnownToken* token : FindKnownTokens(line)) {
    ADD_FAILURE() << "a session token (" << MaskedToken(token->text) << ") was written to the "
                  << where << ": " << MaskKnownTokens(line);
  }
}

// Stays the host log's sink for the whole run and hands each line on to the sink a test set.
struct HostLogChain {
  base::thread::Mutex mutex;
  base::logging::LogSink default_sink;                 // the host's standard-error writer
  base::logging::LogSink test_sink GUARDED_BY(mutex);  // the default one when no test set one
};

HostLogChain& Chain() {
  static auto* chain = new HostLogChain;  // never destroyed: threads may log while exiting
  return *chain;
}

void CheckHostLine(const base::logging::LogRecord& record) {
  Report("host log", base::string_utils::ToUtf8(record.location) + ":" +
                         std::to_string(record.line) + " " +
                         base::string_utils::ToUtf8(record.message));
  HostLogChain& chain = Chain();
  // Held while the test's sink runs, so that once a test's SetLogSink returns, its previous sink
  // is no longer running (as the host's own promises).
  base::thread::MutexLock lock(&chain.mutex);
  if (chain.test_sink) chain.test_sink(record);
}

class GlogCheck : public google::LogSink {
 public:
  void send(google::LogSeverity, const char* full_filename, const char*, int line,
            const google::LogMessageTime&, const char* message, size_t length) override {
    Report("glog", std::string(full_filename) + ":" + std::to_string(line) + " " +
                       std::string(message, length));
  }
};

}  // namespace

const std::vector<KnownToken>& KnownTokens() {
  static const std::vector<KnownToken> tokens = {
      // The sandbox's seed users.
      {sandbox::kOrdinaryUserToken, false},
      {sandbox::kBigUserToken, false},
      {sandbox::kCuratorToken, false},
      // Tests of the request core and the encryption.
      {"SECRET-TOKEN", false},
      {"SECRET", true},
      // The request rows (tests/support/every_request.cc) and the radio tests.
      {"acct", true},
      {"tok", true},
      {"secret", true},
      {"tk", true},
      // The transport's and the request core's cookie tests.
      {"abc", true},
  };
  return tokens;
}

std::string MaskedToken(const std::string& token) {
  const size_t shown = token.size() >= 8 ? 3 : 1;
  return token.substr(0, shown) + "***(" + std::to_string(token.size()) + " characters)";
}

std::vector<const KnownToken*> FindKnownTokens(const std::string& line) {
  std::vector<const KnownToken*> found;
  for (const KnownToken& token : KnownTokens()) {
    if (Contains(line, token)) found.push_back(&token);
  }
  return found;
}

std::string MaskKnownTokens(std::string line) {
  // Longest first, so that "SECRET-TOKEN" goes whole before "SECRET" is looked for.
  std::vector<std::string> tokens;
  for (const KnownToken& token : KnownTokens()) tokens.emplace_back(token.text);
  std::sort(tokens.begin(), tokens.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const std::string& token : tokens) {
    if (token.size() < 4) continue;  // a short one is too common to replace everywhere
    const std::string masked = MaskedToken(token);
    for (size_t at = line.find(token); at != std::string::npos; at = line.find(token, at)) {
      line.replace(at, token.size(), masked);
      at += masked.size();
    }
  }
  // What is left of the short ones: whole values after "=".
  for (size_t at = line.find('='); at != std::string::npos; at = line.find('=', at + 1)) {
    size_t end = at + 1;
    while (end < line.size() && !EndsValue(line[end])) ++end;
    const std::string value = line.substr(at + 1, end - at - 1);
    for (const KnownToken& token : KnownTokens()) {
      if (value == token.text) line.replace(at + 1, value.size(), MaskedToken(value));
    }
  }
  return line;
}

void InstallLogSecretCheck() {
  HostLogChain& chain = Chain();
  base::logging::LogSink default_sink = RealSetLogSink(CheckHostLine);
  {
    base::thread::MutexLock lock(&chain.mutex);
    chain.default_sink = default_sink;
    chain.test_sink = std::move(default_sink);
  }
  static GlogCheck glog_check;  // registered for the rest of the process
  google::AddLogSink(&glog_check);
}

}  // namespace lumo::testing

// What a test's SetLogSink does now: it replaces the sink behind the check, not the check.
base::logging::LogSink WrappedSetLogSink(base::logging::LogSink sink) {
  lumo::testing::HostLogChain& chain = lumo::testing::Chain();
  base::thread::MutexLock lock(&chain.mutex);
  return std::exchange(chain.test_sink, sink ? std::move(sink) : chain.default_sink);
}
