// GetAlbumInfo: an album's texts and songs, in the shapes of a song list (see GetPlayList).
//
// Sends "norda.lumo.album.getAlbumInfo" in the plain form with "album_id"; no session token.
//
// Result: `info`, the album's texts placed in song-list fields: the album's id in `userid`, the
// artist's id in `list_id`, the author in `username`, the large picture in both `userpic` and
// `list_pic`, the title in `list_title`, the description in `list_desc`, the publishing time in
// `createtime`, `collect_num`, and the purchase address in `share_url` (the other fields empty);
// and `songs`, the album's songs with their pictures and their whole "artist_id" text, in answer
// order (a song without an id is dropped).
#ifndef LUMOAPI_DIY_GET_ALBUM_INFO_H_
#define LUMOAPI_DIY_GET_ALBUM_INFO_H_

#include <string>
#include <vector>

#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT GetAlbumInfo : public RequestBase {
 public:
  // The first argument is accepted and not used.
  GetAlbumInfo(std::wstring unused, std::wstring album_id);
  ~GetAlbumInfo() override;
  GetAlbumInfo(const GetAlbumInfo&) = delete;
  GetAlbumInfo& operator=(const GetAlbumInfo&) = delete;

  std::wstring album_id;            // the album asked for
  std::vector<PlayListSong> songs;  // the album's songs, in answer order
  PlayListInfo info;                // the album's texts, placed as told above

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_GET_ALBUM_INFO_H_
