// What the song-list requests share: the account call set-up, the favourite-list parameters, and
// reading the list and song records of their answers. (Id lists are joined by id_list.h.)
#ifndef LUMOAPI_DIY_DIY_COMMON_H_
#define LUMOAPI_DIY_DIY_COMMON_H_

#include <cpprest/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "id_list.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// The session token travels as the account cookie, and the parameters in the encrypted form.
void UseAccountSession(RequestBase& request, const std::wstring& kwtok);

// A song of a list or album answer, with the texts of the keys of the same names. A list song
// keeps only the first id of "artist_id" (FirstOfCommaList) and has no pictures; an album song
// keeps the whole "artist_id" text and reads "pic_big" and "pic_small".
enum class SongReading { kListSong, kAlbumSong };
PlayListSong ReadPlayListSong(const web::json::value& element, SongReading reading);

// Appends the songs of `songlist` that have a song id, in answer order. False (and nothing
// appended) when `songlist` is not an array.
bool AppendPlayListSongs(const web::json::value& songlist, SongReading reading,
                         std::vector<PlayListSong>& songs);

// The parameters of marking a list as a favourite and of removing the mark: "list_id" and
// "source" for the sources 0, 1 and 2, nothing for any other.
std::wstring FavoriteListParams(const std::wstring& list_id, int source);

// A new list's answer ("list_id", "title" of "result"): both replace what the request held, and
// the list's capacity is 500.
void ReadNewList(const web::json::value& result, std::wstring& list_id, std::wstring& title,
                 int32_t& capacity);

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_DIY_COMMON_H_
