#include "lumoapi/favorite/get_collect_song.h"

#include <array>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "base/string_utils.h"
#include "favorite/favorite_common.h"
#include "json_access.h"
#include "lumoapi/diy/get_playlist.h"
#include "utilities/json.h"

namespace lumoapi::favorite {

GetCollectSong::GetCollectSong(std::wstring kwtok, unsigned int pn, unsigned int rn)
    : kwtok(std::move(kwtok)), pn(pn), rn(rn) {}

GetCollectSong::~GetCollectSong() { StopHttpRequest(); }

std::wstring GetCollectSong::GetMethodName() { return L"norda.lumo.favorite.getCollectSong"; }

std::wstring GetCollectSong::BuildParams() { return PageParams(kwtok, pn, rn); }

// Every code reaches ParseResult, which keeps 22000 and 22001 and fails the others.
bool GetCollectSong::IsErrorCodeAccepted() { return true; }

void GetCollectSong::ParseResult(web::json::value& answer) {
  using utilities::json::ToBoolean;
  using utilities::json::ToString;
  if (status != 22000 && status != 22001) {
    throw std::runtime_error(base::string_utils::ToUtf8(
        L"status error " + std::to_wstring(static_cast<uint32_t>(status))));
  }
  ReadHaveMore(answer, havemore);
  const web::json::value& result = Member(answer, "result");
  if (!IsArray(result)) return;
  enum { kSongId, kTitle, kArtist, kAlbum, kAlbumId, kAllArtistId, kHasMv };
  static constexpr std::array<std::string_view, 7> kKeys = {
      "song_id", "title", "artist", "album", "album_id", "all_artist_id", "has_mv"};
  for (const web::json::value& element : result.as_array()) {
    const auto members = Members(element, kKeys);
    CollectSongItem song;
    song.song_id = ToString(*members[kSongId]);
    song.title = ToString(*members[kTitle]);
    song.artist = ToString(*members[kArtist]);
    song.album = ToString(*members[kAlbum]);
    song.album_id = ToString(*members[kAlbumId]);
    song.artist_id = diy::FirstOfCommaList(ToString(*members[kAllArtistId]));
    song.has_mv = ToBoolean(*members[kHasMv], false);
    if (!song.song_id.empty()) songs.push_back(std::move(song));
  }
}

}  // namespace lumoapi::favorite
