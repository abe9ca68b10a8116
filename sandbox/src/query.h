// Checking query texts the way the service reads them: pairs joined by '&', name and value split
// at the first '=', both percent-encoded, '+' a literal plus. The lenient reading for display is
// ReadQuery in sandbox/address_form.h.
#ifndef SANDBOX_SRC_QUERY_H_
#define SANDBOX_SRC_QUERY_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sandbox/address_form.h"

namespace lumo::sandbox {

// Splits and decodes `query` (without the leading '?'). An empty text gives no pairs. Throws
// Refusal(kMalformedQuery) for an empty pair, a pair without '=', a raw '=' inside a value, a
// character the client never leaves unescaped, a bad %XX escape, or a result that is not UTF-8.
Pairs ParseQuery(std::string_view query);

// Decodes %XX escapes; '+' stays '+'. Returns nothing for a bad escape.
std::optional<std::string> PercentDecode(std::string_view text);

// True when `text` is valid UTF-8.
bool IsUtf8(std::string_view text);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_QUERY_H_
