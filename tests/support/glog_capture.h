// Collects glog's lines for the lifetime of the object (the library writes two kinds of them).
#ifndef LUMO_TESTS_SUPPORT_GLOG_CAPTURE_H_
#define LUMO_TESTS_SUPPORT_GLOG_CAPTURE_H_

#include <glog/logging.h>

#include <mutex>
#include <string>
#include <vector>

namespace lumo::testing {

class GlogCapture : public google::LogSink {
 public:
  GlogCapture() { google::AddLogSink(this); }
  ~GlogCapture() override { google::RemoveLogSink(this); }
  void send(google::LogSeverity severity, const char* full_filename, const char*, int line,
            const google::LogMessageTime&, const char* message, size_t length) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines.push_back({severity, full_filename, line, std::string(message, length)});
  }
  struct Line {
    google::LogSeverity severity;
    std::string file;
    int line;
    std::string text;
  };
  std::vector<Line> lines;

 private:
  std::mutex mutex_;
};

}  // namespace lumo::testing

#endif  // LUMO_TESTS_SUPPORT_GLOG_CAPTURE_H_
