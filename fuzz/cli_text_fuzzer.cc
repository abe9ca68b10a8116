// The lumo tool's own reading of text: HOST:PORT and its loopback check, the read-back of an
// address for --dry-run, the masking of session tokens in what it shows, and the nearest-word
// suggestion for a mistyped command.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "address.h"
#include "command_line.h"
#include "fuzz_input.h"
#include "options.h"
#include "trace.h"

namespace cli = lumo::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = lumo::fuzz::BytesFrom(data, size);
  if (const auto host_port = cli::ParseHostPort(text)) {
    // What parses has a host of 1 to 253 characters.
    if (host_port->host.empty() || host_port->host.size() > 253) __builtin_trap();
  }
  (void)cli::IsLoopbackHostPort(text);
  (void)cli::SplitQuery(text);
  (void)cli::DecryptInnerText(text);
  (void)cli::MaskTokens(text);
  // The suggestion compares words of command length; keep the quadratic distance small.
  const std::string word = text.substr(0, 64);
  (void)cli::EditDistance(word, "search");
  return 0;
}
