// The host log: one line per message, written to a sink that the host (or a test) can replace.
// Any thread; the sink is called on the logging thread, one message at a time.
#ifndef BASE_LOGGING_H_
#define BASE_LOGGING_H_

#include <functional>
#include <string>

#include "base/export.h"

namespace base::logging {

struct LoggingSeverity {
  enum Severity { kVerbose = 0, kInfo = 1, kWarning = 2, kError = 3 };
};

struct LogRecord {
  std::wstring location;  // qualified function name
  unsigned line = 0;
  LoggingSeverity::Severity severity = LoggingSeverity::kInfo;
  std::wstring message;
};

using LogSink = std::function<void(const LogRecord&)>;

LUMOHOST_EXPORT void LogMessage(std::wstring location, unsigned line,
                                LoggingSeverity::Severity severity, std::wstring message);

// Replaces the sink and returns the previous one. nullptr restores the default sink, which
// writes "[severity] location:line message" to standard error.
LUMOHOST_EXPORT LogSink SetLogSink(LogSink sink);

}  // namespace base::logging

#endif  // BASE_LOGGING_H_
