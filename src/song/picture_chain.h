// The service sends up to four sizes of a song's picture and often leaves some of them empty; a
// caller asking for a large (or a small) picture gets the nearest size that is there.
#ifndef LUMOAPI_SONG_PICTURE_CHAIN_H_
#define LUMOAPI_SONG_PICTURE_CHAIN_H_

#include <cpprest/json.h>

#include <initializer_list>
#include <string>

#include "json_access.h"
#include "utilities/json.h"

namespace lumoapi::song {

// The text of the first of `keys` in `song` that is not empty, or an empty text.
inline std::wstring FirstPicture(const web::json::value& song,
                                 std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    std::wstring text = utilities::json::ToString(Member(song, key));
    if (!text.empty()) return text;
  }
  return std::wstring();
}

inline std::wstring LargePicture(const web::json::value& song) {
  return FirstPicture(song, {"pic_huge", "pic_premium", "pic_big", "pic_small"});
}

inline std::wstring SmallPicture(const web::json::value& song) {
  return FirstPicture(song, {"pic_small", "pic_big", "pic_premium", "pic_huge"});
}

}  // namespace lumoapi::song

#endif  // LUMOAPI_SONG_PICTURE_CHAIN_H_
