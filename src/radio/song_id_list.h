// Reading the song id lists that the radio answers carry.
#ifndef LUMOAPI_RADIO_SONG_ID_LIST_H_
#define LUMOAPI_RADIO_SONG_ID_LIST_H_

#include <cpprest/json.h>

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace lumoapi::radio {

inline constexpr size_t kNoLimit = std::numeric_limits<size_t>::max();

// Appends the text under `key` of each element of `list`, in order, to `ids` while `ids` holds
// fewer than `limit` entries. An element without the key contributes an empty text. A `list` that
// is not an array adds nothing.
void AppendSongIds(const web::json::value& list, const char* key, size_t limit,
                   std::vector<std::wstring>& ids);

}  // namespace lumoapi::radio

#endif  // LUMOAPI_RADIO_SONG_ID_LIST_H_
