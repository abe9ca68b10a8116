#include "library_log.h"

#include <glog/logging.h>

#include <string>

#include "base/logging.h"
#include "base/string_utils.h"

namespace lumo::cli {
namespace {

using Severity = base::logging::LoggingSeverity;

// glog's lines as host log lines. The library writes them in GBK, as its host reads them.
class HostLogForwarder : public google::LogSink {
 public:
  void send(google::LogSeverity severity, const char* full_filename, const char* /*base_filename*/,
            int line, const google::LogMessageTime& /*time*/, const char* message,
            size_t message_len) override {
    base::logging::LogMessage(base::string_utils::GBKToUtf16(full_filename),
                              static_cast<unsigned>(line), HostSeverity(severity),
                              base::string_utils::GBKToUtf16(std::string(message, message_len)));
  }

 private:
  static Severity::Severity HostSeverity(google::LogSeverity severity) {
    switch (severity) {
      case google::GLOG_INFO:
        return Severity::kInfo;
      case google::GLOG_WARNING:
        return Severity::kWarning;
      default:
        return Severity::kError;
    }
  }
};

}  // namespace

void QuietLibraryLog() {
  base::logging::SetLogSink([](const base::logging::LogRecord&) {});
  if (google::IsGoogleLoggingInitialized()) return;
  google::InitGoogleLogging("lumo");
  // Set after initialising, so that GLOG_* variables of the environment do not bring the lines
  // back to the terminal.
  FLAGS_logtostderr = false;
  FLAGS_alsologtostderr = false;
  FLAGS_stderrthreshold = google::GLOG_FATAL;
  // An empty name writes no file for that severity.
  for (google::LogSeverity severity = google::GLOG_INFO; severity < google::NUM_SEVERITIES;
       ++severity) {
    google::SetLogDestination(severity, "");
  }
  static auto* forwarder = new HostLogForwarder;  // never destroyed: glog may log at exit
  google::AddLogSink(forwarder);
}

}  // namespace lumo::cli
