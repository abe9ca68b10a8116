// The host log: one line per message, written to a sink that the host (or a test) can replace.
// Any thread; the sink is called on the logging thread, one message at a time.
#ifndef BASE_LOGGING_H_
#define BASE_LOGGING_H_

#include <functional>
#include <string>

#include "base/export.h"

namespace base::logging {

// The severities of log messages.
struct LoggingSeverity {
  // From the least to the most severe.
  enum Severity { kVerbose = 0, kInfo = 1, kWarning = 2, kError = 3 };
};

// One log message, as the sink gets it.
struct LogRecord {
  std::wstring location;                                        // qualified function name
  unsigned line = 0;                                            // the source line
  LoggingSeverity::Severity severity = LoggingSeverity::kInfo;  // how severe
  std::wstring message;                                         // the text
};

using LogSink = std::function<void(const LogRecord&)>;  // Receives every log message.

// Logs one message. Any thread.
LUMOHOST_EXPORT void LogMessage(std::wstring location, unsigned line,
                                LoggingSeverity::Severity severity, std::wstring message);

// Replaces the sink and returns the previous one. nullptr restores the default sink, which
// writes "[severity] location:line message" to standard error.
LUMOHOST_EXPORT LogSink SetLogSink(LogSink sink);

}  // namespace base::logging

#endif  // BASE_LOGGING_H_
