#include "utilities/song_info.h"

namespace utilities {

SongInfo::SongInfo() = default;

}  // namespace utilities
