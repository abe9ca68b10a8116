#include "trace.h"

#include <cstdio>
#include <mutex>

#include "base/string_utils.h"
#include "log_masking.h"

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

}  // namespace

std::string MaskTokens(const std::string& text) {
  using base::string_utils::ToUtf16;
  using base::string_utils::ToUtf8;
  return ToUtf8(lumoapi::MaskSecrets(ToUtf16(text)));
}

void TraceRequest(const std::string& method, const std::string& url, const Headers& headers,
                  bool show_token) {
  std::string text = "> " + method + " " + Shown(url, show_token) + "\n";
  for (const auto& [name, value] : headers) {
    text += "> " + name + ": " + Shown(value, show_token) + "\n";
  }
  Write(text);
}

void TraceAnswer(int http_status, size_t body_bytes, std::chrono::steady_clock::duration took) {
  Write("< HTTP " + std::to_string(http_status) + ", " + std::to_string(body_bytes) + " bytes in " +
        Millis(took) + "\n");
}

void TraceBody(const std::string& body) {
  std::string shown = MaskTokens(body.substr(0, kTracedBodyBytes));
  if (body.size() > kTracedBodyBytes) {
    shown += "... (" + std::to_string(body.size() - kTracedBodyBytes) + " more bytes)";
  }
  Write("< " + shown + "\n");
}

void TraceFailure(const std::string& error, std::chrono::steady_clock::duration took) {
  Write("< failed after " + Millis(took) + ": " + error + "\n");
}

void TraceLine(const std::string& line) { Write("lumo: " + line + "\n"); }

}  // namespace lumo::cli
