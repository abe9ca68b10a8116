#include "radio/song_id_list.h"

#include "json_access.h"
#include "utilities/json.h"

namespace lumoapi::radio {

void AppendSongIds(const web::json::value& list, const char* key, size_t limit,
                   std::vector<std::wstring>& ids) {
  if (!IsArray(list)) return;
  for (const web::json::value& element : list.as_array()) {
    if (ids.size() >= limit) return;
    ids.push_back(utilities::json::ToString(Member(element, key)));
  }
}

}  // namespace lumoapi::radio
