// Reading query texts the way the client writes them: pairs joined by '&', name and value split
// at the first '=', both percent-encoded, '+' a literal plus.
#ifndef SANDBOX_SRC_QUERY_H_
#define SANDBOX_SRC_QUERY_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumo::sandbox {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Splits and decodes `query` (without the leading '?'). An empty text gives no pairs. Throws
// Refusal(kMalformedQuery) for an empty pair, a pair without '=', a raw '=' inside a value, a
// character the client never leaves unescaped, a bad %XX escape, or a result that is not UTF-8.
Pairs ParseQuery(std::string_view query);

// Decodes %XX escapes; '+' stays '+'. Returns nothing for a bad escape.
std::optional<std::string> PercentDecode(std::string_view text);

// True when `text` is valid UTF-8.
bool IsUtf8(std::string_view text);

// The value of the first pair named `name`, if any.
const std::string* FindPair(const Pairs& pairs, std::string_view name);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_QUERY_H_
