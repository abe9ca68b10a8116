// The host player's song record and its file records. Shared between the host and requests through
// std::shared_ptr; thread-compatible.
#ifndef UTILITIES_SONG_INFO_H_
#define UTILITIES_SONG_INFO_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "base/export.h"

namespace utilities {

// One file of a song on this computer.
struct LUMOHOST_EXPORT SongFile {
  std::wstring path;         // where the file is
  uint64_t file_size = 0;    // bytes
  uint32_t duration_ms = 0;  // milliseconds
  int32_t bitrate = 0;       // kbit/s
};

// A song as the player knows it: the service's data and the files on this computer.
class LUMOHOST_EXPORT SongInfo {
 public:
  SongInfo();

  std::wstring song_id;                         // the service's id; may be empty
  std::wstring title;                           // its title
  std::wstring author;                          // its artists
  std::wstring artist_id;                       // its artist's id
  std::wstring album_title;                     // its album's title
  std::wstring album_id;                        // its album's id
  std::wstring pic_big;                         // large picture
  std::wstring pic_small;                       // small picture
  int32_t item_kind = 0;                        // a recommended song is kind 2
  std::deque<std::shared_ptr<SongFile>> files;  // its files on this computer
  bool has_mv = false;                          // it has a music video
  bool lebo = false;                            // the service's flag of the same name
};

}  // namespace utilities

#endif  // UTILITIES_SONG_INFO_H_
