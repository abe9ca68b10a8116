#include "trace.h"

#include <cstdio>
#include <mutex>

namespace lumo::cli {
namespace {

void Write(const std::string& text) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string Millis(std::chrono::steady_clock::duration took) {
  return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()) +
         " ms";
}

// Replaces what follows each `marker` up to the next `end` character (or the end).
void MaskAfter(std::string& text, const std::string& marker, char end) {
  for (size_t at = text.find(marker); at != std::string::npos;
       at = text.find(marker, at + marker.size())) {
    const size_t begin = at + marker.size();
    const size_t stop = text.find(end, begin);
    text.replace(begin, (stop == std::string::npos ? text.size() : stop) - begin, "***");
  }
}

}  // namespace

std::string MaskTokens(std::string text) {
  MaskAfter(text, "kwtok=", '&');
  MaskAfter(text, "KWTOK=", ';');
  return text;
}

void TraceRequest(const std::string& method, const std::string& url, const Headers& headers) {
  std::string text = "> " + method + " " + MaskTokens(url) + "\n";
  for (const auto& [name, value] : headers) text += "> " + name + ": " + MaskTokens(value) + "\n";
  Write(text);
}

void TraceAnswer(int http_status, size_t body_bytes, std::chrono::steady_clock::duration took) {
  Write("< HTTP " + std::to_string(http_status) + ", " + std::to_string(body_bytes) + " bytes in " +
        Millis(took) + "\n");
}

void TraceFailure(const std::string& error, std::chrono::steady_clock::duration took) {
  Write("< failed after " + Millis(took) + ": " + error + "\n");
}

void TraceLine(const std::string& line) { Write("lumo: " + line + "\n"); }

}  // namespace lumo::cli
