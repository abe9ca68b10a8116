#include "base/logging.h"

#include <cstdio>
#include <utility>

#include "base/string_utils.h"
#include "base/thread/mutex.h"

namespace base::logging {
namespace {

const char* SeverityName(LoggingSeverity::Severity severity) {
  switch (severity) {
    case LoggingSeverity::kVerbose:
      return "VERBOSE";
    case LoggingSeverity::kInfo:
      return "INFO";
    case LoggingSeverity::kWarning:
      return "WARNING";
    case LoggingSeverity::kError:
      return "ERROR";
  }
  return "UNKNOWN";
}

void WriteToStandardError(const LogRecord& record) {
  const std::string line = std::string("[") + SeverityName(record.severity) + "] " +
                           string_utils::ToUtf8(record.location) + ":" +
                           std::to_string(record.line) + " " +
                           string_utils::ToUtf8(record.message) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// The sink is called with `mutex` held, which keeps messages whole and in order and means that
// once SetLogSink returns the previous sink is no longer running. A sink must not log.
struct Log {
  base::thread::Mutex mutex;
  LogSink sink GUARDED_BY(mutex) = WriteToStandardError;
};

Log& GetLog() {
  static Log* log = new Log;  // never destroyed: threads may log while the process exits
  return *log;
}

}  // namespace

void LogMessage(std::wstring location, unsigned line, LoggingSeverity::Severity severity,
                std::wstring message) {
  LogRecord record;
  record.location = std::move(location);
  record.line = line;
  record.severity = severity;
  record.message = std::move(message);
  Log& log = GetLog();
  base::thread::MutexLock lock(&log.mutex);
  log.sink(record);
}

LogSink SetLogSink(LogSink sink) {
  Log& log = GetLog();
  base::thread::MutexLock lock(&log.mutex);
  LogSink previous = std::exchange(log.sink, sink ? std::move(sink) : WriteToStandardError);
  return previous;
}

}  // namespace base::logging
