// The lines --verbose adds on standard error: each exchange as it leaves, with its headers, and
// its outcome with the time it took (and with -vv the start of the answer). Session tokens are
// written as "***" unless --show-token. Any thread.
#ifndef LUMO_CLI_TRACE_H_
#define LUMO_CLI_TRACE_H_

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace lumo::cli {

using Headers = std::vector<std::pair<std::string, std::string>>;

// How much of an answer's body -vv shows.
inline constexpr size_t kTracedBodyBytes = 4096;

void TraceRequest(const std::string& method, const std::string& url, const Headers& headers,
                  bool show_token = false);
// An answer arrived.
void TraceAnswer(int http_status, size_t body_bytes, std::chrono::steady_clock::duration took);
// The first kTracedBodyBytes of an answer, tokens masked.
void TraceBody(const std::string& body);
// The exchange failed before an answer arrived.
void TraceFailure(const std::string& error, std::chrono::steady_clock::duration took);
// Any other line ("lumo: " is prepended).
void TraceLine(const std::string& line);

// The UTF-8 `text` with the values of "kwtok" parameters and of the KWTOK cookie replaced by
// "***", by the library's own rule.
std::string MaskTokens(const std::string& text);
// `text` masked, or as it is when `show_token`.
inline std::string Shown(const std::string& text, bool show_token) {
  return show_token ? text : MaskTokens(text);
}

}  // namespace lumo::cli

#endif  // LUMO_CLI_TRACE_H_
