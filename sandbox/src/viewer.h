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

// One log entry as the viewer shows it, every token masked as MaskRecord does, the seed users'
// published ones included. The answer itself only `with_answer`; "answer_cut" says the log kept
// less of it than was sent.
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
