// The lines --verbose adds on standard error: each exchange as it leaves, with its headers, and
// its outcome with the time it took. Session tokens are written as "***". Any thread.
#ifndef LUMO_CLI_TRACE_H_
#define LUMO_CLI_TRACE_H_

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace lumo::cli {

using Headers = std::vector<std::pair<std::string, std::string>>;

void TraceRequest(const std::string& method, const std::string& url, const Headers& headers);
// An answer arrived.
void TraceAnswer(int http_status, size_t body_bytes, std::chrono::steady_clock::duration took);
// The exchange failed before an answer arrived.
void TraceFailure(const std::string& error, std::chrono::steady_clock::duration took);
// Any other line ("lumo: " is prepended).
void TraceLine(const std::string& line);

// `text` with the values of "kwtok" parameters and of the KWTOK cookie replaced by "***".
std::string MaskTokens(std::string text);

}  // namespace lumo::cli

#endif  // LUMO_CLI_TRACE_H_
