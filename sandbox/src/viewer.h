// What the viewer page is shown: log entries with every session token hidden, the state of
// the seed users, and the page's own files.
#ifndef SANDBOX_SRC_VIEWER_H_
#define SANDBOX_SRC_VIEWER_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "exchange.h"
#include "handlers.h"

namespace lumo::sandbox {

class Db;

// What a hidden token is shown as.
inline constexpr std::string_view kMaskedToken = "***";

// `text` with the value of every "kwtok=" replaced by kMaskedToken, the name read as the service
// reads it: in any case, %XX escapes decoded, blanks allowed around the '=', at the start or after
// a character that is not a letter, digit or '_'. The value ends at the next '&', ';', ',', blank,
// quote, backslash or line break, or, when it starts with a quote, at the closing one; an empty
// value stays empty. The value is then hidden wherever else it occurs in `text`.
std::string MaskTokens(std::string_view text);

// One log entry as the viewer shows it, every token masked: the target, the parameters
// (named "kwtok" in any case, escaped or not: the whole value), the decrypted text, every header
// and the answer, as MaskTokens does, and every value so found in all of them. The answer itself
// only `with_answer`; "answer_cut" says the log kept less of it than was sent.
Json ViewerEntry(const LogRecord& record, bool with_answer);

// The seed users with their tokens and, for each, the count and the first `first` entries of
// their lists, favourite lists, favourite songs, collected songs and cloud records.
Json StateAnswer(Db& db, int first = 5);

// A file of the page, compiled into the program.
struct ViewerAsset {
  const char* name;  // "index.html", ...
  const char* content_type;
  const unsigned char* data;
  size_t size;
};
// The asset named `name` (the path after /_sandbox/; "" is the page), or nullptr.
const ViewerAsset* FindViewerAsset(std::string_view name);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_VIEWER_H_
