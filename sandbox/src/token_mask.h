// Session tokens kept out of everything the sandbox shows: the rule that finds a token however a
// client wrote it, and the hiding of every token in the texts of one exchange. The request log
// hides tokens as it keeps a record, so no inspection answer can hold one; only the requests kept
// whole for a replay still do, and they never leave the sandbox.
#ifndef SANDBOX_SRC_TOKEN_MASK_H_
#define SANDBOX_SRC_TOKEN_MASK_H_

#include <string>
#include <string_view>

#include "exchange.h"

namespace lumo::sandbox {

// What a hidden token is shown as.
inline constexpr std::string_view kMaskedToken = "***";

// Whether the seed users' published tokens (kSeedUserTokens) are hidden as well. The log shows
// them, so that a test sees which seed user a client named; the viewer hides them with the rest.
enum class SeedTokens { kShown, kHidden };

// `text` with the value of every "kwtok=" replaced by kMaskedToken, the name read as the service
// reads it: in any case, %XX escapes decoded, blanks allowed around the '=', at the start or after
// a character that is not a letter, digit or '_'. The value ends at the next '&', ';', ',', blank,
// quote, backslash or line break, or, when it starts with a quote, at the closing one; an empty
// value stays empty. The value is then hidden wherever else it occurs in `text`.
std::string MaskTokens(std::string_view text, SeedTokens seed = SeedTokens::kHidden);

// Hides the tokens in every text a client can put a token in: the verb, the target, the method,
// the parameters (one named "kwtok" in any case, escaped or not: its whole value), the decrypted
// text, the headers (names and values) and the answer, each as MaskTokens does. Each value so
// found is then hidden in all of them, as written, decoded and encoded (hex digits in either
// case), so that a token repeated where no name precedes it (an error message, an echo in the
// answer) is hidden too.
void MaskRecord(LogRecord& record, SeedTokens seed);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_TOKEN_MASK_H_
