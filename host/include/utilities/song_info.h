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
  std::wstring path;
  uint64_t file_size = 0;    // bytes
  uint32_t duration_ms = 0;  // milliseconds
  int32_t bitrate = 0;       // kbit/s
};

class LUMOHOST_EXPORT SongInfo {
 public:
  SongInfo();

  std::wstring song_id;
  std::wstring title;
  std::wstring author;
  std::wstring artist_id;
  std::wstring album_title;
  std::wstring album_id;
  std::wstring pic_big;
  std::wstring pic_small;
  int32_t item_kind = 0;  // a recommended song is kind 2
  std::deque<std::shared_ptr<SongFile>> files;
  bool has_mv = false;
  bool lebo = false;
};

}  // namespace utilities

#endif  // UTILITIES_SONG_INFO_H_
