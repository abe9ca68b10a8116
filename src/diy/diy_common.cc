#include "diy/diy_common.h"

#include <array>
#include <locale>
#include <string_view>

#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::diy {
namespace {

using utilities::json::ToBoolean;
using utilities::json::ToString;

}  // namespace

std::wstring FirstOfCommaList(std::wstring text) {
  // The separator is a comma with the spaces around it, so the first piece ends before the spaces
  // that lead up to the first comma. Spaces are what the global locale calls spaces. A scan, not
  // a regular expression: this runs for every song of every list page.
  const size_t comma = text.find(L',');
  if (comma == std::wstring::npos) return text;
  static const std::locale kLocale;
  static const auto& ctype = std::use_facet<std::ctype<wchar_t>>(kLocale);
  size_t end = comma;
  while (end > 0 && ctype.is(std::ctype_base::space, text[end - 1])) --end;
  text.resize(end);
  return text;
}

void UseAccountSession(RequestBase& request, const std::wstring& kwtok) {
  request.session_token = kwtok;
  request.encrypt_params = true;
}

PlayListSong ReadPlayListSong(const web::json::value& element, SongReading reading) {
  enum { kSongId, kTitle, kAuthor, kArtistId, kAlbumTitle, kAlbumId, kPicBig, kPicSmall, kHasMv };
  static constexpr std::array<std::string_view, 9> kKeys = {"song_id",   "title",       "author",
                                                            "artist_id", "album_title", "album_id",
                                                            "pic_big",   "pic_small",   "has_mv"};
  const auto members = Members(element, kKeys);
  PlayListSong song;
  song.song_id = ToString(*members[kSongId]);
  song.title = ToString(*members[kTitle]);
  song.author = ToString(*members[kAuthor]);
  song.artist_id = ToString(*members[kArtistId]);
  if (reading == SongReading::kListSong)
    song.artist_id = FirstOfCommaList(std::move(song.artist_id));
  song.album_title = ToString(*members[kAlbumTitle]);
  song.album_id = ToString(*members[kAlbumId]);
  if (reading == SongReading::kAlbumSong) {
    song.pic_big = ToString(*members[kPicBig]);
    song.pic_small = ToString(*members[kPicSmall]);
  }
  song.has_mv = ToBoolean(*members[kHasMv], false);
  return song;
}

bool AppendPlayListSongs(const web::json::value& songlist, SongReading reading,
                         std::vector<PlayListSong>& songs) {
  if (!IsArray(songlist)) return false;
  for (const web::json::value& element : songlist.as_array()) {
    PlayListSong song = ReadPlayListSong(element, reading);
    if (!song.song_id.empty()) songs.push_back(std::move(song));
  }
  return true;
}

std::wstring FavoriteListParams(const std::wstring& list_id, int source) {
  QueryBuilder builder;
  if (source >= 0 && source <= 2) {
    AppendPair(builder, L"list_id", list_id);
    AppendPair(builder, L"source", source);
  }
  return QueryText(builder);
}

void ReadNewList(const web::json::value& result, std::wstring& list_id, std::wstring& title,
                 int32_t& capacity) {
  list_id = ToString(Member(result, "list_id"));
  title = ToString(Member(result, "title"));
  capacity = 500;
}

}  // namespace lumoapi::diy
